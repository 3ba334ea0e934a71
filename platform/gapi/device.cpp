// The emulated handheld's display memory and the Game API over it.
#include "platform/gapi/device.h"

#include "platform/host/host.h"

#include <cstring>

namespace {

constexpr DWORD FORMAT_565 = kfDirect565;
constexpr uint32_t RAW_FRAME_TOKEN = 0x0A000000; // what the escape reports as frame pointer

const DeviceProfile profiles[] = {
    {"qvga", "240 x 320 portrait (default)", {240, 320, 2, 480, 16, FORMAT_565}, false},
    {"qvga-rotated", "240 x 320 on landscape memory", {240, 320, -640, 2, 16, FORMAT_565}, false},
    {"square", "240 x 240", {240, 240, 2, 480, 16, FORMAT_565}, false},
    {"small", "176 x 220", {176, 220, 2, 352, 16, FORMAT_565}, false},
    {"raw",
     "Game API says 176 x 220, raw frame buffer 240 x 320",
     {176, 220, 2, 352, 16, FORMAT_565},
     true},
};

// One block of display memory addressed through byte pitches, like the real
// thing: pixel (x, y) lives at origin + x * xPitch + y * yPitch (in pixels).
struct DisplayMemory {
    std::vector<uint16_t> pixels;
    int width = 0, height = 0;
    int32_t xPitch = 0, yPitch = 0;
    int32_t origin = 0; // index of pixel (0, 0)

    void layOut(int w, int h, int32_t xBytes, int32_t yBytes) {
        width = w;
        height = h;
        xPitch = xBytes / 2;
        yPitch = yBytes / 2;
        int32_t lowest = 0, highest = 0;
        (xPitch < 0 ? lowest : highest) += (w - 1) * xPitch;
        (yPitch < 0 ? lowest : highest) += (h - 1) * yPitch;
        origin = -lowest;
        pixels.assign(static_cast<size_t>(highest - lowest + 1), 0);
    }
    uint16_t* base() { return pixels.data() + origin; }
    uint16_t& at(int x, int y) { return pixels[origin + x * xPitch + y * yPitch]; }
};

const DeviceProfile* current = &profiles[0];
DisplayMemory gapiMemory;
DisplayMemory rawMemory;
bool displayOpen = false;
bool inputOpen = false;
bool suspended = false;
bool failScreenDc = false;
int beginDrawCount = 0;
DeviceContextRecord* const screenDc = reinterpret_cast<DeviceContextRecord*>(uintptr_t{0x5C});

DisplayMemory& visibleMemory() {
    return current->rawBuffer ? rawMemory : gapiMemory;
}

} // namespace

const DeviceProfile* findDeviceProfile(const char* name) {
    for (const DeviceProfile& p : profiles)
        if (std::strcmp(p.name, name) == 0) return &p;
    return nullptr;
}

const DeviceProfile* deviceProfiles(int* count) {
    *count = static_cast<int>(sizeof profiles / sizeof profiles[0]);
    return profiles;
}

void selectDevice(const DeviceProfile* profile) {
    current = profile;
    const GXDisplayProperties& p = profile->props;
    gapiMemory.layOut(p.cxWidth, p.cyHeight, p.cbxPitch, p.cbyPitch);
    if (profile->rawBuffer)
        rawMemory.layOut(240, 320, 2, 480);
    else
        rawMemory = DisplayMemory();
    displayOpen = inputOpen = suspended = false;
    beginDrawCount = 0;
}

const DeviceProfile* currentDevice() {
    return current;
}

int deviceScreenWidth() {
    return visibleMemory().width;
}
int deviceScreenHeight() {
    return visibleMemory().height;
}

void readDeviceScreen(std::vector<uint16_t>* out) {
    DisplayMemory& m = visibleMemory();
    out->resize(static_cast<size_t>(m.width) * m.height);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) (*out)[y * m.width + x] = m.at(x, y);
}

void writeDeviceScreenPixel(int x, int y, uint16_t pixel) {
    DisplayMemory& m = visibleMemory();
    if (x >= 0 && y >= 0 && x < m.width && y < m.height) m.at(x, y) = pixel;
}

bool gapiDisplayOpen() {
    return displayOpen;
}
bool gapiInputOpen() {
    return inputOpen;
}
bool gapiSuspended() {
    return suspended;
}
int gapiBeginDrawCount() {
    return beginDrawCount;
}
void deviceFailScreenDc(bool fail) {
    failScreenDc = fail;
}

void* rawFramePointer(const RawFrameBufferInfo* info) {
    if (!info || !current->rawBuffer || info->pFramePointer != RAW_FRAME_TOKEN) return nullptr;
    return rawMemory.base();
}

// The Game API.

int GXOpenDisplay(HWND window, DWORD) {
    if (!window) return 0;
    displayOpen = true;
    return 1;
}

// Mended: fidelity M21.
int GXCloseDisplay() {
    displayOpen = false;
    return 1;
}

GXDisplayProperties GXGetDisplayProperties() {
    return current->props;
}

void* GXBeginDraw() {
    if (!displayOpen || suspended) return nullptr;
    ++beginDrawCount;
    return gapiMemory.base();
}

int GXEndDraw() {
    if (!displayOpen) return 0;
    if (host && host->screenChanged) host->screenChanged();
    return 1;
}

int GXOpenInput() {
    inputOpen = true;
    return 1;
}

int GXCloseInput() {
    inputOpen = false;
    return 1;
}

GXKeyList GXGetDefaultKeys(int) {
    GXKeyList keys = {};
    keys.vkUp = VK_UP;
    keys.vkDown = VK_DOWN;
    keys.vkLeft = VK_LEFT;
    keys.vkRight = VK_RIGHT;
    keys.vkStart = VK_RETURN;
    keys.vkA = DEVICE_BUTTON_A;
    keys.vkB = DEVICE_BUTTON_B;
    keys.vkC = DEVICE_BUTTON_C;
    return keys;
}

int GXSuspend() {
    suspended = true;
    return 1;
}

int GXResume() {
    suspended = false;
    return 1;
}

// The screen device context and the display driver's raw frame-buffer escape.

HDC GetDC(HWND) {
    return failScreenDc ? nullptr : screenDc;
}
int ReleaseDC(HWND, HDC dc) {
    return dc ? 1 : 0;
}

int ExtEscape(HDC dc, int escape, int, const char*, int outputSize, char* output) {
    if (!dc || escape != GETRAWFRAMEBUFFER) return 0;
    if (!current->rawBuffer) return -1; // unsupported: the record keeps what it held
    if (!output || outputSize < static_cast<int>(sizeof(RawFrameBufferInfo))) return 0;
    RawFrameBufferInfo info = {};
    info.wFormat = 1; // 5-6-5
    info.wBPP = 16;
    info.pFramePointer = RAW_FRAME_TOKEN;
    info.cxStride = 2;
    info.cyStride = 480;
    info.cxPixels = 240;
    info.cyPixels = 320;
    std::memcpy(output, &info, sizeof info);
    return 1;
}
