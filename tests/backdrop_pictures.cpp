// The backdrop pictures and the plain start-up pictures, checked through the
// resources embedded in the executable: sizes and depths as stored, the
// purple and black pictures, the horizontal wrap of the water and the rock,
// the water's depth gradient, the volume bar corner and the rock's darkness.
#include "gfx/assets.h"
#include "gfx/surface.h"
#include "platform/wince/resources.h"
#include "support/gfx_host.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

int difference(uint16_t a, uint16_t b) {
    Rgb8 x = rgbOf(a), y = rgbOf(b);
    return std::abs(x.r - y.r) + std::abs(x.g - y.g) + std::abs(x.b - y.b);
}

class BackdropPictures : public ::testing::Test {
  protected:
    void SetUp() override {
        useGfxHost("qvga");
        key = colourFromRgb(&backBuffer, 0x800080);
    }
    void TearDown() override {
        for (Surface* s : loaded) releaseSurface(s);
    }
    // The picture as the game converts it; null on failure (and the test fails).
    const Surface* load(int id) {
        Surface* s = loadPicture(id);
        EXPECT_NE(s, nullptr) << "bitmap " << id;
        if (s && !s->pixels) ADD_FAILURE() << "bitmap " << id << " has no pixels";
        if (!s || !s->pixels) return nullptr;
        loaded.push_back(s);
        return s;
    }
    static uint16_t at(const Surface* s, int x, int y) { return s->pixels[y * s->width + x]; }

    // Mean colour difference between columns a and b over rows first..last.
    static double columnDifference(const Surface* s, int a, int b, int first, int last) {
        double sum = 0;
        for (int y = first; y <= last; ++y) sum += difference(at(s, a, y), at(s, b, y));
        return sum / (last - first + 1);
    }
    // The seam from the last column back to the first is no rougher than the
    // rougher neighbouring columns inside the picture: within a margin of the
    // 90th percentile of their differences (a weed edge may fall on the seam
    // as on any other column).
    static void expectSeamless(const Surface* s, int firstRow) {
        int last = s->height - 1;
        std::vector<double> inner;
        for (int x = 0; x + 1 < s->width; ++x)
            inner.push_back(columnDifference(s, x, x + 1, firstRow, last));
        std::sort(inner.begin(), inner.end());
        double rough = inner[inner.size() * 9 / 10];
        double seam = columnDifference(s, s->width - 1, 0, firstRow, last);
        EXPECT_LE(seam, rough * 1.15 + 1.0) << "seam " << seam << ", inside " << rough;
    }
    static double meanLuminance(const Surface* s, int x0, int y0, int x1, int y1) {
        double sum = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) sum += lumaOf(at(s, x, y));
        return sum / ((x1 - x0 + 1) * (y1 - y0 + 1));
    }

    uint16_t key = 0;
    std::vector<Surface*> loaded;
};

TEST_F(BackdropPictures, SizesAndDepthsAsStoredAndConverted) {
    const struct {
        int id, width, height, bits;
    } pictures[] = {
        {BITMAP_STARTUP_PICTURE, 176, 245, 8}, {BITMAP_STARTUP_STRIP, 180, 24, 8},
        {BITMAP_WATER, 240, 320, 8},           {BITMAP_PURPLE_BAR, 160, 32, 8},
        {BITMAP_STARTUP_BAR, 200, 32, 8},      {BITMAP_BANNER, 175, 23, 8},
        {BITMAP_BLANK, 240, 320, 1},           {BITMAP_ROCK, 240, 320, 8},
        {BITMAP_TITLE, 240, 320, 8},           {BITMAP_HIGHLIGHT, 157, 244, 8},
        {BITMAP_SPLASH, 176, 135, 8},          {BITMAP_SPRITES, 48, 180, 24},
        {BITMAP_BUBBLES, 16, 80, 8},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.id);
        BitmapHeader h = storedBitmapHeader(p.id);
        EXPECT_EQ(h.width, p.width);
        EXPECT_EQ(h.height, p.height);
        EXPECT_EQ(h.bits, p.bits);
        const Surface* s = load(p.id);
        if (!s) continue;
        EXPECT_EQ(s->width, p.width);
        EXPECT_EQ(s->height, p.height);
    }
}

// The purple bar is all key and the blank picture all black; the full-screen
// pictures hold no key, which would leave holes in them.
TEST_F(BackdropPictures, PlainPicturesAreOneColourAndFullScreenOnesHaveNoKey) {
    ASSERT_EQ(key, 0x8010);
    const struct {
        int id;
        uint16_t value;
        bool all;
    } rules[] = {{BITMAP_PURPLE_BAR, key, true},
                 {BITMAP_BLANK, 0, true},
                 {BITMAP_WATER, key, false},
                 {BITMAP_ROCK, key, false},
                 {BITMAP_STARTUP_PICTURE, key, false}};
    for (const auto& rule : rules) {
        const Surface* s = load(rule.id);
        ASSERT_NE(s, nullptr);
        int equal = 0;
        for (int i = 0; i < s->width * s->height; ++i) equal += s->pixels[i] == rule.value;
        EXPECT_EQ(equal, rule.all ? s->width * s->height : 0) << "bitmap " << rule.id;
    }
}

