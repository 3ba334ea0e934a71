// The browser host. The program's message loop keeps its shape: whenever it
// waits, the host hands the browser its turn (emscripten_sleep, which needs the
// build's ASYNCIFY), so page events arrive, the canvas is repainted and timers
// fire meanwhile.
#include "platform/web/web.h"

#include "platform/gapi/device.h"
#include "platform/wince/folders.h"
#include "platform/host/host.h"
#include "platform/host/instance.h"
#include "platform/wince/steady_clock.h"
#include "platform/wince/messages.h"
#include "platform/wince/screen.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// The page's side: the canvas, the storage of the data folder, the end.
// clang-format off
EM_JS(int, webOpenCanvas, (int w, int h), {
    var c = document.getElementById('screen');
    var ctx = c ? c.getContext('2d') : null;
    if (!ctx) return 0;
    c.width = w;
    c.height = h;
    Module.reefdartContext = ctx;
    Module.reefdartImage = ctx.createImageData(w, h);
    // The largest whole number of device pixels a screen pixel that fits in
    // the box the page gives the canvas (its parent; the window when none).
    var box = c.parentElement && c.parentElement != document.body ? c.parentElement : null;
    function fit() {
        var dpr = window.devicePixelRatio || 1;
        var bw = box ? box.clientWidth : window.innerWidth;
        var bh = box ? box.clientHeight : window.innerHeight;
        var s = Math.floor(Math.min(bw * dpr / w, bh * dpr / h));
        if (s < 1) s = 1;
        c.style.width = (w * s / dpr) + 'px';
        c.style.height = (h * s / dpr) + 'px';
    }
    fit();
    window.addEventListener('resize', fit);
    if (box && window.ResizeObserver) new ResizeObserver(fit).observe(box);
    c.style.visibility = 'visible';
    if (Module.reefdartStarted) Module.reefdartStarted();
    return 1;
});

// 5-6-5 pixels widen to 8 bits a channel by bit replication.
EM_JS(void, webPutScreen, (const uint16_t* pixels, int w, int h), {
    var image = Module.reefdartImage;
    if (!image || image.width != w || image.height != h) return;
    var d = image.data;
    var src = HEAPU16.subarray(pixels >> 1, (pixels >> 1) + w * h);
    for (var i = 0, j = 0; i < src.length; ++i, j += 4) {
        var v = src[i], r = v >> 11, g = (v >> 5) & 63, b = v & 31;
        d[j] = (r << 3) | (r >> 2);
        d[j + 1] = (g << 2) | (g >> 4);
        d[j + 2] = (b << 3) | (b >> 2);
        d[j + 3] = 255;
    }
    Module.reefdartContext.putImageData(image, 0, 0);
});

EM_JS(int, webDevicePoint, (int clientX, int clientY, int w, int h), {
    var c = document.getElementById('screen');
    var r = c.getBoundingClientRect();
    if (r.width <= 0 || r.height <= 0) return 0;
    var x = Math.floor((clientX - r.left) * w / r.width);
    var y = Math.floor((clientY - r.top) * h / r.height);
    x = x < 0 ? 0 : x >= w ? w - 1 : x;
    y = y < 0 ? 0 : y >= h ? h - 1 : y;
    return x | (y << 16);
});

EM_JS(void, webPublishStats, (double timerWakes, double frames), {
    Module.reefdartStats = {timerWakes: timerWakes, frames: frames, at: performance.now()};
});

