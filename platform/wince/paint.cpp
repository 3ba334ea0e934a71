// Window painting: the window's surface is the device screen itself.
#include "platform/gapi/device.h"
#include "platform/host/host.h"
#include "platform/wince/messages.h"
#include "platform/wince/system_font.h"

namespace {

constexpr uint16_t GDI_WHITE = 0xFFFF;
constexpr uint16_t GDI_BLACK = 0x0000;
BrushRecord* const whiteBrush = reinterpret_cast<BrushRecord*>(uintptr_t{0x1001});
BrushRecord* const blackBrush = reinterpret_cast<BrushRecord*>(uintptr_t{0x1005});

void plotScreen(int x, int y, uint16_t colour, void*) {
    writeDeviceScreenPixel(x, y, colour);
}

} // namespace

HGDIOBJ GetStockObject(int object) {
    if (object == WHITE_BRUSH) return whiteBrush;
    if (object == BLACK_BRUSH) return blackBrush;
    return nullptr;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!window || !paint) return nullptr;
    paint->hdc = GetDC(window);
    paint->fErase = 1;
    GetClientRect(window, &paint->rcPaint);
    const RECT& r = window->rect;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) writeDeviceScreenPixel(x, y, GDI_WHITE);
    window->needsPaint = false;
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    if (!window) return 0;
    if (host && host->screenChanged) host->screenChanged();
    return 1;
}

int DrawTextW(HDC dc, const WCHAR* text, int length, RECT* rect, UINT format) {
    if (!dc || !text || !rect) return 0;
    if (length < 0) {
        length = 0;
        while (text[length]) ++length;
    }
    int width = systemTextWidth(length);
    int x = rect->left, y = rect->top;
    if (format & DT_CENTER) x = (rect->left + rect->right - width) / 2;
    if ((format & DT_VCENTER) && (format & DT_SINGLELINE))
        y = (rect->top + rect->bottom - SYSTEM_CELL_HEIGHT) / 2;
    drawSystemText(x, y, text, length, GDI_BLACK, plotScreen, nullptr);
    return SYSTEM_CELL_HEIGHT;
}
