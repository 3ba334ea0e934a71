// The presenter thread.
//
// SDL's renderer belongs to one thread, yet it also watches the event queue:
// window events (a resize resets its viewport and, for the software renderer,
// its surface) and mouse events reach that watch on whichever thread pumps
// them, here the main thread. So an event filter takes those events away
// before the watch sees them and puts a small wrapper in their place, which
// the main loop unwraps in order. Window events are also handed to the
// presenter, which pushes a marked copy of each: the filter lets the copy
// through, the renderer's watch runs on the presenter's own thread, and the
// main loop passes the copy over.
#include "platform/desktop/presenter.h"

#include "platform/desktop/stats.h"
#include "platform/desktop/window.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

constexpr Uint8 RENDERER_COPY = 0xA5; // in SDL_WindowEvent::padding1
constexpr int DEFAULT_REFRESH_HZ = 60;

// Events taken by the filter, each with the number its wrapper carries.
struct Wrapped {
    std::mutex lock;
    std::deque<std::pair<Sint32, SDL_Event>> events;
    Sint32 next = 0;
    Uint32 wrapperType = static_cast<Uint32>(-1);
};

Wrapped wrapped;

// What the main thread and the presenter share, under lock.
struct Shared {
    std::mutex lock;
    std::condition_variable wake; // the presenter waits on it
    std::condition_variable told; // callers wait on it
    std::vector<uint16_t> frame;
    unsigned long submitted = 0, drawn = 0, presented = 0;
    std::deque<SDL_WindowEvent> windowEvents;
    bool stop = false, started = false, startFailed = false, vsync = false, software = false;
    std::string error;
    std::vector<uint32_t>* readBackTo = nullptr;
    int readWidth = 0, readHeight = 0;
    bool readBackDone = false, readBackOk = false;
};

Shared s;
// An SDL thread rather than a std::thread: SDL frees the per-thread state
// its calls leave (the error text) only for threads of its own.
SDL_Thread* presenter = nullptr;
std::atomic<SDL_threadID> presenterId{0};
// Set while the main thread presents (see run); the filter then takes nothing.
std::atomic<bool> inlineMode{false};
bool running = false;

bool rendererWatches(const SDL_Event& e) {
    switch (e.type) {
    case SDL_WINDOWEVENT:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
    case SDL_FINGERDOWN:
    case SDL_FINGERUP:
    case SDL_FINGERMOTION:
        return true;
    default:
        return false;
    }
}

int SDLCALL takeWatchedEvents(void*, SDL_Event* e) {
    if (inlineMode.load() || !rendererWatches(*e)) return 1;
    if (e->type == SDL_WINDOWEVENT) {
        // The presenter's copies go on to the renderer; SDL leaves the
        // padding of its own events as it happens to be.
        if (SDL_ThreadID() == presenterId.load()) return 1;
        e->window.padding1 = 0;
    }
    Sint32 number;
    {
        std::lock_guard<std::mutex> hold(wrapped.lock);
        number = wrapped.next++;
        wrapped.events.emplace_back(number, *e);
    }
    if (e->type == SDL_WINDOWEVENT) {
        std::lock_guard<std::mutex> hold(s.lock);
        s.windowEvents.push_back(e->window);
        s.wake.notify_one();
    }
    SDL_Event wrapper = {};
    wrapper.type = wrapped.wrapperType;
    wrapper.user.code = number;
    SDL_PushEvent(&wrapper);
    return 0;
}

// The renderer, preferring one that waits for the display's refresh.
SDL_Renderer* createRenderer(SDL_Window* window, bool* vsync) {
    SDL_Renderer* r = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!r) r = SDL_CreateRenderer(window, -1, 0);
    SDL_RendererInfo info = {};
    *vsync = r && SDL_GetRendererInfo(r, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    return r;
}