// The data folder in the browser's storage (emscripten's IDBFS: one IndexedDB
// database for the mount point, a record a file). One page at a time holds it
// (web/lock.js): the folder is read once this page has the lock. Beside the
// files the database keeps their generation, a record IDBFS does not list
// (it has no timestamp): each page that takes the files stores one more than
// the last before it reads them, and a save checks it in the transaction that
// writes them. A page whose generation is behind (another page took the files
// since it read them) saves nothing more, so whatever road a page leaves by
// it never puts back files older than another page's.
EM_JS(void, webMountData, (const char* folder), {
    var path = UTF8ToString(folder);
    var GENERATION = 'generation';
    var s = Module.reefdartSync = {
        ready: false, mounted: false, busy: false, again: false, waiting: [],
        generation: 0, behind: false, saves: 0
    };
    // Runs then once the data folder is in the browser's storage (the page
    // waits for it before it leaves for another address).
    Module.reefdartWhenSaved = function(then) {
        if (s.busy) s.waiting.push(then);
        else then();
    };
    // fill(transaction, store) in one read-write transaction on the files;
    // done(error) when it has ended.
    function inTransaction(fill, done) {
        IDBFS.getDB(path, function(err, db) {
            if (err) return done(err);
            var t;
            try {
                t = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
            } catch (e) {
                return done(e);
            }
            var failed = null;
            t.oncomplete = function() { done(null); };
            t.onabort = function() { done(failed || t.error || new Error('the transaction was aborted')); };
            fill(t, t.objectStore(IDBFS.DB_STORE_NAME), function(why) {
                if (failed) return;
                failed = why;
                t.abort();
            });
        });
    }
    function storedGeneration(store, then) {
        store.get(GENERATION).onsuccess = function(e) {
            var v = e.target.result;
            then(v && v.generation > 0 ? v.generation : 0);
        };
    }
    function claim(done) {
        inTransaction(function(t, store) {
            storedGeneration(store, function(g) {
                s.generation = g + 1;
                store.put({generation: s.generation}, GENERATION);
            });
        }, done);
    }
    // As FS.syncfs(false) does: the files whose time differs are stored, the
    // records of files no longer here deleted; nothing when behind.
    function push(done) {
        IDBFS.getLocalSet({mountpoint: path}, function(err, local) {
            if (err) return done(err);
            inTransaction(function(t, store, fail) {
                storedGeneration(store, function(g) {
                    if (g != s.generation) {
                        s.behind = true;
                        return fail(new Error('another page has taken them since (generation ' + g +
                                              ', this page has ' + s.generation + ')'));
                    }
                    var stored = {};
                    store.index('timestamp').openKeyCursor().onsuccess = function(e) {
                        var c = e.target.result;
                        if (c) {
                            stored[c.primaryKey] = c.key.getTime();
                            c.continue();
                            return;
                        }
                        Object.keys(local.entries).sort().forEach(function(file) {
                            if (stored[file] === local.entries[file].timestamp.getTime()) return;
                            IDBFS.loadLocalEntry(file, function(err, entry) {
                                if (err) fail(err);
                                else store.put(entry, file);
                            });
                        });
                        Object.keys(stored).sort().reverse().forEach(function(file) {
                            if (!local.entries[file]) store.delete(file);
                        });
                    };
                });
            }, done);
        });
    }
    // Saves the data folder in the background; a call while that runs makes
    // one more pass once it ends.
    s.save = function() {
        if (!s.mounted || s.behind) return;
        if (s.busy) {
            s.again = true;
            return;
        }
        s.busy = true;
        push(function done(err) {
            if (err) console.warn('reefdart: the settings could not be saved (' + (err.message || err) + ')');
            else ++s.saves;
            if (s.again && !s.behind) {
                s.again = false;
                push(done);
            } else {
                s.again = false;
                s.busy = false;
                s.waiting.splice(0).forEach(function(then) { then(); });
            }
        });
    };
    try {
        FS.mkdir(path);
        FS.mount(IDBFS, {}, path);
        s.mounted = true;
    } catch (e) {
        console.warn('reefdart: no browser storage for the settings (' + e + '); they last until the page closes');
    }
    function read() {
        if (!s.mounted) {
            s.ready = true;
            return;
        }
        claim(function(err) {
            if (err) console.warn('reefdart: the saved settings could not be claimed (' + (err.message || err) + ')');
            FS.syncfs(true, function(err) {
                if (err) console.warn('reefdart: the saved settings could not be read (' + err + ')');
                s.ready = true;
            });
        });
    }
    if (window.reefdartLock) reefdartLock.acquire(read);
    else read();
});

