// The title and Settings screens drawn from plain test pictures: the
// highlight bands, the volume bar and where taps hit. (The labels, About and
// the key screen are pinned frame by frame by tests/golden_runs.cpp and
// measured by title_contrast.cpp.)
#include "frontend/frontend.h"
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

class FrontEnd : public ::testing::Test {
  protected:
    void SetUp() override { setUpLayout("qvga", 240, 320, 120, 0); }
    void TearDown() override {
        for (int slot : {SLOT_TITLE, SLOT_HIGHLIGHT, SLOT_WATER}) {
            releaseSurface(surfaces[slot]);
            surfaces[slot] = nullptr;
        }
    }
    void setUpLayout(const char* device, int w, int h, int cx, int shrink) {
        TearDown();
        useScreenLayout(device, w, h, cx, shrink);
        surfaces[SLOT_TITLE] = filled(240, 320, TITLE);
        surfaces[SLOT_HIGHLIGHT] = highlightStrip();
        surfaces[SLOT_WATER] = filled(240, 320, BAR);
        menuScreen = SCREEN_TITLE;
        menuCursor = 0;
        menuPhase = 0;
        language = LANG_ENGLISH;
        tapX = tapY = tapPending = synthSelect = 0;
        speaker.volumeSounds(32);
    }
    static int count(int x0, int y0, int w, int h, uint16_t v) {
        int n = 0;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) n += backPixel(x, y) == v;
        return n;
    }
    static bool anyDark(int x0, int y0, int w, int h) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                if (backPixel(x, y) < 0x2000) return true;
        return false;
    }
};

TEST_F(FrontEnd, TheHighlightBandPulsesFromLevel31) {
    drawFrontEnd();
    // Level 31 of 32 over white: (31 * band + 1 * white) / 32 per field.
    uint16_t p = backPixel(100, 100);
    EXPECT_NE(TITLE, p);
    EXPECT_EQ(0, p >> 11);                 // red 31 * 0 + 31 = 31 / 32 -> 0
    EXPECT_EQ(31, p & 31);                 // blue stays full
    EXPECT_EQ(TITLE, backPixel(100, 98));  // above the band
    EXPECT_EQ(TITLE, backPixel(38, 100));  // key columns of the strip are left out
    EXPECT_EQ(TITLE, backPixel(194, 100)); // right of x 37 + 157
    menuPhase = 1.5707964f;                // cos^2 = 0: level 5
    drawFrontEnd();
    uint16_t faint = backPixel(100, 100);
    EXPECT_GT(faint >> 11, 20);
}

TEST_F(FrontEnd, EachItemHasItsOwnSliceAndPlace) {
    const int ys[4] = {99, 162, 203, 246}, heights[4] = {73, 51, 53, 67};
    for (int item = 0; item < 4; ++item) {
        SCOPED_TRACE(item);
        menuCursor = item;
        drawFrontEnd();
        EXPECT_EQ(TITLE, backPixel(100, ys[item] - 1));
        EXPECT_NE(TITLE, backPixel(100, ys[item]));
        EXPECT_NE(TITLE, backPixel(100, ys[item] + heights[item] - 1));
        if (item < 3) {
            EXPECT_EQ(TITLE, backPixel(60, ys[item] + heights[item] + 1));
        }
    }
    menuCursor = CURSOR_NONE;
    drawFrontEnd();
    EXPECT_EQ(0, count(37, 99, 157, 214, SLICE[0]));
    EXPECT_EQ(TITLE, backPixel(100, 100));
}

TEST_F(FrontEnd, TapsHitOnlyInsideTheBands) {
    struct Tap {
        int x, y, item; // -1: no hit
    } taps[] = {{100, 136, 0}, {100, 135, -1}, {100, 166, 0},  {100, 167, -1}, {38, 150, 0},
                {37, 150, -1}, {199, 150, 0},  {200, 150, -1}, {100, 176, 1},  {100, 207, 1},
                {100, 216, 2}, {100, 248, 2},  {100, 256, 3},  {100, 289, 3},  {100, 290, -1}};
    for (const Tap& t : taps) {
        SCOPED_TRACE(testing::Message() << t.x << "," << t.y);
        menuCursor = 1;
        synthSelect = 0;
        tapX = t.x;
        tapY = t.y;
        drawFrontEnd();
        EXPECT_EQ(t.item >= 0 ? 1 : 0, synthSelect);
        EXPECT_EQ(t.item >= 0 ? t.item : 1, menuCursor);
        EXPECT_EQ(t.item >= 0 ? 0 : t.x, tapX);
        EXPECT_EQ(0, tapPending);
    }
}

TEST_F(FrontEnd, TheSmallLayoutMovesLabelsAndTapsButNotTheBands) {
    setUpLayout("small", 176, 220, 88, 20);
    tapX = 100;
    tapY = 111;
    menuCursor = 2;
    drawFrontEnd();
    EXPECT_EQ(1, synthSelect);
    EXPECT_EQ(0, menuCursor);
    tapX = 100;
    tapY = 142; // the small layout's first band ends at 142
    synthSelect = 0;
    drawFrontEnd();
    EXPECT_EQ(0, synthSelect);
    menuCursor = 1; // its band still at y 162
    drawFrontEnd();
    EXPECT_EQ(TITLE, backPixel(100, 161));
    EXPECT_NE(TITLE, backPixel(100, 162));
    EXPECT_TRUE(anyDark(50, 113, 80, 20)); // "Play" at y 113
}

TEST_F(FrontEnd, TheVolumeBarIsTwoPixelsAVolumeUnit) {
    menuScreen = SCREEN_SETTINGS;
    menuCursor = CURSOR_NONE;
    drawFrontEnd();
    EXPECT_EQ(64 * 5, count(81, 161, 64, 5, BAR));
    EXPECT_EQ(0, count(145, 161, 20, 5, BAR));
    EXPECT_EQ(0, count(60, 160, 100, 1, BAR));
    speaker.volumeSounds(10);
    drawFrontEnd();
    EXPECT_EQ(20 * 5, count(81, 161, 64, 5, BAR));
    speaker.volumeSounds(0);
    drawFrontEnd();
    EXPECT_EQ(0, count(0, 0, 240, 320, BAR));
}

} // namespace
