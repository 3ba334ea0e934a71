#include "platform/desktop.h"

#include "platform/desktop_keys.h"
#include "platform/device.h"
#include "platform/host.h"
#include "platform/hss.h"
#include "platform/instance.h"
#include "platform/messages.h"
#include "platform/screen.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t PRESENT_INTERVAL_MS = 16;

struct Desktop {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int width = 0, height = 0;
    uint32_t tickBase = 0;
    uint32_t lastPresent = 0;
    bool dirty = true;
    bool stylusDown = false;
    bool closeSent = false;
    SDL_AudioDeviceID audio = 0;
    std::vector<uint16_t> pixels;
    int scale = 0;
    bool windowFailed = false;
};

Desktop d;

uint32_t tickCount() {
    return d.tickBase + SDL_GetTicks();
}

void present() {
    composeScreen(&d.pixels);
    SDL_UpdateTexture(d.texture, nullptr, d.pixels.data(), d.width * 2);
    SDL_SetRenderDrawColor(d.renderer, 0, 0, 0, 255);
    SDL_RenderClear(d.renderer);
    SDL_RenderCopy(d.renderer, d.texture, nullptr, nullptr);
    SDL_RenderPresent(d.renderer);
    d.lastPresent = SDL_GetTicks();
    d.dirty = false;
}

void presentIfDue() {
    if (SDL_GetTicks() - d.lastPresent >= PRESENT_INTERVAL_MS) present();
}

// Window coordinates to device pixels, through the renderer's scale.
LPARAM devicePoint(int windowX, int windowY) {
    float x = 0, y = 0;
    SDL_RenderWindowToLogical(d.renderer, windowX, windowY, &x, &y);
    int px = static_cast<int>(x), py = static_cast<int>(y);
    px = px < 0 ? 0 : px >= d.width ? d.width - 1 : px;
    py = py < 0 ? 0 : py >= d.height ? d.height - 1 : py;
    return MAKELPARAM(px, py);
}

void closeWindow() {
    if (d.closeSent) return;
    d.closeSent = true;
    queueActivation(false); // the same road as losing activation
}

void translate(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        closeWindow();
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) closeWindow();
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
            e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            d.dirty = true;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int vk = virtualKeyFor(e.key.keysym.sym);
        if (vk)
            queueInput(e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk), 0);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button != SDL_BUTTON_LEFT) break;
        d.stylusDown = true;
        queueInput(WM_LBUTTONDOWN, 1, devicePoint(e.button.x, e.button.y));
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button != SDL_BUTTON_LEFT || !d.stylusDown) break;
        d.stylusDown = false;
        queueInput(WM_LBUTTONUP, 0, devicePoint(e.button.x, e.button.y));
        break;
    case SDL_MOUSEMOTION:
        // A stylus only moves while it touches the screen.
        if (d.stylusDown) queueInput(WM_MOUSEMOVE, 1, devicePoint(e.motion.x, e.motion.y));
        break;
    default:
        break;
    }
}

bool pumpEvents() {
    bool queued = false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        translate(e);
        queued = true;
    }
    return queued;
}

bool waitForInput(bool hasDeadline, uint32_t deadline) {
    for (;;) {
        if (pumpEvents()) return true;
        presentIfDue();
        pollInstanceRequests();
        uint32_t now = tickCount();
        int32_t untilDeadline = hasDeadline ? static_cast<int32_t>(deadline - now) : 1000;
        if (untilDeadline <= 0) return true;
        int32_t untilPresent =
            static_cast<int32_t>(PRESENT_INTERVAL_MS - (SDL_GetTicks() - d.lastPresent));
        int32_t timeout = untilDeadline < untilPresent ? untilDeadline : untilPresent;
        if (timeout > 0 && SDL_WaitEventTimeout(nullptr, timeout)) continue;
    }
}

void sleepFor(uint32_t ms) {
    present(); // whatever the program drew stays on screen while it sleeps
    SDL_Delay(ms);
}

