// The screen state machine and the timer tick.
#include "frontend/frontend.h"
#include "game/game.h"
#include "gfx/text.h"
#include "persist/settings.h"
#include "platform/wince/winapi.h"
#include "shell/state.h"
#include "sound/sound.h"

namespace {
bool enteredBefore = false;
}

void enterScreen(int32_t screen, int32_t cursor) {
    loadFont();
    // Kept on purpose: fidelity K10.
    if (career.career5 > career.career4) career.career5 = career.career4;
    bool gameWasRunning = appMode == MODE_GAME;
    if (gameWasRunning) speaker.stopSounds();
    appMode = MODE_FRONTEND;
    menuScreen = screen;
    menuCursor = cursor;
    if (gameWasRunning || !enteredBefore) playModeMusic(true);
    enteredBefore = true;
}

// Kept on purpose: fidelity K7.
void startGame() {
    newGame();
    appMode = MODE_GAME;
    gameKind = GAME_KIND_STARTED;
}

void tick() {
    if (keyCaptureActive == 1) {
        drawKeyConfigScreen();
        return;
    }
    tickClock(GetTickCount());
    // Kept on purpose: fidelity K19.
    if (appMode == MODE_FRONTEND) {
        menuPhase = static_cast<float>(static_cast<double>(menuPhase) + 2.0 * frameDt);
        while (menuPhase > MENU_PHASE_WRAP)
            menuPhase = static_cast<float>(menuPhase - MENU_PHASE_WRAP);
        drawFrontEnd();
    } else if (gameKind == GAME_KIND_STARTED) {
        gameStep();
    }
}