// The shortest time between two presents. Without a wait for the refresh the
// thread keeps to the refresh rate itself; with one, a little less, so that a
// driver that claims to wait but does not is still held to about the rate.
uint32_t presentInterval(SDL_Window* window, bool vsync) {
    SDL_DisplayMode mode = {};
    int hz = SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0
                 ? mode.refresh_rate
                 : DEFAULT_REFRESH_HZ;
    uint32_t ms = static_cast<uint32_t>(1000 / hz);
    if (ms < 1) ms = 1;
    return vsync ? ms * 3 / 4 : ms;
}

struct Output {
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    int width, height;
};

void draw(const Output& o, const std::vector<uint16_t>& frame) {
    SDL_UpdateTexture(o.texture, nullptr, frame.data(), o.width * 2);
    SDL_SetRenderDrawColor(o.renderer, 0, 0, 0, 255);
    SDL_RenderClear(o.renderer);
    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(o.renderer, &outputWidth, &outputHeight);
    ScreenFit fit = fitScreen(outputWidth, outputHeight, o.width, o.height);
    SDL_Rect place = {fit.x, fit.y, fit.width, fit.height};
    SDL_RenderCopy(o.renderer, o.texture, nullptr, &place);
}

void readBack(const Output& o) {
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(o.renderer, &w, &h);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    bool ok = w > 0 && h > 0 &&
              SDL_RenderReadPixels(o.renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(),
                                   w * 4) == 0;
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.readBackTo) s.readBackTo->swap(pixels);
    s.readWidth = w;
    s.readHeight = h;
    s.readBackOk = ok;
    s.readBackDone = true;
    s.readBackTo = nullptr;
    s.told.notify_all();
}

// Pushes the window events again, for the renderer's watch on this thread.
void replay(std::deque<SDL_WindowEvent>* events) {
    for (SDL_WindowEvent w : *events) {
        SDL_Event copy = {};
        copy.window = w;
        copy.window.padding1 = RENDERER_COPY;
        SDL_PushEvent(&copy);
    }
    events->clear();
}

// Takes the newest frame if there is one, draws it (reading it back when
// asked) and shows it. No SDL call is made with the lock held: the filter
// takes the lock from inside SDL's own.
void showNewest(const Output& o, std::vector<uint16_t>* frame, uint32_t* lastPresent) {
    bool wantsReadBack;
    unsigned long number;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.submitted != s.drawn) *frame = s.frame;
        number = s.drawn = s.submitted;
        wantsReadBack = s.readBackTo != nullptr;
    }
    draw(o, *frame);
    if (wantsReadBack) readBack(o);
    SDL_RenderPresent(o.renderer);
    *lastPresent = SDL_GetTicks();
    statsFramePresented(*lastPresent, number);
    std::lock_guard<std::mutex> hold(s.lock);
    ++s.presented;
}

// One round of the thread: waits for something to show, keeps to the
// interval, then shows the newest frame. False when the thread is to stop.
bool presentOnce(const Output& o, std::vector<uint16_t>* frame, uint32_t interval,
                 uint32_t* lastPresent) {
    std::deque<SDL_WindowEvent> events;
    {
        std::unique_lock<std::mutex> hold(s.lock);
        s.wake.wait(hold, [] {
            return s.stop || s.submitted != s.drawn || !s.windowEvents.empty() || s.readBackTo;
        });
        if (s.stop) return false;
        events.swap(s.windowEvents);
    }
    replay(&events);
    uint32_t since = SDL_GetTicks() - *lastPresent;
    if (since < interval) {
        std::unique_lock<std::mutex> hold(s.lock);
        s.wake.wait_for(hold, std::chrono::milliseconds(interval - since), [] { return s.stop; });
        if (s.stop) return false;
    }
    {
        std::lock_guard<std::mutex> hold(s.lock);
        events.swap(s.windowEvents);
    }
    replay(&events);
    showNewest(o, frame, lastPresent);
    return true;
}