TEST_F(BackdropPictures, BannerIsWhiteLetteringOnBlack) {
    const Surface* s = load(BITMAP_BANNER);
    ASSERT_NE(s, nullptr);
    const uint16_t white = colourFromRgb(&backBuffer, 0xFFFFFF);
    for (int y : {0, 1, s->height - 2, s->height - 1})
        for (int x : {0, 1, s->width - 2, s->width - 1}) EXPECT_EQ(at(s, x, y), 0) << x << "," << y;
    int whites = 0, black = 0, coloured = 0;
    for (int i = 0; i < s->width * s->height; ++i) {
        Rgb8 c = rgbOf(s->pixels[i]);
        whites += s->pixels[i] == white;
        black += s->pixels[i] == 0;
        coloured += std::abs(c.r - c.g) > 8 || std::abs(c.g - c.b) > 8; // greys only
    }
    EXPECT_GT(whites, 200); // eight letters of solid strokes
    EXPECT_GT(black, s->width * s->height / 2);
    EXPECT_EQ(coloured, 0);
    // The lettering fills most of the width: ink in the outer eighths.
    auto inkInColumns = [&](int x0, int x1) {
        int n = 0;
        for (int y = 0; y < s->height; ++y)
            for (int x = x0; x <= x1; ++x) n += at(s, x, y) == white;
        return n;
    };
    EXPECT_GT(inkInColumns(0, s->width / 8), 0);
    EXPECT_GT(inkInColumns(s->width * 7 / 8, s->width - 1), 0);
}

TEST_F(BackdropPictures, WaterAndRockWrapSeamlessly) {
    const Surface* water = load(BITMAP_WATER);
    const Surface* rock = load(BITMAP_ROCK);
    ASSERT_NE(water, nullptr);
    ASSERT_NE(rock, nullptr);
    // The volume bar in the water's top rows is a deliberate break.
    expectSeamless(water, 6);
    expectSeamless(rock, 0);
}

TEST_F(BackdropPictures, SeamCheckCatchesAPictureThatDoesNotWrap) {
    // A left-to-right ramp is smooth inside but jumps at the wrap.
    std::vector<uint16_t> pixels;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 240; ++x)
            pixels.push_back(colourFromRgb(&backBuffer, static_cast<uint32_t>(x) * 0x010101u));
    Surface* ramp = makeSurface(240, 40, pixels);
    loaded.push_back(ramp);
    EXPECT_NONFATAL_FAILURE(expectSeamless(ramp, 0), "seam");
}

TEST_F(BackdropPictures, WaterDarkensWithDepth) {
    const Surface* s = load(BITMAP_WATER);
    ASSERT_NE(s, nullptr);
    // The open water between the weed, in bands of 40 rows.
    double previous = 1e9;
    for (int y = 60; y + 40 <= 260; y += 40) {
        double band = meanLuminance(s, 0, y, s->width - 1, y + 39);
        EXPECT_LT(band, previous) << "rows " << y << " to " << y + 39;
        previous = band;
    }
    EXPECT_GT(meanLuminance(s, 0, 60, s->width - 1, 159),
              meanLuminance(s, 0, 160, s->width - 1, 259) + 20);
}

TEST_F(BackdropPictures, VolumeBarCornerIsAKeyFreeGradient) {
    const Surface* s = load(BITMAP_WATER);
    ASSERT_NE(s, nullptr);
    // The bar is drawn keyed: no part of it may vanish.
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 64; ++x) EXPECT_NE(at(s, x, y), key) << x << "," << y;
    // It brightens from left to right along every row, the right-hand end
    // (always shown, however short the bar) clearly the brightest.
    for (int y = 0; y < 5; ++y) {
        for (int x = 1; x < 64; ++x) EXPECT_GE(lumaOf(at(s, x, y)), lumaOf(at(s, x - 1, y)));
        EXPECT_GT(lumaOf(at(s, 63, y)), lumaOf(at(s, 0, y)) + 60);
    }
    // The top edge is the lighter one.
    EXPECT_GT(meanLuminance(s, 0, 0, 63, 0), meanLuminance(s, 0, 2, 63, 2));
}

TEST_F(BackdropPictures, RockIsClearlyDarkerThanWater) {
    const Surface* water = load(BITMAP_WATER);
    const Surface* rock = load(BITMAP_ROCK);
    ASSERT_NE(water, nullptr);
    ASSERT_NE(rock, nullptr);
    double w = meanLuminance(water, 0, 0, 239, 319), r = meanLuminance(rock, 0, 0, 239, 319);
    EXPECT_LT(r, w * 0.8) << "rock " << r << ", water " << w;
    // Dark everywhere, top to bottom: the floor shows the lower rows, the
    // ceiling the upper ones.
    for (int y = 0; y < 320; y += 80) EXPECT_LT(meanLuminance(rock, 0, y, 239, y + 79), 80.0);
    // And not a flat fill: texture in every quarter.
    for (int y0 = 0; y0 < 320; y0 += 80) {
        double mean = meanLuminance(rock, 0, y0, 239, y0 + 79), spread = 0;
        for (int y = y0; y < y0 + 80; ++y)
            for (int x = 0; x < 240; ++x) spread += std::pow(lumaOf(at(rock, x, y)) - mean, 2);
        EXPECT_GT(std::sqrt(spread / (240 * 80)), 5.0) << "rows " << y0;
    }
}

} // namespace
