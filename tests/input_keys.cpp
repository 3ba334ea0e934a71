// Keys and the stylus: both key tables, key capture, the stylus rules and the
// pre-step that turns a resolved tap into a select press.
#include "game/game.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "shell/input.h"
#include "platform/headless/host.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/mod_builder.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int16_t K_UP = 'W', K_DOWN = 'S', K_RESTART = 'R', K_EXIT = 'Q';

class Input : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestHost();
        registerTestSounds();
        openSound();
        gxUp = 0x26, gxDown = 0x28, gxLeft = 0x25, gxRight = 0x27;
        gxStart = 0x0D, gxA = 0xC1, gxB = 0xC2, gxC = 0xC3;
        keyUp = K_UP, keyDown = K_DOWN, keyRestart = K_RESTART, keyExit = K_EXIT;
        keyLeft = keyRight = KEY_UNASSIGNED;
        keyCaptureActive = tapX = tapY = tapPending = synthSelect = riseHeld = gameKind = 0;
        keyCaptureIndex = 4;
        language = LANG_ENGLISH;
        appMode = MODE_FRONTEND;
        enterScreen(SCREEN_TITLE, 0);
    }
    void down(WPARAM k) { WndProc(nullptr, WM_KEYDOWN, k, 0); }
    void up(WPARAM k) { WndProc(nullptr, WM_KEYUP, k, 0); }
    void inGame() {
        startGame();
        ASSERT_EQ(appMode, MODE_GAME);
    }
    static std::vector<int> where() { return {appMode, menuScreen, menuCursor}; }
    static std::vector<int> menu(int screen, int cursor) { return {MODE_FRONTEND, screen, cursor}; }
};

TEST_F(Input, FrontEndCursorWrapsAndClicks) {
    down(gxUp);
    EXPECT_EQ(menuCursor, 3);
    EXPECT_EQ(speaker.playingSounds(), 1);
    down(K_DOWN);
    EXPECT_EQ(menuCursor, 0);
    menuPhase = 2.0f;
    down(gxDown);
    EXPECT_EQ(menuCursor, 1);
    EXPECT_EQ(menuPhase, 0.0f);
    down('P'); // anything else: nothing
    EXPECT_EQ(menuCursor, 1);
    // Back on the title only clicks: no screen, cursor, volume or mode changes.
    int clicks = speaker.playingSounds();
    std::vector<int> volumes = {speaker.volumeSounds(), speaker.volumeMusics()};
    down(gxLeft);
    EXPECT_EQ(speaker.playingSounds(), clicks + 1);
    EXPECT_EQ(where(), menu(SCREEN_TITLE, 1));
    EXPECT_EQ((std::vector<int>{speaker.volumeSounds(), speaker.volumeMusics()}), volumes);
}

TEST_F(Input, SelectKeysRunTheHighlightedItemAndKeyCaptureTakesFourDifferentKeys) {
    down(gxDown);
    down(gxC); // Settings
    EXPECT_EQ(where(), menu(SCREEN_SETTINGS, 0));
    speaker.volumeSounds(20);
    speaker.volumeMusics(40);
    down(gxB); // item 0: volume up
    EXPECT_EQ(speaker.volumeSounds(), 22);
    EXPECT_EQ(speaker.volumeMusics(), 44);
    down(gxDown);
    down(K_RESTART); // item 1: language
    EXPECT_EQ(language, LANG_FRENCH);
    enterScreen(SCREEN_TITLE, 2); // About
    down(gxRight);
    EXPECT_EQ(where(), menu(SCREEN_ABOUT, CURSOR_NONE));
    down(gxDown); // the About cursor always lands on 3
    EXPECT_EQ(menuCursor, 3);
    down(gxUp);
    EXPECT_EQ(menuCursor, 3);
    down(gxA); // any select leaves About
    EXPECT_EQ(menuScreen, SCREEN_TITLE);
    enterScreen(SCREEN_ABOUT, CURSOR_NONE);
    down(gxLeft); // Left selects only without a cursor
    EXPECT_EQ(menuScreen, SCREEN_TITLE);
    // Settings item 2 captures four different keys.
    enterScreen(SCREEN_SETTINGS, 2);
    down(gxStart);
    EXPECT_EQ(keyUp, KEY_UNASSIGNED);
    down('A');
    down('A');                     // the same key twice fills one role
    down(16);                      // ignored
    EXPECT_EQ(keyCaptureIndex, 1); // from 0: SetUp left it at 4
    down(gxUp);                    // a device button can be captured
    down('B');
    up('B');
    down('C');
    EXPECT_EQ(keyCaptureActive, 0);
    EXPECT_EQ((std::vector<int>{keyUp, keyDown, keyRestart, keyExit, keyLeft, keyRight}),
              (std::vector<int>{'A', gxUp, 'B', 'C', KEY_UNASSIGNED, KEY_UNASSIGNED}));
    EXPECT_EQ(where(), menu(SCREEN_SETTINGS, 2));
}

