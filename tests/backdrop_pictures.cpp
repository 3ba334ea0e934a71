// The backdrop pictures and the plain start-up pictures, checked through the
// resources embedded in the executable: sizes and depths as stored, the
// purple and black pictures, the banner, the horizontal wrap of the water and
// the rock, the water's depth gradient, the volume bar corner and the rock's
// darkness.
#include "gfx/assets.h"
#include "gfx/surface.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint16_t KEY = 0x8010, WHITE = 0xFFDF;

int difference(uint16_t a, uint16_t b) {
    Rgb8 x = rgbOf(a), y = rgbOf(b);
    return std::abs(x.r - y.r) + std::abs(x.g - y.g) + std::abs(x.b - y.b);
}

// The seam from the last column back to the first is no rougher than the
// rougher neighbouring columns inside the picture: within a margin of the
// 90th percentile of their differences (a weed edge may fall on the seam
// as on any other column). Rows above firstRow are left out.
void expectSeamless(const Picture& p, int firstRow) {
    auto columns = [&](int a, int b) {
        double sum = 0;
        for (int y = firstRow; y < p.height(); ++y) sum += difference(p.at(a, y), p.at(b, y));
        return sum / (p.height() - firstRow);
    };
    std::vector<double> inner;
    for (int x = 0; x + 1 < p.width(); ++x) inner.push_back(columns(x, x + 1));
    std::sort(inner.begin(), inner.end());
    double rough = inner[inner.size() * 9 / 10], seam = columns(p.width() - 1, 0);
    EXPECT_LE(seam, rough * 1.15 + 1.0) << "seam " << seam << ", inside " << rough;
}

class BackdropPictures : public ::testing::Test {
  protected:
    void SetUp() override { useGfxHost("qvga"); }
};

// The purple bar is all key and the blank picture all black; the full-screen
// pictures hold no key, which would leave holes in them.
TEST_F(BackdropPictures, SizesDepthsAndPlainColours) {
    enum Rule { ANY, ALL_KEY, ALL_BLACK, NO_KEY };
    const struct {
        int id, width, height, bits;
        Rule rule;
    } pictures[] = {
        {BITMAP_STARTUP_PICTURE, 176, 245, 8, NO_KEY},
        {BITMAP_STARTUP_STRIP, 180, 24, 8, ANY},
        {BITMAP_WATER, 240, 320, 8, NO_KEY},
        {BITMAP_PURPLE_BAR, 160, 32, 8, ALL_KEY},
        {BITMAP_STARTUP_BAR, 200, 32, 8, ANY},
        {BITMAP_BANNER, 175, 23, 8, ANY},
        {BITMAP_BLANK, 240, 320, 1, ALL_BLACK},
        {BITMAP_ROCK, 240, 320, 8, NO_KEY},
        {BITMAP_TITLE, 240, 320, 8, ANY},
        {BITMAP_HIGHLIGHT, 157, 244, 8, ANY},
        {BITMAP_SPLASH, 176, 135, 8, ANY},
        {BITMAP_SPRITES, 48, 180, 24, ANY},
        {BITMAP_BUBBLES, 16, 80, 8, ANY},
    };
    ASSERT_EQ(colourFromRgb(&backBuffer, 0x800080), KEY);
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.id);
        BitmapHeader h = storedBitmapHeader(p.id);
        EXPECT_EQ(h.width, p.width);
        EXPECT_EQ(h.height, p.height);
        EXPECT_EQ(h.bits, p.bits);
        Picture s(p.id);
        ASSERT_TRUE(s.loaded());
        EXPECT_EQ(s.width(), p.width);
        EXPECT_EQ(s.height(), p.height);
        int keys = 0, blacks = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) keys += s.at(x, y) == KEY, blacks += s.at(x, y) == 0;
        const int all = p.width * p.height;
        EXPECT_EQ(keys, p.rule == ALL_KEY ? all : p.rule == NO_KEY ? 0 : keys);
        EXPECT_EQ(blacks, p.rule == ALL_BLACK ? all : blacks);
    }
}

