// Bitmap resources become Surfaces: the platform draws each bitmap into a
// 24-bit device-independent bitmap, whose pixels are then converted once to
// the display format.
#include "gfx/bitmap_load.h"

#include "platform/wince/bitmap.h"

#include <new>

Surface* loadSurface(const STGapiBuffer* buffer, HBITMAP bitmap) {
    if (!bitmap) return nullptr;
    Surface* s = new (std::nothrow) Surface{};
    if (!s) return nullptr;
    HBITMAP dib = nullptr;
    uint8_t* rows = bitmapToDib(bitmap, &s->width, &s->height, &dib);
    s->pixels = dibToPixels(buffer, s->width, s->height, rows);
    if (dib) DeleteObject(dib);
    return s;
}

uint8_t* bitmapToDib(HBITMAP bitmap, int32_t* width, int32_t* height, HBITMAP* dib) {
    *dib = nullptr;
    BITMAP bm = {};
    GetObjectW(bitmap, sizeof bm, &bm);
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    int32_t w4 = bm.bmWidth > 0 ? (bm.bmWidth + 3) / 4 * 4 : 0;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = w4;
    info.bmiHeader.biHeight = bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = 0;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(int64_t{w4} * bm.bmHeight * 3);
    info.bmiHeader.biXPelsPerMeter = 3780;
    info.bmiHeader.biYPelsPerMeter = 3780;
    HDC screen = GetDC(nullptr);
    if (!screen) {
        NKDbgPrintfW("%s: DEBUGCHK failed in file %s at line %d \r\n", "Unknown", "STGapiBuffer",
                     5189);
        return nullptr; // no context to draw with: the Surface stays without pixels
    }
    void* bits = nullptr;
    HBITMAP made = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!made || !bits) return nullptr;
    HDC from = CreateCompatibleDC(nullptr); // compatible with the screen
    HDC to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, bitmap);
    HGDIOBJ oldTo = SelectObject(to, made);
    BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    *dib = made;
    return static_cast<uint8_t*>(bits);
}

uint16_t* dibToPixels(const STGapiBuffer* buffer, int32_t width, int32_t height,
                      const uint8_t* rows) {
    if (!rows || !buffer || width < 1 || height < 1 || buffer->props.cBPP != 16) return nullptr;
    // Mended: fidelity M7.
    uint16_t* out = new (std::nothrow) uint16_t[static_cast<size_t>(width) * height];
    if (!out) return nullptr;
    size_t rowBytes = static_cast<size_t>((width + 3) / 4 * 4) * 3;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = rows + static_cast<size_t>(height - 1 - y) * rowBytes;
        for (int32_t x = 0; x < width; ++x, p += 3) {
            uint32_t colour = uint32_t{p[2]} | uint32_t{p[1]} << 8 | uint32_t{p[0]} << 16;
            out[static_cast<size_t>(y) * width + x] = convertColour(buffer->props.ffFormat, colour);
        }
    }
    return out;
}
