// The game as the shell sees it.
#pragma once

#include "persist/settings.h"

#include <cstdint>

// Points for each cave column flown.
constexpr int32_t SCORE_PER_COLUMN = 7;

void newGame();
void gameStep();
// Read by the input handlers: 0 once the fish has no energy left.
extern int32_t fishEnergy;
