// The title, Settings and game screens drawn from plain test pictures (the
// rest is pinned frame by frame by the golden runs).
#include "frontend/frontend.h"
#include "game/game_screen.h"
#include "game/world.h"
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint16_t KEY = 0x8010;
constexpr uint16_t TITLE = 0xFFFF;                              // a white title picture
constexpr uint16_t SLICE[4] = {0x001F, 0x07E0, 0xF800, 0x0010}; // one colour a band
constexpr uint16_t BAR = 0x39E7;

Surface* filled(int w, int h, uint16_t v) {
    return makeSurface(w, h, std::vector<uint16_t>(w * h, v));
}

Surface* highlightStrip() {
    const int tops[5] = {0, 73, 124, 177, 244};
    std::vector<uint16_t> p(157 * 244);
    for (int band = 0; band < 4; ++band)
        for (int y = tops[band]; y < tops[band + 1]; ++y)
            for (int x = 0; x < 157; ++x) p[y * 157 + x] = x < 3 ? KEY : SLICE[band];
    return makeSurface(157, 244, p);
}

int count(int x0, int y0, int w, int h, uint16_t v) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) n += backPixel(x, y) == v;
    return n;
}

class FrontEnd : public ::testing::Test {
  protected:
    void SetUp() override { setUpLayout(false); }
    void TearDown() override {
        for (int slot : {SLOT_TITLE, SLOT_HIGHLIGHT, SLOT_WATER}) {
            releaseSurface(surfaces[slot]);
            surfaces[slot] = nullptr;
        }
    }
    void setUpLayout(bool small) {
        TearDown();
        useScreenLayout(small ? "small" : "qvga", small ? 176 : 240, small ? 220 : 320,
                        small ? 88 : 120, small ? 20 : 0);
        surfaces[SLOT_TITLE] = filled(240, 320, TITLE);
        surfaces[SLOT_HIGHLIGHT] = highlightStrip();
        surfaces[SLOT_WATER] = filled(240, 320, BAR);
        menuScreen = SCREEN_TITLE;
        menuCursor = 0;
        menuPhase = 0;
        language = LANG_ENGLISH;
        tapX = tapY = synthSelect = 0;
        tapPending = 1; // the input waits for the front end to test a tap
        speaker.volumeSounds(32);
    }
};

// Each item's band: its own slice of the strip, at level 31 of 32 at phase 0.
TEST_F(FrontEnd, EachItemHasItsOwnSliceAndPlaceAndThePulse) {
    const int ys[4] = {99, 162, 203, 246}, heights[4] = {73, 51, 53, 67};
    for (int item = 0; item < 4; ++item) {
        SCOPED_TRACE(item);
        menuCursor = item;
        drawFrontEnd();
        EXPECT_EQ(TITLE, backPixel(100, ys[item] - 1));
        EXPECT_NE(TITLE, backPixel(100, ys[item]));
        EXPECT_NE(TITLE, backPixel(100, ys[item] + heights[item] - 1));
        EXPECT_TRUE(item == 3 || TITLE == backPixel(60, ys[item] + heights[item] + 1));
    }
    menuCursor = 0;
    drawFrontEnd();
    uint16_t p = backPixel(100, 100);
    EXPECT_EQ(0, p >> 11);                 // red: (31 * 0 + 1 * 31) / 32
    EXPECT_EQ(31, p & 31);                 // blue stays full
    EXPECT_EQ(TITLE, backPixel(38, 100));  // the key columns of the strip
    EXPECT_EQ(TITLE, backPixel(194, 100)); // right of x 37 + 157
    menuPhase = 1.5707964f;                // cos^2 = 0: level 5
    drawFrontEnd();
    EXPECT_GT(backPixel(100, 100) >> 11, 20);
    menuCursor = CURSOR_NONE;
    drawFrontEnd();
    EXPECT_EQ(0, count(37, 99, 157, 214, SLICE[0]));
}

