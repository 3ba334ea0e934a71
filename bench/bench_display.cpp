#include "bench/bench_display.h"

#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "platform/gapi/device.h"
#include "platform/headless/host.h"
#include "platform/wince/messages.h"
#include "shell/startup.h"
#include "shell/state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int32_t screenModeFor(const DeviceProfile* device) {
    if (device->rawBuffer) return SCREEN_MODE_RAW;
    if (device->props.cxWidth == 176) return SCREEN_MODE_SMALL;
    if (device->props.cyHeight == 240) return SCREEN_MODE_SQUARE;
    return SCREEN_MODE_STANDARD;
}

void fillBlock(STGapiBuffer* b, uint16_t value) {
    size_t count = static_cast<size_t>(b->maxOffset - b->minOffset + 1);
    for (size_t i = 0; i < count; ++i) b->block[i] = value;
}

} // namespace

void useBenchDisplay(const char* name) {
    const DeviceProfile* device = findDeviceProfile(name);
    if (!device) {
        std::fprintf(stderr, "no device profile %s\n", name);
        std::exit(1);
    }
    resetMessageSystem();
    selectDevice(device);
    startHeadlessHost(HEADLESS_DEFAULT_START_TICK, {});
    screenWidth = 240;
    screenHeight = 320;
    rawFrameBuffer = 0;
    rawFrameInfo = RawFrameBufferInfo{};
    constructProgramObjects();
    if (device->rawBuffer) {
        HDC dc = GetDC(nullptr);
        ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof rawFrameInfo,
                  reinterpret_cast<char*>(&rawFrameInfo));
        ReleaseDC(nullptr, dc);
        rawFrameBuffer = 1;
    } else {
        GXOpenDisplay(reinterpret_cast<HWND>(uintptr_t{1}), GX_FULLSCREEN);
    }
    setScreenMode(&backBuffer, screenModeFor(device));
    if (!allocOffscreen(&blankBuffer) || !allocOffscreen(&backBuffer)) {
        std::fprintf(stderr, "no display buffers for %s\n", name);
        std::exit(1);
    }
    fillBlock(&blankBuffer, 0);
    fillBlock(&backBuffer, 0);
    spriteKey = colourFromRgb(&backBuffer, 0x800080);
}
