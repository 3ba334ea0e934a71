// Which music plays after each screen change and game start, and whether it
// started again from its beginning.
#include "platform/headless/host.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/mod_builder.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

namespace {

class Music : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestHost();
        registerTestSounds();
        appMode = MODE_FRONTEND;
        openSound();
    }
    // Lets the music play for a while, so that a restart shows.
    void play() { headlessAdvance(700); }
    bool playing(const std::vector<uint8_t>& module) {
        return speaker.playingMusic() == &music && music.source() == module.data();
    }
};

TEST_F(Music, ScreenChangesAndGameStartsFollowTheMusicRules) {
    enterScreen(SCREEN_TITLE, 0); // the first entry starts the front-end music
    EXPECT_TRUE(playing(testMenuModule()));
    play();
    double before = music.position();
    EXPECT_GT(before, 0.5);
    enterScreen(SCREEN_SETTINGS, 0); // front end to front end: left alone
    enterScreen(SCREEN_ABOUT, CURSOR_NONE);
    EXPECT_TRUE(playing(testMenuModule()));
    EXPECT_GE(music.position(), before);

    startGame(); // from the front end: the game music from its beginning
    EXPECT_EQ(appMode, MODE_GAME);
    EXPECT_EQ(gameKind, 2);
    EXPECT_TRUE(playing(testGameModule()));
    EXPECT_LT(music.position(), 0.05);
    play();
    before = music.position();
    startGame(); // a restart inside a game leaves it playing
    EXPECT_TRUE(playing(testGameModule()));
    EXPECT_GE(music.position(), before);

    playClick();
    EXPECT_EQ(speaker.playingSounds(), 1);
    enterScreen(menuScreen, menuCursor); // leaving the game: effects stop, menu music restarts
    EXPECT_EQ(speaker.playingSounds(), 0);
    EXPECT_EQ(appMode, MODE_FRONTEND);
    EXPECT_EQ(menuScreen, SCREEN_ABOUT);
    EXPECT_TRUE(playing(testMenuModule()));
    EXPECT_LT(music.position(), 0.05);
}

TEST_F(Music, ScreenChangeLowersTheFifthCareerValue) {
    career.career4 = 3;
    career.career5 = 7;
    enterScreen(SCREEN_TITLE, 0);
    EXPECT_EQ(career.career5, 3);
    career.career5 = 2;
    enterScreen(SCREEN_TITLE, 0);
    EXPECT_EQ(career.career5, 2);
}

} // namespace
