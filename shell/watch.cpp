#include "shell/watch.h"

#include "game/game_screen.h"
#include "game/world.h"
#include "gfx/text.h"
#include "persist/settings.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "sound/sound.h"

#include <cstdio>

namespace {

struct Watch {
    bool pending = false, active = false, paused = false, clockTaken = false;
    Replay replay;
    size_t nextTick = 0, nextChange = 0;
    uint32_t lastNow = 0;
    uint64_t elapsed = 0; // ms of the game shown so far
    int32_t ownBest = 0;
};

Watch w;

// Runs the replay's ticks that fall within the time shown so far.
bool catchUp() {
    const std::vector<uint32_t>& times = w.replay.tickTimes;
    const std::vector<RiseChange>& changes = w.replay.changes;
    bool ran = false;
    while (w.nextTick < times.size() && times[w.nextTick] - times[0] <= w.elapsed) {
        while (w.nextChange < changes.size() && changes[w.nextChange].tick <= w.nextTick)
            riseHeld = changes[w.nextChange++].held;
        tickClock(times[w.nextTick++]);
        advanceWorld();
        ran = true;
    }
    return ran;
}

} // namespace

void setWatchReplay(const Replay& replay) {
    w.replay = replay;
    w.pending = true;
}

bool watchPending() {
    return w.pending;
}

bool watching() {
    return w.active;
}

void beginWatch() {
    w.pending = false;
    const GameStart& s = w.replay.start;
    if (layoutWidth != s.layoutWidth || layoutHeight != s.layoutHeight) {
        std::fprintf(stderr,
                     "reefdart: the replay was played on a %d x %d screen; this one is %d x %d\n",
                     static_cast<int>(s.layoutWidth), static_cast<int>(s.layoutHeight),
                     static_cast<int>(layoutWidth), static_cast<int>(layoutHeight));
        PostQuitMessage(1);
        return;
    }
    w.active = true;
    w.ownBest = bestScore;
    appMode = MODE_GAME;
    playModeMusic(false);
    beginSimulation(w.replay.start);
    menuPhase = s.textPhase;
    gameKind = GAME_KIND_STARTED;
}

void watchTick(uint32_t now) {
    if (!w.clockTaken) w.lastNow = now;
    w.clockTaken = true;
    uint32_t step = now - w.lastNow;
    w.lastNow = now;
    if (w.paused) return;
    w.elapsed += step;
    if (catchUp()) drawGameFrame();
}

void endWatch() {
    if (!w.active) return;
    w.active = false;
    bestScore = w.ownBest;
}

bool watchInput(HWND, UINT message, WPARAM wParam) {
    if (!w.active) return false;
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            endWatch();
            quitProgram();
        } else if (wParam == VK_SPACE) {
            w.paused = !w.paused;
        }
        return true;
    case WM_LBUTTONDOWN:
        w.paused = !w.paused;
        return true;
    case WM_KEYUP:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        return true;
    default:
        return false;
    }
}
