#include "platform/desktop/host.h"

#include "platform/desktop/input.h"
#include "platform/desktop/keys.h"
#include "platform/desktop/pads.h"
#include "platform/desktop/presenter.h"
#include "platform/desktop/stats.h"
#include "platform/desktop/window.h"
#include "platform/gapi/device.h"
#include "platform/host/host.h"
#include "platform/hss/hss.h"
#include "platform/host/instance.h"
#include "platform/wince/messages.h"
#include "platform/wince/screen.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

struct Desktop {
    int width = 0, height = 0;
    uint32_t tickBase = 0;
    bool dirty = true;
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

// The presenter thread shows the newest frame at the display's refresh; a
// frame handed over here that it has not taken yet is simply replaced.
void present() {
    composeScreen(&d.pixels);
    statsFrameSubmitted(submitFrame(d.pixels));
    d.dirty = false;
}

void presentIfChanged() {
    if (d.dirty) present();
}

void closeWindow() {
    if (d.closeSent) return;
    d.closeSent = true;
    queueActivation(false); // the same road as losing activation
}

// Nothing stays held once the keyboard has gone elsewhere: the program would
// never see the releases. Minimising changes nothing else; the game goes on.
void focusLost() {
    forgetKeyboardHolds();
    forgetPadHolds();
    releaseAllControls();
}

void windowEvent(const SDL_WindowEvent& e) {
    if (e.event == SDL_WINDOWEVENT_CLOSE) closeWindow();
    if (e.event == SDL_WINDOWEVENT_FOCUS_LOST) focusLost();
    if (e.event == SDL_WINDOWEVENT_EXPOSED || e.event == SDL_WINDOWEVENT_SIZE_CHANGED)
        presenterWindowChanged();
}

void mouseButton(const SDL_MouseButtonEvent& e) {
    if (e.button != SDL_BUTTON_LEFT) return;
    LPARAM point = devicePointFromWindow(e.x, e.y);
    if (e.type == SDL_MOUSEBUTTONDOWN)
        pressStylus(MOUSE_SOURCE, point);
    else
        releaseStylus(MOUSE_SOURCE, point);
}

} // namespace

void translateDesktopEvent(const SDL_Event& event) {
    SDL_Event original;
    const SDL_Event& e = unwrapEvent(event, &original) ? original : event;
    if (isRendererCopy(e)) return;
    switch (e.type) {
    case SDL_QUIT:
        closeWindow();
        break;
    case SDL_WINDOWEVENT:
        windowEvent(e.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (e.type == SDL_KEYDOWN && !e.key.repeat) statsPressArrived(e.key.timestamp);
        translateKeyEvent(e.key);
        break;
    case SDL_MOUSEBUTTONDOWN:
        statsPressArrived(e.button.timestamp);
        mouseButton(e.button);
        break;
    case SDL_MOUSEBUTTONUP:
        mouseButton(e.button);
        break;
    case SDL_MOUSEMOTION:
        // A stylus only moves while it touches the screen.
        moveStylus(MOUSE_SOURCE, devicePointFromWindow(e.motion.x, e.motion.y));
        break;
    default:
        translatePadEvent(e);
        break;
    }
}

namespace {

bool pumpEvents() {
    bool queued = false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        translateDesktopEvent(e);
        queued = queued || !isRendererCopy(e);
    }
    return queued;
}

bool waitForInput(bool hasDeadline, uint32_t deadline) {
    for (;;) {
        if (pumpEvents()) return true;
        presentIfChanged();
        servePresenter();
        pollInstanceRequests();
        uint32_t now = tickCount();
        int32_t timeout = hasDeadline ? static_cast<int32_t>(deadline - now) : 1000;
        if (timeout <= 0) return true;
        int32_t limit = presenterWaitLimit();
        if (limit >= 0 && limit < timeout) timeout = limit;
        if (SDL_WaitEventTimeout(nullptr, timeout)) continue;
    }
}

void sleepFor(uint32_t ms) {
    present(); // whatever the program drew stays on screen while it sleeps
    int32_t due = presenterWaitLimit();
    if (due > 0 && static_cast<uint32_t>(due) < ms) {
        SDL_Delay(static_cast<uint32_t>(due));
        ms -= static_cast<uint32_t>(due);
    }
    servePresenter();
    SDL_Delay(ms);
}

void screenChanged() {
    d.dirty = true;
    statsScreenDrawn(inputQueued());
}
void raiseWindow() {
    SDL_ShowWindow(desktopWindow());
    SDL_RaiseWindow(desktopWindow());
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
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "reefdart: no sound (%s); playing silent\n", SDL_GetError());
        return false;
    }
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
    resetDesktopInput();
    if (!openDesktopWindow(d.width, d.height, d.scale < 1 ? fittingScale() : d.scale)) {
        d.windowFailed = true;
        return false;
    }
    openPads();
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
    installPresenterEventFilter();
    d.scale = scale;
    d.tickBase = wallClockBase();
    host = &desktopHost;
    return true;
}

bool desktopWindowFailed() {
    return d.windowFailed;
}

void finishDesktopHost() {
    printDesktopStats(SDL_GetTicks(), timerMessageCount(), presenterSyncsToDisplay());
    closeAudio();
    closePads();
    closeDesktopWindow();
    resetDesktopInput();
    forgetKeyboardHolds();
    removePresenterEventFilter();
    d = Desktop();
    SDL_Quit();
}
