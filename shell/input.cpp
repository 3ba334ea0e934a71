// Key and stylus input: the rise control, the menu cursor and actions, key
// capture, and stylus taps that the front end resolves into select presses.
#include "shell/input.h"

#include "game/game.h"
#include "persist/settings.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "sound/sound.h"

namespace {

// Set while the pre-step's synthesised press is being handled.
bool synthesisedPress = false;

bool ignoredCode(WPARAM k) {
    return k == 16 || k == 91 || k == 132;
}

// Key codes compare as 16-bit values sign-extended to 32 bits.
bool is(WPARAM k, int16_t code) {
    return static_cast<int32_t>(k) == static_cast<int32_t>(code);
}

void captureKey(WPARAM k) {
    int16_t* slots[6] = {&keyUp, &keyDown, &keyRestart, &keyExit, &keyLeft, &keyRight};
    for (int16_t* slot : slots)
        if (is(k, *slot)) return; // a key cannot take two roles
    if (keyCaptureIndex < 0 || keyCaptureIndex > 3) return;
    *slots[keyCaptureIndex] = static_cast<int16_t>(k);
    if (++keyCaptureIndex == 4) keyCaptureActive = 0;
}

void cursorStep(int step) {
    playClick();
    menuCursor += step;
    if (menuCursor < 0) menuCursor = 3;
    if (menuCursor > 3) menuCursor = 0;
    menuPhase = 0.0f;
    // Kept on purpose: fidelity K28.
    if (menuScreen == SCREEN_ABOUT) menuCursor = 3;
}

void back() {
    playClick();
    if (menuScreen == SCREEN_ABOUT)
        enterScreen(SCREEN_TITLE, 0);
    else if (menuScreen == SCREEN_SETTINGS && menuCursor == 0)
        stepVolume(-1);
}

void frontEndKey(WPARAM k) {
    if (is(k, gxStart) || is(k, keyRight) || is(k, gxRight) || is(k, gxA) || is(k, gxC) ||
        is(k, gxB))
        selectItem();
    else if (menuCursor == CURSOR_NONE && is(k, gxLeft))
        selectItem();
    else if (is(k, keyRestart) || synthSelect == 1)
        selectItem();
    else if (is(k, keyUp) || is(k, gxUp))
        cursorStep(-1);
    else if (is(k, keyDown) || is(k, gxDown))
        cursorStep(+1);
    else if (is(k, keyLeft) || is(k, gxLeft))
        back();
}

void leaveGame() {
    enterScreen(menuScreen, menuCursor);
}

void gameKey(WPARAM k) {
    if (is(k, keyExit)) leaveGame();
    // Kept on purpose: fidelity K26.
    else if (is(k, keyLeft) || is(k, gxLeft) || is(k, keyRight) || is(k, gxRight))
        return;
    else if (is(k, keyRestart))
        startGame();
    else if (is(k, keyUp) || is(k, gxUp))
        riseHeld = 1;
    else if (is(k, keyDown) || is(k, gxDown))
        return;
    else if (is(k, gxA) || is(k, gxB))
        leaveGame();
    // Kept on purpose: fidelity K27.
    else if (fishEnergy == 0)
        enterScreen(SCREEN_TITLE, 0);
}

void startKeyCapture() {
    // Kept on purpose: fidelity K25.
    keyUp = keyDown = keyRestart = keyExit = keyLeft = keyRight = KEY_UNASSIGNED;
    keyCaptureActive = 1;
    keyCaptureIndex = 0;
}

void selectTitleItem() {
    switch (menuCursor) {
    case 0:
        startGame();
        break;
    case 1:
        enterScreen(SCREEN_SETTINGS, 0);
        break;
    case 2:
        enterScreen(SCREEN_ABOUT, CURSOR_NONE);
        break;
    case 3:
        quitProgram();
        break;
    default:
        break;
    }
}

void selectSettingsItem() {
    switch (menuCursor) {
    case 0:
        stepVolume(+1);
        break;
    case 1:
        language = 1 - language;
        break;
    case 2:
        startKeyCapture();
        break;
    case 3:
        enterScreen(SCREEN_TITLE, 0);
        break;
    default:
        break;
    }
}

} // namespace

void inputPreStep(UINT* message, WPARAM* wParam, LPARAM* lParam) {
    synthesisedPress = false;
    // Kept on purpose: fidelity K3.
    if (synthSelect == 1) {
        *message = WM_KEYDOWN;
        *wParam = static_cast<WPARAM>(static_cast<int32_t>(appMode == MODE_GAME ? gxA : gxStart));
        *lParam = 0;
        synthesisedPress = true;
    }
    // Kept on purpose: fidelity K4.
    if (tapX != 0 && tapPending == 0) {
        tapX = 0;
        *message = WM_KEYDOWN;
        *wParam = static_cast<WPARAM>(static_cast<int32_t>(gxA));
        *lParam = 0;
        synthesisedPress = true;
    }
}

void onKeyDown(WPARAM k) {
    // A press the pre-step made always goes through, even when the device
    // happens to give Start or A one of the codes ignored below; otherwise
    // synthSelect would stay set and every later message would become a press.
    // Mended: fidelity M11.
    if (ignoredCode(k) && !synthesisedPress) return;
    if (keyCaptureActive == 1) {
        captureKey(k);
        return;
    }
    if (appMode == MODE_FRONTEND)
        frontEndKey(k);
    else
        gameKey(k);
}

void onKeyUp(WPARAM k) {
    if (keyCaptureActive == 1 || ignoredCode(k)) return;
    if (is(k, keyLeft) || is(k, gxLeft) || is(k, keyRight) || is(k, gxRight)) return;
    if (is(k, keyUp) || is(k, gxUp)) riseHeld = 0;
}

void onStylusDown() {
    if (appMode == MODE_GAME && fishEnergy > 0) riseHeld = 1;
    tapX = tapY = 0;
}

void onStylusMove() {
    tapX = tapY = 0;
}

void onStylusUp(LPARAM position) {
    tapPending = 1;
    // Kept on purpose: fidelity K5.
    tapX = LOWORD(position);
    tapY = HIWORD(position);
    if (menuScreen == SCREEN_ABOUT) {
        enterScreen(SCREEN_TITLE, 0);
        tapX = tapY = 0;
    }
    if (appMode == MODE_GAME && gameKind == GAME_KIND_STARTED) {
        tapX = tapY = 0;
        if (fishEnergy > 0) riseHeld = 0;
        // Kept on purpose: fidelity K6.
        if (fishEnergy == 0) appMode = MODE_FRONTEND;
    }
}

void selectItem() {
    synthSelect = 0;
    tapX = tapY = 0;
    if (menuScreen == SCREEN_TITLE)
        selectTitleItem();
    else if (menuScreen == SCREEN_ABOUT)
        enterScreen(SCREEN_TITLE, 0);
    else if (menuScreen == SCREEN_SETTINGS)
        selectSettingsItem();
}