EM_JS(int, webDataReady, (), { return Module.reefdartSync.ready ? 1 : 0; });

EM_JS(void, webSaveData, (), { Module.reefdartSync.save(); });

// Another page may have the files once this page's last save is stored.
EM_JS(void, webReleaseData, (), {
    if (!window.reefdartLock) return;
    if (Module.reefdartWhenSaved) Module.reefdartWhenSaved(function() { reefdartLock.release(); });
    else reefdartLock.release();
});

EM_JS(int, webQueryDevice, (char* out, int capacity), {
    var m = /[?&]device=([a-z0-9-]+)/.exec(location.search);
    if (!m) return 0;
    stringToUTF8(m[1], out, capacity);
    return 1;
});

// The replay the address asks to watch: ?watch=best or ?watch=last, a game
// kept in the data folder; ?watch=chosen, the file the player chose on the
// page (held in the session's storage over the reload); anything else the
// address of a replay file on this site, fetched into file. Returns 0 when
// none is asked for; otherwise the loading has begun.
EM_JS(int, webStartWatchLoad, (const char* folder, const char* file), {
    var asked = new URLSearchParams(location.search).get('watch');
    if (!asked) return 0;
    var path = UTF8ToString(file);
    var w = Module.reefdartWatch = {done: false, path: "", error: ""};
    function ready(bytes) {
        try {
            FS.writeFile(path, bytes);
            w.path = path;
        } catch (e) {
            w.error = 'it could not be copied (' + e + ')';
        }
        w.done = true;
    }
    function fail(why) {
        w.error = why;
        w.done = true;
    }
    if (asked == 'best' || asked == 'last') {
        var kept = UTF8ToString(folder) + '/' + asked + 'game.rdr';
        if (FS.analyzePath(kept).exists) {
            w.path = kept;
            w.done = true;
        } else {
            fail('this browser keeps no ' + asked + ' game yet');
        }
        return 1;
    }
    if (asked == 'chosen') {
        var text = null;
        try {
            text = sessionStorage.getItem('reefdart-chosen-replay');
        } catch (e) {
        }
        if (text === null) {
            fail('the chosen file is no longer at hand; choose it again');
            return 1;
        }
        var bin = atob(text), bytes = new Uint8Array(bin.length);
        for (var i = 0; i < bin.length; ++i) bytes[i] = bin.charCodeAt(i);
        ready(bytes);
        return 1;
    }
    var url;
    try {
        url = new URL(asked, location.href);
    } catch (e) {
        fail(asked + ' is no address');
        return 1;
    }
    if (url.origin != location.origin) {
        fail('a replay is only fetched from this site, not from ' + url.origin);
        return 1;
    }
    fetch(url.href).then(function(r) {
        if (!r.ok) throw new Error(r.status + ' ' + r.statusText);
        return r.arrayBuffer();
    }).then(function(b) { ready(new Uint8Array(b)); }, function(e) {
        fail(asked + ' could not be fetched (' + e.message + ')');
    });
    return 1;
});

EM_JS(int, webWatchLoaded, (), { return Module.reefdartWatch.done ? 1 : 0; });

// The path of the replay loaded, or why there is none: 1 and the path, or 0
// and the reason.
EM_JS(int, webWatchLoadResult, (char* out, int capacity), {
    var w = Module.reefdartWatch;
    stringToUTF8(w.path || w.error, out, capacity);
    return w.path ? 1 : 0;
});

// The reason names the replay as the address does, not by its path here.
EM_JS(void, webShowCannotWatch, (const char* why, const char* folder, const char* file), {
    var asked = new URLSearchParams(location.search).get('watch');
    var text = UTF8ToString(why).split(UTF8ToString(file)).join(asked);
    var kept = UTF8ToString(folder) + '/' + asked + 'game.rdr';
    text = text.split(kept).join('the ' + asked + ' game');
    if (Module.reefdartCannotWatch) Module.reefdartCannotWatch(text);
});

