// A new game, and one step of it.
#include "game/world.h"

#include "game/game_screen.h"
#include "platform/wince/runtime.h"
#include "shell/state.h"
#include "sound/sound.h"

GameWorld world = {};
int32_t fishEnergy = START_ENERGY;
int32_t shownBestScore = 0;

bool gettingReady() {
    return gameSeconds <= 0 && gameMinutes <= 0;
}

void newGame() {
    if (appMode == MODE_FRONTEND) {
        appMode = MODE_GAME;
        playModeMusic(false);
    }
    resetWorld();
}

// Kept on purpose: fidelity K2.
void resetWorld() {
    appMode = MODE_GAME;
    for (int i = 0; i < BUBBLE_COUNT; ++i) newBubble(i, false);
    GameWorld& w = world;
    w.caveHalfHeight = CAVE_HALF_HEIGHT;
    // Kept on purpose: fidelity K29.
    for (int k = 0; k < 30; ++k) {
        if (k < RING_SIZE) {
            w.floorEdge[k] = w.floorEdgeNow;
            w.ceilingEdge[k] = w.ceilingEdgeNow;
            w.caveCenter[k] = 0.0f;
            w.obstacleY[k] = OBSTACLE_NONE;
        }
        advanceEdgeRun(&w.floorEdgeNow, &w.floorEdgeRun);
        advanceEdgeRun(&w.ceilingEdgeNow, &w.ceilingEdgeRun);
        if (k < TRAIL_LENGTH) w.fishTrail[k] = 0.0f;
    }
    secondMark = 0;
    w.scrollSpeed = START_SPEED;
    w.scrollFraction = w.trailAccumulator = 0.0f;
    w.columnCount = 0;
    w.walkCenter = w.fishVelocity = 0.0f;
    fishEnergy = START_ENERGY;
    lastTickTime = 0;
    gameSeconds = -1;
    msSinceSecond = 0;
    gameMinutes = 0;
}

void advanceWorld() {
    GameWorld& w = world;
    float dt = frameDt;
    moveBubbles();
    float step = w.scrollSpeed * dt;
    w.scrollFraction += step;
    w.trailAccumulator = static_cast<float>(w.trailAccumulator + static_cast<double>(step) * 6.0);
    w.scrollSpeed = static_cast<float>(w.scrollSpeed * (1.0 + dt * 0.0025));
    if (fishEnergy == 0) {
        w.scrollSpeed = 0.0f;
        w.fishVelocity = static_cast<float>(w.fishVelocity - dt * 0.3);
    }
    while (static_cast<double>(w.scrollFraction) > 1.0) layColumn();
    while (w.trailAccumulator > 1.0f) shiftTrail();
    if (!gettingReady()) applyControl();
    moveFish();
    wallContact();
    testObstacles();
    settleBestScore();
}

void gameStep() {
    advanceWorld();
    drawGameFrame();
}
