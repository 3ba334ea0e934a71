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

void tickClock(uint32_t now) {
    if (lastTickTime == 0) lastTickTime = now;
    uint32_t delta = now - lastTickTime;
    lastTickTime = now;
    msSinceSecond = now - secondMark;
    uint32_t capped = delta < FRAME_DT_CAP_MS ? delta : FRAME_DT_CAP_MS;
    frameDt = static_cast<float>(capped * 0.001);
    if (msSinceSecond <= 1000) return;
    if (++gameSeconds == 60) {
        gameSeconds = 0;
        ++gameMinutes;
    }
    secondMark = now;
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
