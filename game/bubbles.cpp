// Bubbles rising through the opening, and the obstacle test.
#include "game/world.h"

#include "platform/wince/runtime.h"
#include "shell/state.h"

void newBubble(int i, bool replacing) {
    GameWorld& w = world;
    w.bubbleLag[i] = crtRand() % 11;
    w.bubbleJitter[i] = static_cast<float>((crtRand() % 500) * 0.002);
    if (replacing) {
        w.bubbleRise[i] = 0.0f;
        w.bubbleSize[i] = crtRand() % 5;
        // The largest bubble is drawn again half the time, so it comes less often.
        if (w.bubbleSize[i] == 0 && crtRand() % 2 == 0) w.bubbleSize[i] = crtRand() % 5;
    } else {
        w.bubbleRise[i] = static_cast<float>((crtRand() % 500) * 0.002);
        w.bubbleSize[i] = crtRand() % 5;
    }
    w.bubbleSpeed[i] = static_cast<float>((crtRand() % 300 + 200) * 0.00025);
}

void moveBubbles() {
    for (int i = 0; i < BUBBLE_COUNT; ++i) {
        world.bubbleRise[i] = world.bubbleRise[i] + world.bubbleSpeed[i] * frameDt;
        if (world.bubbleRise[i] >= 1.0f) newBubble(i, true);
    }
}

BubblePos bubbleScreenPos(int i) {
    const GameWorld& w = world;
    const int cw = COLUMN_WIDTH, H = layoutHeight;
    int d = (w.columnCount - w.bubbleLag[i] + 10) % 11;
    int a = w.columnCount + 10 - d;
    double x =
        (10 - d) * cw - cw * static_cast<double>(w.scrollFraction) + w.bubbleJitter[i] * 18.0 - 3.0;
    double m = w.caveCenter[a % RING_SIZE];
    double top = H / 2 - (m + w.caveHalfHeight) * H - cw / 2;
    double y = top + (1 - static_cast<double>(w.bubbleRise[i])) * (2 * w.caveHalfHeight * H + cw);
    return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

int visibleColumns() {
    int count = 0;
    for (float x = -static_cast<float>(COLUMN_WIDTH) * world.scrollFraction; x < layoutWidth;
         x += COLUMN_WIDTH)
        ++count;
    return count;
}

void obstacleHits(int i) {
    const GameWorld& w = world;
    const int H = layoutHeight;
    float v = w.obstacleY[(w.columnCount + i) % RING_SIZE];
    if (v == OBSTACLE_NONE) return;
    float xo = i * COLUMN_WIDTH - COLUMN_WIDTH * w.scrollFraction;
    float yf = H / 2 - w.fishTrail[TRAIL_LENGTH - 1] * H - COLUMN_WIDTH / 2;
    float yo = H / 2 - v * H - COLUMN_WIDTH;
    // The fish's height above the obstacle's, in pixels; every step is exact
    // in double precision.
    double above = static_cast<double>(yo) - yf + (COLUMN_WIDTH - COLUMN_WIDTH / 2);
    bool hit = xo > OBSTACLE_HIT_LEFT && xo < OBSTACLE_HIT_RIGHT && above > -OBSTACLE_HIT_BELOW &&
               above < OBSTACLE_HIT_ABOVE;
    // Kept on purpose: fidelity K17.
    if (hit) fishEnergy = fishEnergy - HIT_COST > 0 ? fishEnergy - HIT_COST : 0;
}

void testObstacles() {
    for (int i = 0, n = visibleColumns(); i < n; ++i) obstacleHits(i);
}