struct Start {
    SDL_Window* window;
    int width, height;
};

// The renderer and its texture for the screen; false with SDL's reason.
bool openOutput(SDL_Window* window, int width, int height, Output* o, bool* vsync) {
    *o = Output{window, createRenderer(window, vsync), nullptr, width, height};
    if (o->renderer)
        o->texture = SDL_CreateTexture(o->renderer, SDL_PIXELFORMAT_RGB565,
                                       SDL_TEXTUREACCESS_STREAMING, width, height);
    return o->texture != nullptr;
}

void closeOutput(Output* o) {
    if (o->texture) SDL_DestroyTexture(o->texture);
    if (o->renderer) SDL_DestroyRenderer(o->renderer);
    *o = Output{};
}

bool isSoftware(SDL_Renderer* renderer) {
    SDL_RendererInfo info = {};
    return SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE);
}

void reportStart(bool failed, bool vsync, bool software) {
    std::lock_guard<std::mutex> hold(s.lock);
    s.started = true;
    s.startFailed = failed;
    s.vsync = vsync;
    s.software = software;
    if (failed) s.error = SDL_GetError();
    s.told.notify_all();
}

// A software renderer draws into the window's own surface, which SDL makes
// anew, from the window's size, on the thread that draws; a resize on the
// main thread meanwhile would leave it the wrong size. It has no refresh to
// wait for either, so the thread hands it back and the main thread draws.
void run(SDL_Window* window, int width, int height) {
    Output o;
    bool vsync = false;
    bool opened = openOutput(window, width, height, &o, &vsync);
    bool software = opened && isSoftware(o.renderer);
    if (!opened || software) {
        closeOutput(&o);
        reportStart(!opened, false, software);
        return;
    }
    reportStart(false, vsync, false);
    std::vector<uint16_t> frame(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    uint32_t interval = presentInterval(window, vsync);
    uint32_t lastPresent = SDL_GetTicks() - interval;
    while (presentOnce(o, &frame, interval, &lastPresent)) {
    }
    closeOutput(&o);
}

int SDLCALL presenterMain(void* data) {
    const Start* start = static_cast<const Start*>(data);
    presenterId = SDL_ThreadID();
    run(start->window, start->width, start->height);
    return 0;
}

// The main thread's own presentation, for a software renderer.
struct Inline {
    bool on = false;
    Output output = {};
    std::vector<uint16_t> frame;
    uint32_t interval = 16, lastPresent = 0;
    bool redraw = false;
};

Inline in;

bool startInline(SDL_Window* window, int width, int height, std::string* error) {
    bool vsync = false;
    if (!openOutput(window, width, height, &in.output, &vsync)) {
        *error = SDL_GetError();
        closeOutput(&in.output);
        return false;
    }
    in.on = true;
    inlineMode = true;
    in.frame.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    in.interval = presentInterval(window, false);
    in.lastPresent = SDL_GetTicks() - in.interval;
    in.redraw = true;
    return true;
}

} // namespace

void installPresenterEventFilter() {
    {
        std::lock_guard<std::mutex> hold(wrapped.lock);
        wrapped.events.clear();
        if (wrapped.wrapperType == static_cast<Uint32>(-1))
            wrapped.wrapperType = SDL_RegisterEvents(1);
    }
    if (wrapped.wrapperType != static_cast<Uint32>(-1))
        SDL_SetEventFilter(takeWatchedEvents, nullptr);
}

void removePresenterEventFilter() {
    SDL_SetEventFilter(nullptr, nullptr);
    std::lock_guard<std::mutex> hold(wrapped.lock);
    wrapped.events.clear();
    // SDL hands out each event type once per run of the library.
    wrapped.wrapperType = static_cast<Uint32>(-1);
}