// Leaving the page, or another page taking over the files, closes the game.
EM_JS(void, webWatchPageHide, (), {
    window.addEventListener('pagehide', function() { _webPageHidden(); });
    var lock = window.reefdartLock;
    if (!lock) return;
    lock.onAsked = function() { _webPageHidden(); };
    if (lock.takenOver) _webPageHidden();
});

EM_JS(void, webRaise, (), { window.focus(); });

// Whether the player is typing in one of the page's fields (the name a game is
// published under): the keys are then the field's.
EM_JS(int, webTypingInPage, (), {
    var a = document.activeElement;
    return a && (a.tagName == 'INPUT' || a.tagName == 'TEXTAREA' || a.isContentEditable) ? 1 : 0;
});

EM_JS(void, webProgramEnded, (int code), {
    if (Module.reefdartEnded) Module.reefdartEnded(code);
});
// clang-format on

namespace {

// The canvas is repainted at most this often.
constexpr double PRESENT_INTERVAL_MS = 16;
// With no timer due, the host looks for input this often.
constexpr int32_t IDLE_SLICE_MS = 10;
// A program that is always behind its timer still lets the browser run this
// often, or the page would stop answering.
constexpr double MAX_BUSY_MS = 50;
// A steadied clock that lags the wall clock by more than this drops the rest.
constexpr int32_t MAX_LAG_MS = 100;
constexpr const char* DATA_FOLDER = "/data";
// Where a replay fetched or chosen to be watched is put.
constexpr const char* WATCHED_FILE = "/tmp/watched.rdr";

struct Web {
    uint32_t tickBase = 0;
    int width = 0, height = 0;
    bool dirty = true;
    double lastPresent = -1e9;
    double lastYield = 0;
    bool stylusDown = false;
    long touchId = -1;
    bool closeSent = false;
    bool ended = false;
    double timerWakes = 0, frames = 0;
    std::vector<uint16_t> pixels;
};

Web w;

uint32_t tickCount() {
    return w.tickBase + static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

void present() {
    if (w.width <= 0) return;
    composeScreen(&w.pixels);
    webPutScreen(w.pixels.data(), w.width, w.height);
    w.lastPresent = emscripten_get_now();
    w.dirty = false;
    ++w.frames;
    webPublishStats(w.timerWakes, w.frames);
}

void yieldToBrowser(int32_t ms) {
    emscripten_sleep(static_cast<unsigned>(ms < 0 ? 0 : ms));
    w.lastYield = emscripten_get_now();
}

bool waitForInput(bool hasDeadline, uint32_t deadline) {
    for (;;) {
        webPumpAudio();
        if (inputQueued()) return true;
        if (w.dirty && emscripten_get_now() - w.lastPresent >= PRESENT_INTERVAL_MS) present();
        int32_t untilDeadline =
            hasDeadline ? static_cast<int32_t>(deadline - tickCount()) : IDLE_SLICE_MS;
        if (untilDeadline <= 0) {
            ++w.timerWakes;
            if (emscripten_get_now() - w.lastYield >= MAX_BUSY_MS) yieldToBrowser(0);
            return true;
        }
        yieldToBrowser(untilDeadline < IDLE_SLICE_MS ? untilDeadline : IDLE_SLICE_MS);
    }
}

void sleepFor(uint32_t ms) {
    present(); // whatever the program drew stays on screen while it sleeps
    webPumpAudio();
    // The sound keeps flowing through a long sleep (the quit sequence's).
    uint32_t until = tickCount() + ms;
    int32_t left = static_cast<int32_t>(ms);
    do {
        yieldToBrowser(left < IDLE_SLICE_MS ? left : IDLE_SLICE_MS);
        webPumpAudio();
        left = static_cast<int32_t>(until - tickCount());
    } while (left > 0);
}

void screenChanged() {
    w.dirty = true;
}

void raiseWindow() {
    webRaise();
}

bool openAudio(int rate) {
    return webOpenAudio(rate);
}
void closeAudio() {
    webCloseAudio();
}
void noLock() {}

bool openWindow() {
    w.width = deviceScreenWidth();
    w.height = deviceScreenHeight();
    if (!webOpenCanvas(w.width, w.height)) {
        std::fprintf(stderr, "reefdart: the page has no canvas to show the game in\n");
        return false;
    }
    w.dirty = true;
    return true;
}

const Host webHost = {"web",       openWindow, tickCount,  sleepFor, waitForInput, screenChanged,
                      raiseWindow, openAudio,  closeAudio, noLock,   noLock};

// Closing the page or leaving it takes the road of a lost activation, as the
// desktop's close button does: the career file is saved and the game ends.
void closeWindow() {
    if (w.closeSent || w.ended) return;
    w.closeSent = true;
    queueActivation(false);
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    if (w.ended) return 0;
    int vk = webVirtualKey(e->key, e->code);
    if (!vk) return 0;
    // A key pressed in a field is the field's; one let go there that the
    // game holds is still let go.
    if (webTypingInPage() && (type == EMSCRIPTEN_EVENT_KEYDOWN || !keyIsDown(vk))) return 0;
    queueInput(type == EMSCRIPTEN_EVENT_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk),
               0);
    // The function keys keep their browser meaning (reload, full screen...).
    return vk < 0x70 || vk > 0x7B;
}

LPARAM devicePoint(long clientX, long clientY) {
    int packed =
        webDevicePoint(static_cast<int>(clientX), static_cast<int>(clientY), w.width, w.height);
    return MAKELPARAM(packed & 0xFFFF, (packed >> 16) & 0xFFFF);
}

EM_BOOL onMouse(int type, const EmscriptenMouseEvent* e, void*) {
    if (w.ended || w.touchId >= 0) return 0;
    switch (type) {
    case EMSCRIPTEN_EVENT_MOUSEDOWN:
        if (e->button != 0) return 0;
        w.stylusDown = true;
        queueInput(WM_LBUTTONDOWN, 1, devicePoint(e->clientX, e->clientY));
        return 1;
    case EMSCRIPTEN_EVENT_MOUSEUP:
        if (e->button != 0 || !w.stylusDown) return 0;
        w.stylusDown = false;
        queueInput(WM_LBUTTONUP, 0, devicePoint(e->clientX, e->clientY));
        return 1;
    case EMSCRIPTEN_EVENT_MOUSEMOVE:
        // A stylus only moves while it touches the screen.
        if (!w.stylusDown) return 0;
        queueInput(WM_MOUSEMOVE, 1, devicePoint(e->clientX, e->clientY));
        return 1;
    default:
        return 0;
    }
}

// One finger is the stylus: the first to touch, until it lifts.
EM_BOOL onTouch(int type, const EmscriptenTouchEvent* e, void*) {
    if (w.ended) return 0;
    for (int i = 0; i < e->numTouches; ++i) {
        const EmscriptenTouchPoint& t = e->touches[i];
        if (!t.isChanged) continue;
        LPARAM at = devicePoint(t.clientX, t.clientY);
        if (type == EMSCRIPTEN_EVENT_TOUCHSTART) {
            if (w.touchId >= 0 || w.stylusDown) continue;
            w.touchId = t.identifier;
            queueInput(WM_LBUTTONDOWN, 1, at);
        } else if (t.identifier == w.touchId) {
            if (type == EMSCRIPTEN_EVENT_TOUCHMOVE) {
                queueInput(WM_MOUSEMOVE, 1, at);
            } else {
                w.touchId = -1;
                queueInput(WM_LBUTTONUP, 0, at);
            }
        }
    }
    return 1; // no mouse events made up from the touches, no scrolling
}

// Losing the focus (another window, the address bar) only lets go of what is
// held, so the fish does not rise forever; the stylus is let go at x 0, where
// it selects nothing in the menus. Hiding or leaving the page closes the game.
EM_BOOL onBlur(int, const EmscriptenFocusEvent*, void*) {
    for (int vk = 1; vk < 256; ++vk)
        if (keyIsDown(vk)) queueInput(WM_KEYUP, static_cast<WPARAM>(vk), 0);
    if (w.stylusDown || w.touchId >= 0) queueInput(WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
    w.stylusDown = false;
    w.touchId = -1;
    return 0;
}

EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
    if (e->hidden) closeWindow();
    return 0;
}

void listenToPage() {
    const char* win = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(win, nullptr, 1, onKey);
    emscripten_set_keyup_callback(win, nullptr, 1, onKey);
    emscripten_set_mousedown_callback("#screen", nullptr, 1, onMouse);
    emscripten_set_mouseup_callback(win, nullptr, 1, onMouse);
    emscripten_set_mousemove_callback(win, nullptr, 1, onMouse);
    emscripten_set_touchstart_callback("#screen", nullptr, 1, onTouch);
    emscripten_set_touchmove_callback("#screen", nullptr, 1, onTouch);
    emscripten_set_touchend_callback("#screen", nullptr, 1, onTouch);
    emscripten_set_touchcancel_callback("#screen", nullptr, 1, onTouch);
    emscripten_set_blur_callback(win, nullptr, 1, onBlur);
    emscripten_set_visibilitychange_callback(nullptr, 1, onVisibility);
    webWatchPageHide();
}

// Every game is recorded, and its replay is exact and small only when its
// ticks come at the timer's own times: the program runs on the steadied clock
// (platform/wince/steady_clock.h). That clock skips this host's wait whenever a
// timer is already due by the wall clock, so a program that keeps falling
// behind would never give the browser its turn: the page would stop answering
// and the canvas would stand still. Its waits come through here first, which
// lets the browser run once the program has kept it waiting too long, and
// forgets whatever the steadied clock lags the wall clock by beyond a little
// (the page stalled), which it would otherwise play through at full speed.
const Host* steadied = nullptr;
Host steadiedWeb;

bool waitOnSteadyClock(bool hasDeadline, uint32_t deadline) {
    if (emscripten_get_now() - w.lastYield >= MAX_BUSY_MS) {
        webPumpAudio();
        if (w.dirty) present();
        yieldToBrowser(0);
        // Input comes before the due timer, the clock standing still.
        if (inputQueued()) return true;
    }
    int32_t lag = static_cast<int32_t>(tickCount() - deadline);
    if (hasDeadline && lag > MAX_LAG_MS) w.tickBase -= static_cast<uint32_t>(lag - MAX_LAG_MS);
    return steadied->waitForInput(hasDeadline, deadline);
}

void runOnSteadyClock() {
    steadyTheClock();
    steadied = host;
    steadiedWeb = *host;
    steadiedWeb.waitForInput = waitOnSteadyClock;
    host = &steadiedWeb;
}

} // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void webPageHidden() {
    closeWindow();
}