TEST_F(BackdropPictures, BannerIsWhiteLetteringOnBlack) {
    Picture s(BITMAP_BANNER);
    ASSERT_TRUE(s.loaded());
    const int w = s.width(), h = s.height();
    for (int y : {0, 1, h - 2, h - 1})
        for (int x : {0, 1, w - 2, w - 1}) EXPECT_EQ(s.at(x, y), 0) << x << "," << y;
    int whites = 0, black = 0, coloured = 0, inkLeft = 0, inkRight = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb8 c = rgbOf(s.at(x, y));
            whites += s.at(x, y) == WHITE;
            black += s.at(x, y) == 0;
            coloured += std::abs(c.r - c.g) > 8 || std::abs(c.g - c.b) > 8; // greys only
            inkLeft += s.at(x, y) == WHITE && x <= w / 8;
            inkRight += s.at(x, y) == WHITE && x >= w * 7 / 8;
        }
    EXPECT_GT(whites, 200); // eight letters of solid strokes
    EXPECT_GT(black, w * h / 2);
    EXPECT_EQ(coloured, 0);
    // The lettering fills most of the width: ink in the outer eighths.
    EXPECT_GT(inkLeft, 0);
    EXPECT_GT(inkRight, 0);
}

TEST_F(BackdropPictures, WaterAndRockWrapTheWaterDarkensDownAndTheRockIsDarker) {
    Picture water(BITMAP_WATER), rock(BITMAP_ROCK);
    ASSERT_TRUE(water.loaded());
    ASSERT_TRUE(rock.loaded());
    // The volume bar in the water's top rows is a deliberate break.
    expectSeamless(water, 6);
    expectSeamless(rock, 0);

    // The open water between the weed, in bands of 40 rows.
    double previous = 1e9;
    for (int y = 60; y + 40 <= 260; y += 40) {
        double band = water.meanLuma(0, y, 239, y + 39);
        EXPECT_LT(band, previous) << "rows " << y << " to " << y + 39;
        previous = band;
    }
    EXPECT_GT(water.meanLuma(0, 60, 239, 159), water.meanLuma(0, 160, 239, 259) + 20);

    // The volume bar is drawn keyed: no part of it may vanish. It brightens
    // from left to right along every row, the right-hand end (always shown,
    // however short the bar) clearly the brightest, and its top edge is the
    // lighter one.
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 64; ++x) EXPECT_NE(water.at(x, y), KEY) << x << "," << y;
        for (int x = 1; x < 64; ++x) EXPECT_GE(lumaOf(water.at(x, y)), lumaOf(water.at(x - 1, y)));
        EXPECT_GT(lumaOf(water.at(63, y)), lumaOf(water.at(0, y)) + 60);
    }
    EXPECT_GT(water.meanLuma(0, 0, 63, 0), water.meanLuma(0, 2, 63, 2));

    double w = water.meanLuma(0, 0, 239, 319), r = rock.meanLuma(0, 0, 239, 319);
    EXPECT_LT(r, w * 0.8) << "rock " << r << ", water " << w;
    // Dark everywhere, top to bottom (the floor shows the lower rows, the
    // ceiling the upper ones), and not a flat fill: texture in every quarter.
    for (int y0 = 0; y0 < 320; y0 += 80) {
        double mean = rock.meanLuma(0, y0, 239, y0 + 79), spread = 0;
        EXPECT_LT(mean, 80.0) << "rows " << y0;
        for (int y = y0; y < y0 + 80; ++y)
            for (int x = 0; x < 240; ++x) spread += std::pow(lumaOf(rock.at(x, y)) - mean, 2);
        EXPECT_GT(std::sqrt(spread / (240 * 80)), 5.0) << "rows " << y0;
    }
}

} // namespace