void screenChanged() {
    d.dirty = true;
}
void raiseWindow() {
    SDL_ShowWindow(d.window);
    SDL_RaiseWindow(d.window);
}

void audioCallback(void*, Uint8* stream, int bytes) {
    hssSpeaker* speaker = activeSpeaker();
    size_t count = static_cast<size_t>(bytes) / 2;
    if (speaker)
        speaker->render(reinterpret_cast<int16_t*>(stream), count);
    else
        SDL_memset(stream, 0, static_cast<size_t>(bytes));
}

bool openAudio(int rate) {
    if (d.audio) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want = {}, have = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 512;
    want.callback = audioCallback;
    d.audio = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!d.audio) {
        std::fprintf(stderr, "reefdart: no sound (%s); playing silent\n", SDL_GetError());
        return false;
    }
    SDL_PauseAudioDevice(d.audio, 0);
    return true;
}

void closeAudio() {
    if (d.audio) SDL_CloseAudioDevice(d.audio);
    d.audio = 0;
}

void lockAudio() {
    if (d.audio) SDL_LockAudioDevice(d.audio);
}
void unlockAudio() {
    if (d.audio) SDL_UnlockAudioDevice(d.audio);
}

int fittingScale() {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return 2;
    int scale = 1;
    while (d.width * (scale + 1) <= usable.w - 16 && d.height * (scale + 1) <= usable.h - 64)
        ++scale;
    return scale;
}

// The SDL window appears when the program creates its main window, so a
// second copy that only brings the first forward never shows one.
bool openWindow() {
    d.width = deviceScreenWidth();
    d.height = deviceScreenHeight();
    int scale = d.scale < 1 ? fittingScale() : d.scale;
    d.window = SDL_CreateWindow("Reefdart", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                d.width * scale, d.height * scale, SDL_WINDOW_ALLOW_HIGHDPI);
    if (d.window) d.renderer = SDL_CreateRenderer(d.window, -1, 0);
    if (d.renderer) {
        SDL_RenderSetLogicalSize(d.renderer, d.width, d.height);
        SDL_RenderSetIntegerScale(d.renderer, SDL_TRUE);
        d.texture = SDL_CreateTexture(d.renderer, SDL_PIXELFORMAT_RGB565,
                                      SDL_TEXTUREACCESS_STREAMING, d.width, d.height);
    }
    if (!d.texture) {
        std::fprintf(stderr, "reefdart: cannot open the game window (%s)\n", SDL_GetError());
        d.windowFailed = true;
        return false;
    }
    return true;
}

const Host desktopHost = {"desktop",    openWindow,    tickCount,   sleepFor,
                          waitForInput, screenChanged, raiseWindow, openAudio,
                          closeAudio,   lockAudio,     unlockAudio};

// Seeds of the program's random numbers come from the tick count, so it must
// not start near the same value every run as the time since SDL_Init would.
uint32_t wallClockBase() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

} // namespace

bool startDesktopHost(int scale, std::string* error) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        *error = std::string("no display to open a window on (") + SDL_GetError() +
                 "); use --headless SCRIPT to run without one";
        return false;
    }
    // SDL falls back to a window nobody can see when there is no display;
    // only someone who asked for such a driver gets one.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    bool invisible =
        driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    if (invisible && !(asked && SDL_strcmp(asked, driver) == 0)) {
        *error = "no display to open a window on (is DISPLAY set?); use --headless SCRIPT to run "
                 "without one";
        SDL_Quit();
        return false;
    }
    d.scale = scale;
    d.tickBase = wallClockBase();
    host = &desktopHost;
    return true;
}

bool desktopWindowFailed() {
    return d.windowFailed;
}

void finishDesktopHost() {
    closeAudio();
    if (d.texture) SDL_DestroyTexture(d.texture);
    if (d.renderer) SDL_DestroyRenderer(d.renderer);
    if (d.window) SDL_DestroyWindow(d.window);
    d = Desktop();
    SDL_Quit();
}
