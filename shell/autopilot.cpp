#include "shell/autopilot.h"

#include "game/world.h"
#include "shell/state.h"

#include <algorithm>

bool autopilotOn = false;

namespace {

// How far ahead the pilot looks for obstacles and averages the opening, in
// screen columns.
constexpr int OBSTACLE_LOOK_AHEAD = 9;
constexpr int OPENING_FROM = 2, OPENING_TO = 4;
// The pilot keeps 12 pixels clear of the obstacle box above and 10 below,
// and forgets an obstacle once its left edge is within a pixel of leaving it.
constexpr double PASS_ABOVE_PX = OBSTACLE_HIT_ABOVE + 12;
constexpr double PASS_BELOW_PX = OBSTACLE_HIT_BELOW + 10;
constexpr double PASSED_X = static_cast<int>(OBSTACLE_HIT_LEFT);
constexpr double WALL_MARGIN = 0.15;
constexpr uint32_t RESTART_PAUSE_MS = 1500;

bool holding = false;
uint32_t deadSince = 0;

double centreAt(int column) {
    return world.caveCenter[column % RING_SIZE];
}

// The middle of the wider gap beside an obstacle at height v in a column whose
// opening is centred at m.
double besideObstacle(double v, double m) {
    const double H = layoutHeight;
    double top = m + WALL_MARGIN, bottom = m - WALL_MARGIN;
    double above = v + PASS_ABOVE_PX / H, below = v - PASS_BELOW_PX / H;
    double roomAbove = top - above, roomBelow = below - bottom;
    if (roomAbove >= roomBelow) return above + (roomAbove > 0 ? roomAbove / 2 : 0);
    return below - (roomBelow > 0 ? roomBelow / 2 : 0);
}

// The band open in all of the screen columns from first to last.
void openBand(int first, int last, double* low, double* high) {
    *low = -1;
    *high = 1;
    for (int i = first; i <= last; ++i) {
        double m = centreAt(world.columnCount + i);
        *low = std::max(*low, m - WALL_MARGIN);
        *high = std::min(*high, m + WALL_MARGIN);
    }
}

// The height to fly at: beside the next obstacle not yet passed, or else the
// middle of the band open over the next few columns.
double targetHeight() {
    double low, high;
    openBand(OPENING_FROM, OPENING_TO, &low, &high);
    double target = low < high ? (low + high) / 2 : centreAt(world.columnCount + OPENING_FROM + 1);
    for (int i = 1; i <= OBSTACLE_LOOK_AHEAD; ++i) {
        int c = world.columnCount + i;
        float v = world.obstacleY[c % RING_SIZE];
        double x = COLUMN_WIDTH * (i - static_cast<double>(world.scrollFraction));
        if (v == OBSTACLE_NONE || x <= PASSED_X) continue;
        target = besideObstacle(v, centreAt(c));
        break;
    }
    openBand(2, 3, &low, &high);
    if (low < high) target = std::clamp(target, low, high);
    return target;
}

void post(HWND window, UINT message, WPARAM key) {
    PostMessageW(window, message, key, 0);
}

void steerMenus(HWND window) {
    holding = false;
    if (menuScreen == SCREEN_TITLE && menuCursor == 0) {
        post(window, WM_KEYDOWN, gxStart);
        post(window, WM_KEYUP, gxStart);
    } else if (menuScreen == SCREEN_TITLE) {
        post(window, WM_KEYDOWN, gxUp);
        post(window, WM_KEYUP, gxUp);
    } else {
        // Settings or About: the left button steps back towards the title.
        WPARAM key = menuScreen == SCREEN_SETTINGS && menuCursor != 3 ? gxDown : gxStart;
        if (menuScreen == SCREEN_ABOUT) key = gxLeft;
        post(window, WM_KEYDOWN, key);
        post(window, WM_KEYUP, key);
    }
}

} // namespace

// Bang-bang control on the fastest-stop curve: rise while the fish, braking
// from now on, would still come to rest below the target.
bool pilotWantsRise() {
    double height = world.fishTrail[TRAIL_LENGTH - 1];
    double v = world.fishVelocity;
    double braking = world.scrollSpeed * 0.15;
    if (braking <= 0) return false;
    double rest = height + v * (v < 0 ? -v : v) / (2 * braking);
    return rest < targetHeight();
}

void autopilotTick(HWND window) {
    if (!autopilotOn || keyCaptureActive == 1) return;
    if (appMode == MODE_FRONTEND) {
        steerMenus(window);
        return;
    }
    if (fishEnergy == 0) {
        if (holding) post(window, WM_KEYUP, gxUp);
        holding = false;
        if (deadSince == 0) deadSince = GetTickCount() | 1;
        if (GetTickCount() - deadSince >= RESTART_PAUSE_MS) {
            // Any key but the game's own leaves the game-over screen.
            post(window, WM_KEYDOWN, gxStart);
            post(window, WM_KEYUP, gxStart);
            deadSince = 0;
        }
        return;
    }
    deadSince = 0;
    bool rise = pilotWantsRise();
    if (rise != holding) post(window, rise ? WM_KEYDOWN : WM_KEYUP, gxUp);
    holding = rise;
}

std::vector<RiseChange> pilotRiseChanges(const GameStart& start,
                                         const std::vector<uint32_t>& tickTimes) {
    std::vector<RiseChange> changes;
    beginSimulation(start);
    for (uint32_t t = 0; t < tickTimes.size(); ++t) {
        int32_t want = fishEnergy > 0 && pilotWantsRise() ? 1 : 0;
        if (want != riseHeld) changes.push_back(RiseChange{t, want});
        riseHeld = want;
        simulateTick(tickTimes[t]);
    }
    return changes;
}