TEST_F(FrontEnd, TapsHitOnlyInsideTheirBands) {
    struct Tap {
        bool small;
        int x, y, item; // -1: no hit
    } taps[] = {{0, 100, 136, 0},  {0, 100, 135, -1}, {0, 100, 166, 0},  {0, 100, 167, -1},
                {0, 38, 150, 0},   {0, 37, 150, -1},  {0, 199, 150, 0},  {0, 200, 150, -1},
                {0, 100, 176, 1},  {0, 100, 207, 1},  {0, 100, 216, 2},  {0, 100, 248, 2},
                {0, 100, 256, 3},  {0, 100, 289, 3},  {0, 100, 290, -1}, {1, 100, 111, 0},
                {1, 100, 110, -1}, {1, 100, 141, 0},  {1, 100, 142, -1}};
    for (const Tap& t : taps) {
        SCOPED_TRACE(testing::Message() << t.small << " " << t.x << "," << t.y);
        setUpLayout(t.small);
        menuCursor = 1;
        tapX = t.x;
        tapY = t.y;
        drawFrontEnd();
        EXPECT_EQ(t.item >= 0 ? 1 : 0, synthSelect);
        EXPECT_EQ(t.item >= 0 ? t.item : 1, menuCursor);
        EXPECT_EQ(t.item >= 0 ? 0 : t.x, tapX);
        EXPECT_EQ(0, tapPending);
    }
}

TEST_F(FrontEnd, TheVolumeBarIsTwoPixelsAVolumeUnit) {
    menuScreen = SCREEN_SETTINGS;
    menuCursor = CURSOR_NONE;
    for (int volume : {32, 10, 0}) {
        speaker.volumeSounds(volume);
        drawFrontEnd();
        EXPECT_EQ(2 * volume * 5, count(81, 161, 64, 5, BAR)) << volume;
        EXPECT_EQ(2 * volume * 5, count(0, 0, 240, 320, BAR)) << volume;
    }
}

// Whether any pixel of the rectangle is (nearly) white, as inside a glyph.
bool anyWhite(int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            uint16_t p = backPixel(x, y);
            if ((p >> 11) >= 28 && ((p >> 5) & 63) >= 56 && (p & 31) >= 28) return true;
        }
    return false;
}

std::vector<uint16_t> region(int x0, int y0, int w, int h) {
    std::vector<uint16_t> out;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) out.push_back(backPixel(x, y));
    return out;
}

// No pictures loaded: only the texts reach the screen.
class GameScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        useScreenLayout("qvga", 240, 320, 120, 0);
        appMode = MODE_FRONTEND;
        newGame();
        gameSeconds = gameMinutes = 0;
        msSinceSecond = 0;
        bestScore = 0;
    }
};

// The first game-over frame after a new best shows the old best; a tie is a
// record too, and "New Record!" blinks 250 ms of each 500.
TEST_F(GameScreen, GameOverShowsTheOldBestFirstAndATieIsARecord) {
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
    drawGameFrame();
    EXPECT_EQ(old, region(152, 80, 88, 24));
    EXPECT_TRUE(anyWhite(40, 184, 160, 16)); // "New Record!"
    EXPECT_TRUE(anyWhite(0, 237, 240, 16));  // the line under the code
    EXPECT_FALSE(anyWhite(0, 0, 240, 70));   // no live score any more
    settleBestScore();
    drawGameFrame();
    EXPECT_EQ(best, region(152, 80, 88, 24));

    for (int ms : {249, 250, 1600}) { // 1600 mod 500 = 100
        msSinceSecond = ms;
        drawGameFrame(); // the score ties the best now
        EXPECT_EQ(ms != 250, anyWhite(40, 184, 160, 16)) << ms;
    }
    bestScore = 71;
    drawGameFrame();
    EXPECT_FALSE(anyWhite(40, 184, 160, 16));
}

// The record in sight: past a record above 10 by less than 100.
TEST_F(GameScreen, InFlightTheLiveScoreAndTheRecordInSight) {
    gameSeconds = 5;
    msSinceSecond = 100;
    const struct {
        int columns, best; // the score is 7 a column
        bool shown;
    } cases[] = {{10, 60, true}, {10, 10, false}, {10, 70, false}, {17, 19, false}, {17, 20, true}};
    for (const auto& c : cases) {
        world.columnCount = c.columns;
        bestScore = c.best;
        drawGameFrame();
        EXPECT_TRUE(anyWhite(3, 3, 80, 24));
        EXPECT_EQ(c.shown, anyWhite(120, 3, 117, 24)) << c.columns << " " << c.best;
        EXPECT_FALSE(anyWhite(0, 60, 240, 260)); // no phase text
    }
}

} // namespace