TEST_F(Input, GameKeys) {
    inGame();
    down(gxStart); // alive: nothing
    fishEnergy = 0;
    for (WPARAM k : {16u, 91u, 132u}) down(k); // ignored codes
    EXPECT_EQ(appMode, MODE_GAME);
    down(gxStart); // dead: back to the title
    EXPECT_EQ(where(), menu(SCREEN_TITLE, 0));
    for (WPARAM leave : {WPARAM(K_EXIT), WPARAM(gxA), WPARAM(gxB)}) {
        enterScreen(SCREEN_SETTINGS, 2);
        inGame(); // alive again
        down(leave);
        EXPECT_EQ(where(), menu(SCREEN_SETTINGS, 2));
    }
    keyUp = gxLeft; // a captured Up that is also the device's Left is Left
    inGame();
    down(gxLeft);
    EXPECT_EQ(riseHeld, 0);
    riseHeld = 1;
    up(gxLeft);
    EXPECT_EQ(riseHeld, 1);
}

// A resolved tap becomes a select press in place of the next timer message
// (missed taps that select: desktop_input.cpp's one button).
TEST_F(Input, TapsBecomeSelectPresses) {
    gxStart = 91; // the synthesised press goes through even on an ignored code
    menuCursor = 1;
    synthSelect = 1; // the front end found the tap on Settings
    uint32_t lastTick = lastTickTime;
    WndProc(nullptr, WM_TIMER, 10, 0);
    EXPECT_EQ(lastTickTime, lastTick); // the tick did not run
    EXPECT_EQ(menuScreen, SCREEN_SETTINGS);
    EXPECT_EQ(synthSelect, 0);
    enterScreen(SCREEN_TITLE, 1);
    down(91); // a real press of that code is still ignored
    EXPECT_EQ(menuScreen, SCREEN_TITLE);
    enterScreen(SCREEN_TITLE, 0);
    onStylusUp(MAKELPARAM(0, 150));
    tapPending = 0; // the front end tested it and hit nothing
    WndProc(nullptr, WM_TIMER, 10, 0);
    EXPECT_EQ(where(), menu(SCREEN_TITLE, 0));
    enterScreen(SCREEN_ABOUT, CURSOR_NONE); // any tap leaves About
    onStylusUp(MAKELPARAM(120, 10));
    EXPECT_EQ(menuScreen, SCREEN_TITLE);
    EXPECT_EQ(tapX, 0);
}

TEST_F(Input, StylusInAGame) {
    inGame();
    onStylusDown();
    EXPECT_EQ(riseHeld, 1);
    onStylusMove();
    // Held at death: the release leaves riseHeld, and the next game starts with it.
    fishEnergy = 0;
    onStylusDown(); // a press while dead changes nothing
    onStylusUp(MAKELPARAM(100, 100));
    EXPECT_EQ(riseHeld, 1);
    EXPECT_EQ(tapX, 0);
    EXPECT_EQ(where(), menu(SCREEN_TITLE, 0)); // no screen change, the game music goes on
    EXPECT_EQ(music.source(), testGameModule().data());
    startGame();
    EXPECT_EQ(riseHeld, 1);
}

} // namespace