// A settings file has been replaced: the data folder goes back to the
// browser's storage (in the background; a later call while that runs makes
// one more pass once it ends).
void hostFileReplaced() {
    webSaveData();
}

// One page is one copy; pages do not look for each other.
bool otherCopyRunning() {
    return false;
}
bool askOtherCopyToComeForward() {
    return false;
}
void pollInstanceRequests() {}
void releaseInstance() {}

// The keyboard as the device's buttons, as on the desktop: arrows are the
// direction pad, Enter is Start, Z, X and C are A, B and C, the other keys are
// themselves.
namespace {

struct NamedKey {
    const char* name;
    int vk;
};

const NamedKey NAMED_KEYS[] = {
    {"ArrowUp", VK_UP},
    {"ArrowDown", VK_DOWN},
    {"ArrowLeft", VK_LEFT},
    {"ArrowRight", VK_RIGHT},
    {"Enter", VK_RETURN},
    {"NumpadEnter", VK_RETURN},
    {"Space", VK_SPACE},
    {" ", VK_SPACE},
    {"Escape", VK_ESCAPE},
    {"Backspace", 0x08},
    {"Tab", 0x09},
    {"ShiftLeft", VK_SHIFT},
    {"ShiftRight", VK_SHIFT},
    {"Shift", VK_SHIFT},
    {"ControlLeft", VK_CONTROL},
    {"ControlRight", VK_CONTROL},
    {"Control", VK_CONTROL},
    {"AltLeft", 0x12},
    {"AltRight", 0x12},
    {"Alt", 0x12},
    {"MetaLeft", VK_LWIN},
    {"MetaRight", VK_LWIN},
    {"Meta", VK_LWIN},
    {"Home", 0x24},
    {"End", 0x23},
    {"PageUp", 0x21},
    {"PageDown", 0x22},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
};

int letterKey(char c) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c < 'a' || c > 'z') return 0;
    if (c == 'z') return DEVICE_BUTTON_A;
    if (c == 'x') return DEVICE_BUTTON_B;
    if (c == 'c') return DEVICE_BUTTON_C;
    return 'A' + (c - 'a');
}

