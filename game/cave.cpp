// The cave: edge-style runs and the laying of new columns.
#include "game/world.h"

#include "platform/wince/runtime.h"

// Style 2 is the base: any other style is followed by 2, and a run of 2 by a
// style drawn from 0, 1, 2.
void advanceEdgeRun(int32_t* now, int32_t* run) {
    *run -= 1;
    if (*run > 0) return;
    *run = crtRand() % 4;
    *now = *now == 2 ? crtRand() % 3 : 2;
}

void layColumn() {
    GameWorld& w = world;
    w.scrollFraction = static_cast<float>(w.scrollFraction - 1.0);
    w.columnCount += 1;
    int s = (w.columnCount + 11) % RING_SIZE;
    w.caveCenter[s] = w.walkCenter;
    w.ceilingEdge[s] = w.ceilingEdgeNow;
    w.floorEdge[s] = w.floorEdgeNow;
    advanceEdgeRun(&w.floorEdgeNow, &w.floorEdgeRun);
    advanceEdgeRun(&w.ceilingEdgeNow, &w.ceilingEdgeRun);
    if (w.columnCount % 7 == 0) {
        int r = crtRand() % 100 - 50;
        w.obstacleY[s] = static_cast<float>(
            w.walkCenter + static_cast<float>(r) * static_cast<double>(w.caveHalfHeight) / 60);
    } else {
        w.obstacleY[s] = OBSTACLE_NONE;
    }
    int r = crtRand() % 100 - 50;
    float walk = static_cast<float>(w.walkCenter + static_cast<float>(r) *
                                                       static_cast<double>(w.caveHalfHeight) / 150);
    double limit = 0.48 - w.caveHalfHeight;
    if (walk > limit) walk = static_cast<float>(limit);
    if (walk < -limit) walk = static_cast<float>(-limit);
    w.walkCenter = walk;
    if (w.hitCooldown > 0) w.hitCooldown -= 1;
}
