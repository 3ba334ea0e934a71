// Placeholder until the game lands; replaced by the game's own sources.
#include "game/game.h"
int32_t fishEnergy = 5;
int32_t bestScore = 0;
void newGame() {}
void gameStep() {}
