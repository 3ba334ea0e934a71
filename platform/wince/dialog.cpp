// Modal dialog boxes. A dialog is a window of its own above the main one: the
// hosts draw it over the device screen (composeScreen), it takes all input
// while it runs, and the main window keeps receiving its timer meanwhile.
#include "platform/gapi/device.h"
#include "platform/gapi/gapi.h"
#include "platform/host/host.h"
#include "platform/wince/messages.h"
#include "platform/wince/resources.h"
#include "platform/wince/screen.h"
#include "platform/wince/system_font.h"

#include <cstring>

namespace {

constexpr uint16_t WHITE = 0xFFFF;
constexpr uint16_t BLACK = 0x0000;
constexpr uint16_t CAPTION = 0x0010 | (0x08 << 5); // dark blue
constexpr uint16_t FRAME = 0x8410;
constexpr int CAPTION_HEIGHT = 20;
constexpr int ICON_RESOURCE = 335;

HWND runningDialog = nullptr;

struct Canvas {
    std::vector<uint16_t>* pixels;
    int width, height;
};

void plot(int x, int y, uint16_t colour, void* context) {
    Canvas* c = static_cast<Canvas*>(context);
    if (x >= 0 && y >= 0 && x < c->width && y < c->height) (*c->pixels)[y * c->width + x] = colour;
}

void fill(Canvas* c, int left, int top, int right, int bottom, uint16_t colour) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) plot(x, y, colour, c);
}

void frame(Canvas* c, int left, int top, int right, int bottom, uint16_t colour) {
    fill(c, left, top, right, top + 1, colour);
    fill(c, left, bottom - 1, right, bottom, colour);
    fill(c, left, top, left + 1, bottom, colour);
    fill(c, right - 1, top, right, bottom, colour);
}

int textLength(const WCHAR* text) {
    return text ? static_cast<int>(std::wcslen(text)) : 0;
}

// Dialog units of the 8-point system font: 4 across a character, 8 down.
int unitsX(int du) {
    return du * SYSTEM_CELL_WIDTH / 4;
}
int unitsY(int du) {
    return du * SYSTEM_CELL_HEIGHT / 8 + du / 2;
}

void drawIcon(Canvas* c, int x, int y) {
    const EmbeddedResource* r = findEmbeddedResource("ICON", ICON_RESOURCE);
    if (!r) return;
    int w = 0, h = 0;
    std::vector<uint8_t> rows;
    if (!hostDecodeBmp(r->data, r->size, &w, &h, &rows)) return;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const uint8_t* p = &rows[(static_cast<size_t>(j) * w + i) * 3];
            if (p[0] == 128 && p[1] == 0 && p[2] == 128) continue; // transparent
            plot(x + i, y + j,
                 static_cast<uint16_t>((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | p[0] >> 3), c);
        }
}

void dialogBox(HWND dialog, int* left, int* top, int* right, int* bottom) {
    int w = deviceScreenWidth(), h = deviceScreenHeight();
    if (dialog->dialogFlags & SHIDIF_FULLSCREENNOMENUBAR) {
        *left = 0, *top = 0, *right = w, *bottom = h;
        return;
    }
    int bw = unitsX(dialog->dialog->width), bh = unitsY(dialog->dialog->height) + CAPTION_HEIGHT;
    *left = (w - bw) / 2, *top = (h - bh) / 2, *right = *left + bw, *bottom = *top + bh;
}

void okButton(HWND dialog, int* left, int* top, int* right, int* bottom) {
    int l, t, r, b;
    dialogBox(dialog, &l, &t, &r, &b);
    *left = r - 30, *top = t + 3, *right = r - 4, *bottom = t + CAPTION_HEIGHT - 3;
}

