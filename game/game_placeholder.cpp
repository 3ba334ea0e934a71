// Placeholder until the game lands; replaced by the game's own sources. Only
// the music rule of a new game is here, so the shell's game start behaves.
#include "game/game.h"
#include "shell/state.h"
#include "sound/sound.h"
int32_t fishEnergy = 5;
int32_t bestScore = 0;
void newGame() {
    if (appMode == MODE_FRONTEND) {
        appMode = MODE_GAME;
        playModeMusic();
    }
    appMode = MODE_GAME;
}
void gameStep() {}
