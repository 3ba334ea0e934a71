// The game as the shell sees it.
#pragma once

#include <cstdint>

void newGame();
void gameStep();
// Read by the input handlers: 0 once the fish has no energy left.
extern int32_t fishEnergy;
extern int32_t bestScore;