void drawDialog(HWND dialog, Canvas* c) {
    const DialogTemplate* d = dialog->dialog;
    int left, top, right, bottom;
    dialogBox(dialog, &left, &top, &right, &bottom);
    fill(c, left, top, right, bottom, WHITE);
    frame(c, left, top, right, bottom, FRAME);
    fill(c, left, top, right, top + CAPTION_HEIGHT, CAPTION);
    drawSystemText(left + 6, top + (CAPTION_HEIGHT - 7) / 2, d->caption, textLength(d->caption),
                   WHITE, plot, c);
    if (d->captionOkButton) {
        int l, t, r, b;
        okButton(dialog, &l, &t, &r, &b);
        frame(c, l, t, r, b, WHITE);
        drawSystemText(l + (r - l - systemTextWidth(2)) / 2 + 1, t + (b - t - 7) / 2, L"OK", 2,
                       WHITE, plot, c);
    }
    int originY = top + CAPTION_HEIGHT;
    for (int i = 0; i < d->controlCount; ++i) {
        const DialogControl& control = d->controls[i];
        int x = left + unitsX(control.x), y = originY + unitsY(control.y);
        if (control.kind == DialogControl::ICON)
            drawIcon(c, x, y);
        else
            drawSystemText(x, y, control.text, textLength(control.text), BLACK, plot, c);
    }
}

bool inside(LPARAM position, int left, int top, int right, int bottom) {
    int x = LOWORD(position), y = HIWORD(position);
    return x >= left && x < right && y >= top && y < bottom;
}

LRESULT dialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_RETURN)
        dialog->dialogProc(dialog, WM_COMMAND, IDOK, 0);
    else if (message == WM_KEYDOWN && wParam == VK_ESCAPE)
        dialog->dialogProc(dialog, WM_COMMAND, IDCANCEL, 0);
    else if (message == WM_LBUTTONUP && dialog->dialog->captionOkButton) {
        int l, t, r, b;
        okButton(dialog, &l, &t, &r, &b);
        if (inside(lParam, l, t, r, b)) dialog->dialogProc(dialog, WM_COMMAND, IDOK, 0);
    }
    return 0;
}

void screenChanged() {
    if (host && host->screenChanged) host->screenChanged();
}

} // namespace

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const DialogTemplate* dialog, HWND owner,
                                DLGPROC proc, LPARAM param) {
    if (!dialog || !proc || runningDialog) return -1;
    HWND box = CreateWindowExW(0, L"#32770", dialog->caption, 0, 0, 0, unitsX(dialog->width),
                               unitsY(dialog->height), owner, nullptr, instance, nullptr);
    box->proc = dialogWindowProc;
    box->dialogProc = proc;
    box->dialog = dialog;
    runningDialog = box;
    proc(box, WM_INITDIALOG, 0, param);
    screenChanged();
    MSG msg;
    while (!box->dialogEnded) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // the outer loop must see it too
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    box->destroyed = true;
    runningDialog = nullptr;
    screenChanged();
    return box->dialogEnded ? box->dialogResult : 0;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (!dialog || !dialog->dialogProc) return 0;
    dialog->dialogEnded = true;
    dialog->dialogResult = result;
    return 1;
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
    if (!info || !info->hDlg || !(info->dwMask & SHIDIM_FLAGS)) return 0;
    info->hDlg->dialogFlags = info->dwFlags;
    screenChanged();
    return 1;
}

BOOL SHFullScreen(HWND window, DWORD) {
    return window ? 1 : 0;
}
BOOL SHHandleWMSettingChange(HWND, WPARAM, LPARAM, SHACTIVATEINFO*) {
    return 1;
}

void composeScreen(std::vector<uint16_t>* pixels) {
    readDeviceScreen(pixels);
    if (!runningDialog || runningDialog->destroyed) return;
    Canvas c = {pixels, deviceScreenWidth(), deviceScreenHeight()};
    drawDialog(runningDialog, &c);
}

bool dialogOkButton(int* left, int* top, int* right, int* bottom) {
    if (!runningDialog || !runningDialog->dialog->captionOkButton) return false;
    okButton(runningDialog, left, top, right, bottom);
    return true;
}
