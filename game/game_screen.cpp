// The game screen. Until the graphics library is in, the world pass runs only
// what changes the world, in the order and at the places the layers are drawn.
#include "game/game_screen.h"

#include "game/world.h"
#include "gfx/gapi_buffer.h"
#include "shell/state.h"

void drawWorld() {
    // Water band and bubbles come first; then the obstacles, each tested
    // against the fish right after it is drawn.
    float x = -COLUMN_WIDTH * world.scrollFraction;
    for (int i = 0; x < layoutWidth; ++i, x += COLUMN_WIDTH) obstacleHits(i);
    // Rock, edge tiles and the fish follow; then the heads-up display, whose
    // game-over block raises the best score after drawing the old one.
    if (fishEnergy == 0) updateBestScore();
}

void drawGameFrame() {
    copyBuffer(&backBuffer, &blankBuffer);
    drawWorld();
    presentFrame();
}
