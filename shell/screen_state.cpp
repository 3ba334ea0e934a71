// The screen state machine and the timer tick.
#include "frontend/frontend.h"
#include "game/game.h"
#include "game/recorder.h"
#include "gfx/text.h"
#include "persist/settings.h"
#include "platform/wince/winapi.h"
#include "shell/replays.h"
#include "shell/state.h"
#include "shell/watch.h"
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
    recordGameStart();
    newGame();
    appMode = MODE_GAME;
    gameKind = GAME_KIND_STARTED;
}

void tick() {
    if (keyCaptureActive == 1) {
        drawKeyConfigScreen();
        return;
    }
    uint32_t now = GetTickCount();
    if (watching()) {
        watchTick(now);
        return;
    }
    tickClock(now);
    // Kept on purpose: fidelity K19.
    if (appMode == MODE_FRONTEND) {
        menuPhase = static_cast<float>(static_cast<double>(menuPhase) + 2.0 * frameDt);
        while (menuPhase > MENU_PHASE_WRAP)
            menuPhase = static_cast<float>(menuPhase - MENU_PHASE_WRAP);
        drawFrontEnd();
    } else if (gameKind == GAME_KIND_STARTED) {
        recordTick(now);
        gameStep();
        std::vector<uint8_t> replay;
        int32_t score;
        if (recordTickDone(&replay, &score)) keepReplay(replay, score);
    }
}
