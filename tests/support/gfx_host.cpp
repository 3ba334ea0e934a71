#include "support/gfx_host.h"

#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "gfx/surface.h"
#include "platform/gapi/device.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "support/test_host.h"

#include <cstring>

void useGfxHost(const char* device) {
    useTestHost(device);
    screenWidth = 240;
    screenHeight = 320;
    rawFrameBuffer = 0;
    rawFrameInfo = RawFrameBufferInfo{};
    constructProgramObjects();
    if (currentDevice()->rawBuffer) {
        HDC dc = GetDC(nullptr);
        ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof rawFrameInfo,
                  reinterpret_cast<char*>(&rawFrameInfo));
        ReleaseDC(nullptr, dc);
        rawFrameBuffer = 1;
    } else {
        GXOpenDisplay(reinterpret_cast<HWND>(uintptr_t{1}), GX_FULLSCREEN);
    }
    allocOffscreen(&blankBuffer);
    allocOffscreen(&backBuffer);
    fillBackBuffer(0);
}

void useScreenLayout(const char* device, int width, int height, int centreX, int shrink) {
    useGfxHost(device);
    layoutWidth = width;
    layoutHeight = height;
    layoutCenterX = centreX;
    layoutShrink = shrink;
    if (shrink) setScreenMode(&backBuffer, SCREEN_MODE_SMALL);
    fillBackBuffer(0);
    copyBuffer(&blankBuffer, &backBuffer);
    spriteKey = colourFromRgb(&backBuffer, 0x800080);
    loadFont();
}

void fillBackBuffer(uint16_t value) {
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x)
            backBuffer.base[x * backBuffer.xPitch + y * backBuffer.yPitch] = value;
}

uint16_t backPixel(int x, int y) {
    return backBuffer.base[x * backBuffer.xPitch + y * backBuffer.yPitch];
}

std::vector<uint16_t> backScreen() {
    return backScreen(backBuffer);
}

std::vector<uint16_t> backScreen(const STGapiBuffer& b) {
    std::vector<uint16_t> out;
    out.reserve(static_cast<size_t>(screenWidth) * static_cast<size_t>(screenHeight));
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) out.push_back(b.base[x * b.xPitch + y * b.yPitch]);
    return out;
}

Surface* makeSurface(int width, int height, const std::vector<uint16_t>& pixels) {
    Surface* s = new Surface{};
    s->width = width;
    s->height = height;
    s->pixels = new uint16_t[pixels.size()];
    std::memcpy(s->pixels, pixels.data(), pixels.size() * sizeof(uint16_t));
    return s;
}

Rgb8 rgbOf(uint16_t v) {
    int r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    return {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
}

Picture::Picture(int id) {
    Surface* s = loadPicture(id);
    if (s && s->pixels) {
        width_ = s->width;
        height_ = s->height;
        pixels_.assign(s->pixels, s->pixels + width_ * height_);
    }
    releaseSurface(s);
}
