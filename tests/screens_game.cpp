// The game screen's texts with no pictures loaded: the scores, the record in
// sight and the blinking "New Record!". (The layers and their places are
// pinned frame by frame by tests/golden_runs.cpp.)
#include "game/game_screen.h"
#include "game/world.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "shell/state.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class GameScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        useScreenLayout("qvga", 240, 320, 120, 0);
        appMode = MODE_FRONTEND;
        newGame();
        gameSeconds = 0;
        gameMinutes = 0;
        msSinceSecond = 0;
        bestScore = 0;
    }
    // Whether any pixel of the rectangle is (nearly) white, as the inside of
    // a white glyph is.
    static bool anyWhite(int x0, int y0, int w, int h) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                uint16_t p = backPixel(x, y);
                if ((p >> 11) >= 28 && ((p >> 5) & 63) >= 56 && (p & 31) >= 28) return true;
            }
        return false;
    }
    static std::vector<uint16_t> region(int x0, int y0, int w, int h) {
        std::vector<uint16_t> out;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) out.push_back(backPixel(x, y));
        return out;
    }
};

TEST_F(GameScreen, GameOverShowsTheOldBestFirstAndTheNewOneNext) {
    // No pictures: only the texts reach the screen.
    fishEnergy = 0;
    world.columnCount = 10; // final score 70
    bestScore = 50;
    msSinceSecond = 100;
    fillBackBuffer(0);
    drawNumber(152, 80, 50, ALIGN_LEFT, 6, 255, 255, 255);
    std::vector<uint16_t> old = region(152, 80, 88, 24);
    fillBackBuffer(0);
    drawNumber(152, 80, 70, ALIGN_LEFT, 6, 255, 255, 255);
    std::vector<uint16_t> best = region(152, 80, 88, 24);

    settleBestScore();
    EXPECT_EQ(70, bestScore);
    drawGameFrame();
    EXPECT_EQ(old, region(152, 80, 88, 24));
    EXPECT_TRUE(anyWhite(40, 184, 160, 16)); // "New Record!"
    EXPECT_TRUE(anyWhite(0, 237, 240, 16));  // the line under the code
    EXPECT_FALSE(anyWhite(0, 0, 240, 70));   // no live score any more
    settleBestScore();
    drawGameFrame();
    EXPECT_EQ(best, region(152, 80, 88, 24));
}

TEST_F(GameScreen, NewRecordBlinksAndATieCountsAsARecord) {
    fishEnergy = 0;
    world.columnCount = 10;
    bestScore = 70;
    msSinceSecond = 249;
    drawGameFrame();
    EXPECT_TRUE(anyWhite(40, 184, 160, 16));
    msSinceSecond = 250;
    drawGameFrame();
    EXPECT_FALSE(anyWhite(40, 184, 160, 16));
    msSinceSecond = 1600; // 1600 mod 500 = 100
    drawGameFrame();
    EXPECT_TRUE(anyWhite(40, 184, 160, 16));
    bestScore = 71;
    drawGameFrame();
    EXPECT_FALSE(anyWhite(40, 184, 160, 16));
}

TEST_F(GameScreen, InFlightTheLiveScoreAndTheRecordInSight) {
    gameSeconds = 5;
    world.columnCount = 10; // live score 70
    bestScore = 60;
    msSinceSecond = 100;
    drawGameFrame();
    EXPECT_TRUE(anyWhite(3, 3, 80, 24));
    EXPECT_TRUE(anyWhite(120, 3, 117, 24));
    EXPECT_FALSE(anyWhite(0, 60, 240, 260)); // no phase text
    bestScore = 10;                          // too small a record to announce
    drawGameFrame();
    EXPECT_FALSE(anyWhite(120, 3, 117, 24));
}

} // namespace