int namedKey(const char* name) {
    for (const NamedKey& k : NAMED_KEYS)
        if (std::strcmp(name, k.name) == 0) return k.vk;
    if (name[0] == 'F' && name[1] >= '1' && name[1] <= '9') {
        int n = name[1] - '0';
        if (name[2] >= '0' && name[2] <= '9' && !name[3])
            n = n * 10 + (name[2] - '0');
        else if (name[2])
            return 0;
        if (n >= 1 && n <= 12) return 0x70 + n - 1;
    }
    return 0;
}

} // namespace

int webVirtualKey(const char* key, const char* code) {
    if (!key || !code) return 0;
    // The keypad is not the digit row: only its Enter counts.
    if (std::strncmp(code, "Numpad", 6) == 0)
        return std::strcmp(code, "NumpadEnter") == 0 ? VK_RETURN : 0;
    if (key[0] && !key[1]) {
        if (int vk = letterKey(key[0])) return vk;
        if (key[0] >= '0' && key[0] <= '9') return key[0];
    }
    // A shifted digit is still its digit.
    if (std::strncmp(code, "Digit", 5) == 0 && code[5] >= '0' && code[5] <= '9' && !code[6])
        return code[5];
    if (int vk = namedKey(code)) return vk;
    return namedKey(key);
}