bool unwrapEvent(const SDL_Event& e, SDL_Event* original) {
    if (e.type != wrapped.wrapperType || wrapped.wrapperType == static_cast<Uint32>(-1))
        return false;
    std::lock_guard<std::mutex> hold(wrapped.lock);
    // A wrapper SDL could not queue leaves its event behind: pass over it.
    while (!wrapped.events.empty() && wrapped.events.front().first != e.user.code)
        wrapped.events.pop_front();
    if (wrapped.events.empty()) {
        original->type = SDL_FIRSTEVENT;
        return true;
    }
    *original = wrapped.events.front().second;
    wrapped.events.pop_front();
    return true;
}

bool isRendererCopy(const SDL_Event& e) {
    return e.type == SDL_WINDOWEVENT && e.window.padding1 == RENDERER_COPY;
}

bool startPresenter(SDL_Window* window, int width, int height, std::string* error) {
    if (running) return true;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        s.frame.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        s.submitted = s.drawn = s.presented = 0;
        s.stop = s.started = s.startFailed = false;
        s.error.clear();
    }
    static Start start;
    start = Start{window, width, height};
    presenter = SDL_CreateThread(presenterMain, "presenter", &start);
    if (!presenter) {
        *error = SDL_GetError();
        return false;
    }
    std::unique_lock<std::mutex> hold(s.lock);
    s.told.wait(hold, [] { return s.started; });
    bool failed = s.startFailed, software = s.software;
    *error = s.error;
    hold.unlock();
    if (failed || software) {
        SDL_WaitThread(presenter, nullptr);
        presenter = nullptr;
    }
    if (failed || (software && !startInline(window, width, height, error))) return false;
    running = true;
    return true;
}

void stopPresenter() {
    if (!running) return;
    if (in.on) {
        closeOutput(&in.output);
        in = Inline();
        inlineMode = false;
        running = false;
        return;
    }
    {
        std::lock_guard<std::mutex> hold(s.lock);
        s.stop = true;
        s.wake.notify_one();
    }
    SDL_WaitThread(presenter, nullptr);
    presenter = nullptr;
    running = false;
    std::lock_guard<std::mutex> hold(s.lock);
    s.windowEvents.clear();
}

bool presenterRunning() {
    return running;
}

bool presenterThreaded() {
    return running && !in.on;
}

unsigned long submitFrame(const std::vector<uint16_t>& pixels) {
    std::lock_guard<std::mutex> hold(s.lock);
    if (!running || pixels.size() != s.frame.size()) return s.submitted;
    s.frame = pixels;
    ++s.submitted;
    s.wake.notify_one();
    return s.submitted;
}

unsigned long framesPresented() {
    std::lock_guard<std::mutex> hold(s.lock);
    return s.presented;
}

bool presenterSyncsToDisplay() {
    std::lock_guard<std::mutex> hold(s.lock);
    return running && s.vsync;
}

void servePresenter() {
    if (!in.on || presenterWaitLimit() != 0) return;
    showNewest(in.output, &in.frame, &in.lastPresent);
    in.redraw = false;
}

int presenterWaitLimit() {
    if (!in.on) return -1;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.submitted == s.drawn && !in.redraw) return -1;
    }
    uint32_t since = SDL_GetTicks() - in.lastPresent;
    return since >= in.interval ? 0 : static_cast<int>(in.interval - since);
}

void presenterWindowChanged() {
    in.redraw = true;
}

bool readBackPresented(std::vector<uint32_t>* pixels, int* outputWidth, int* outputHeight) {
    std::unique_lock<std::mutex> hold(s.lock);
    if (!running) return false;
    s.readBackTo = pixels;
    s.readBackDone = false;
    if (in.on) {
        hold.unlock();
        showNewest(in.output, &in.frame, &in.lastPresent);
        hold.lock();
    }
    s.wake.notify_one();
    s.told.wait(hold, [] { return s.readBackDone; });
    *outputWidth = s.readWidth;
    *outputHeight = s.readHeight;
    return s.readBackOk;
}
