// The state of one game. Only one game exists at a time, so the world is one
// program-lifetime record; fishEnergy and bestScore, which the input handlers
// and the settings files read, are globals of their own (game/game.h).
#pragma once

#include "game/game.h"

#include <cstdint>

constexpr int RING_SIZE = 12;
constexpr int TRAIL_LENGTH = 16;
constexpr int BUBBLE_COUNT = 12;
constexpr int COLUMN_WIDTH = 24;
constexpr float OBSTACLE_NONE = -10.0f;
constexpr float CAVE_HALF_HEIGHT = 0.25f;
constexpr float START_SPEED = 6.0f;
constexpr int32_t START_ENERGY = 5;
constexpr int32_t HIT_COST = 10;
constexpr int32_t HIT_COOLDOWN_COLUMNS = 6;

struct GameWorld {
    int32_t columnCount;
    float scrollFraction;
    float scrollSpeed;
    float caveHalfHeight;
    float caveCenter[RING_SIZE];
    int32_t floorEdge[RING_SIZE];
    int32_t ceilingEdge[RING_SIZE];
    float obstacleY[RING_SIZE];
    float walkCenter;
    int32_t floorEdgeNow, floorEdgeRun;
    int32_t ceilingEdgeNow, ceilingEdgeRun;
    float fishTrail[TRAIL_LENGTH];
    float trailAccumulator;
    float fishVelocity;
    int32_t hitCooldown;
    int32_t bubbleLag[BUBBLE_COUNT];
    float bubbleJitter[BUBBLE_COUNT];
    float bubbleRise[BUBBLE_COUNT];
    int32_t bubbleSize[BUBBLE_COUNT];
    float bubbleSpeed[BUBBLE_COUNT];
};

extern GameWorld world;

// newGame's work on the world and the clock, without the music.
void resetWorld();
// One step of the game's rules: gameStep without the drawing.
void advanceWorld();

// The get-ready phase: the first second of a game.
bool gettingReady();

// Cave (game/cave.cpp).
void advanceEdgeRun(int32_t* now, int32_t* run);
void layColumn();

// Fish (game/fish.cpp).
void shiftTrail();
void applyControl();
void moveFish();
void wallContact();

// Bubbles, obstacles and score (game/bubbles.cpp, game/score.cpp).
void newBubble(int i, bool replacing);
void moveBubbles();
struct BubblePos {
    int32_t x, y;
};
BubblePos bubbleScreenPos(int i);
// The obstacle test's box. An obstacle hits when its left edge lies strictly
// between OBSTACLE_HIT_LEFT and OBSTACLE_HIT_RIGHT on screen and the fish's
// height, less the obstacle's, lies strictly between -OBSTACLE_HIT_BELOW and
// OBSTACLE_HIT_ABOVE pixels (both measured as the sprites are drawn: the fish
// by its centre line, the obstacle one column above its own).
constexpr double OBSTACLE_HIT_LEFT = 2.49 * COLUMN_WIDTH - COLUMN_WIDTH - 14.0; // 21.76
constexpr double OBSTACLE_HIT_RIGHT = 2.49 * COLUMN_WIDTH - 8.0;                // 51.76
constexpr double OBSTACLE_HIT_BELOW = 7.0;
constexpr double OBSTACLE_HIT_ABOVE = 33.0;
// The number of screen columns a frame shows, the one partly scrolled out on
// the left included: the drawing and the obstacle test walk the same ones.
int visibleColumns();
// The obstacle test for screen column i (left edge x_o).
void obstacleHits(int i);
// The obstacle test for every screen column, left to right.
void testObstacles();
int32_t liveScore();
int32_t finalScore();
// Once the fish has no energy: raises bestScore to the final score.
void updateBestScore();
// The best score as the game-over screen shows it: its value before the
// step that drew the frame raised it.
extern int32_t shownBestScore;
// The end of each step: keeps the best score to show, then raises it once
// the fish has no energy.
void settleBestScore();
bool recordInSight();