void openWebData() {
    webMountData(DATA_FOLDER);
    while (!webDataReady()) emscripten_sleep(5);
    std::string error;
    if (!setDataFolder(DATA_FOLDER, &error)) std::fprintf(stderr, "reefdart: %s\n", error.c_str());
}

std::string webAddressDevice() {
    char name[32] = {};
    return webQueryDevice(name, sizeof name) ? name : "";
}

bool webReplayToWatch(std::string* path, std::string* error) {
    if (!webStartWatchLoad(DATA_FOLDER, WATCHED_FILE)) return false;
    while (!webWatchLoaded()) emscripten_sleep(5);
    char text[512] = {};
    if (webWatchLoadResult(text, sizeof text))
        *path = text;
    else
        *error = text;
    return true;
}

void webCannotWatch(const char* why) {
    std::fprintf(stderr, "reefdart: the replay cannot be watched: %s\n", why);
    webShowCannotWatch(why, DATA_FOLDER, WATCHED_FILE);
    webReleaseData();
}

void startWebHost(const char* device) {
    const DeviceProfile* profile = findDeviceProfile(device);
    selectDevice(profile ? profile : findDeviceProfile("qvga"));
    // The game seeds its random numbers from the tick count: start it from
    // the wall clock so that runs differ.
    w.tickBase = static_cast<uint32_t>(static_cast<uint64_t>(emscripten_date_now()));
    w.lastYield = emscripten_get_now();
    host = &webHost;
    runOnSteadyClock();
    listenToPage();
}

void finishWebHost(int code) {
    if (steadied) host = steadied;
    unsteadyTheClock();
    present();
    webCloseAudio(); // the music stops with the program
    w.ended = true;
    webReleaseData();
    webProgramEnded(code);
}
