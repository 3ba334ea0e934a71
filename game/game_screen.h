// The game screen.
#pragma once

void drawGameFrame();
void drawWorld();

// The score site the game-over screen names under the score code (its
// address as a player types it); empty when the game has none, and the line
// then names the program's own check, --check-code.
constexpr int SCORE_SITE_CAPACITY = 48;
extern char scoreSite[SCORE_SITE_CAPACITY];
