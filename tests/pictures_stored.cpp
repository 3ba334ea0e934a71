// The pictures as the game loads them from the executable's resources: sizes
// and depths, keys, the sprites, bubbles, icon, front-end and backdrop looks.
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "platform/wince/resources.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint16_t KEY = 0x8010, WHITE = 0xFFDF;

class Pictures : public ::testing::Test {
  protected:
    void SetUp() override { useGfxHost("qvga"); }
};

// The purple bar is all key and the blank picture all black; the full-screen
// pictures hold no key, which would leave holes in them.
TEST_F(Pictures, SizesDepthsAndPlainColours) {
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

constexpr int CW = 24;

struct Rect {
    int x, y, w, h;
};

// The sprite sheet's regions: the fish alive and dead, the obstacle, the key
// column right of it and the floor tiles (the ceiling tiles are beside them).
const Rect LIVING = {0, 0, CW, CW}, DEAD = {CW, 0, CW, CW}, OBSTACLE = {0, 24, 36, 36};
const Rect KEY_ONLY = {36, 24, 12, 36};
Rect floorTile(int s) {
    return {0, 60 + s * CW, CW, CW};
}

int opaqueCount(const Picture& sheet, Rect r) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) n += sheet.at(x, y) != KEY;
    return n;
}

// Purple around every sprite: the corners of the sheet, of the fish cells and
// of the tiles (top corners of the floor tiles, bottom ones of the ceiling
// tiles) and the column right of the obstacle; each region holds a sprite
// standing on its edge; the dead fish differs in a few pixels and the ceiling
// tiles are the floor tiles upside down.
TEST_F(Pictures, EverySpriteRegionHoldsASpriteOnThePurple) {
    Picture sheet(BITMAP_SPRITES);
    ASSERT_TRUE(sheet.loaded());
    auto keyed = [&](int x, int y) { return sheet.at(x, y) == KEY; };
    EXPECT_EQ(opaqueCount(sheet, KEY_ONLY), 0) << "right of the obstacle";
    for (int x : {0, 47})
        for (int y : {0, 179}) EXPECT_TRUE(keyed(x, y)) << "corner " << x << "," << y;
    for (Rect r : {LIVING, DEAD, OBSTACLE}) {
        int n = opaqueCount(sheet, r);
        EXPECT_GT(n, r.w * r.h / 5) << r.x << "," << r.y;
        EXPECT_LT(n, r.w * r.h) << r.x << "," << r.y;
        EXPECT_TRUE(r.w != CW || keyed(r.x + r.w - 1, r.y + r.h - 1));
    }
    for (int s = 0; s < 5; ++s) {
        SCOPED_TRACE(s);
        Rect f = floorTile(s);
        EXPECT_TRUE(keyed(0, f.y) && keyed(CW - 1, f.y));
        EXPECT_TRUE(keyed(CW, f.y + CW - 1) && keyed(2 * CW - 1, f.y + CW - 1));
        EXPECT_GT(opaqueCount(sheet, f), CW * CW / 8);
        EXPECT_GT(opaqueCount(sheet, {0, f.y + CW - 1, CW, 1}), 0); // on the cell's bottom edge
        for (int y = 0; y < CW; ++y)
            for (int x = 0; x < CW; ++x)
                ASSERT_EQ(sheet.at(CW + x, f.y + y), sheet.at(x, f.y + CW - 1 - y))
                    << x << "," << y;
    }
    int differ = 0;
    for (int y = 0; y < CW; ++y)
        for (int x = 0; x < CW; ++x) differ += sheet.at(x, y) != sheet.at(CW + x, y);
    EXPECT_GE(differ, 1);
    EXPECT_LE(differ, 20);

    // The keyed blit compares exact values, so a sprite pixel close to the
    // purple would show as a purple speck, and a fringe blended with it would
    // turn into one after the edge smoothing. The obstacle is red, the fish
    // orange.
    long sums[2][4] = {};
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 48; ++x) {
            if (keyed(x, y)) continue;
            Rgb8 c = rgbOf(sheet.at(x, y));
            ASSERT_GT(std::hypot(std::hypot(c.r - 132.0, c.g), c.b - 132.0), 64.0) << x << "," << y;
            for (int i = 0; i < 2; ++i) {
                Rect r = i ? LIVING : OBSTACLE;
                if (x < r.x || y < r.y || x >= r.x + r.w || y >= r.y + r.h) continue;
                sums[i][0] += c.r, sums[i][1] += c.g, sums[i][2] += c.b, ++sums[i][3];
            }
        }
    const long* obstacle = sums[0];
    const long* fish = sums[1];
    EXPECT_GT(obstacle[0], 2 * obstacle[1]);
    EXPECT_GT(obstacle[0], 2 * obstacle[2]);
    EXPECT_GT(fish[0], fish[1]);
    EXPECT_GT(fish[1], fish[2]);
    EXPECT_GT(fish[0], 150 * fish[3]);
}

// Counts the separate groups of lit pixels in a 16 x 16 mask (eight-connected).
int blobs(std::vector<bool> lit) {
    int count = 0;
    for (int start = 0; start < 256; ++start) {
        if (!lit[start]) continue;
        ++count;
        std::vector<int> stack = {start};
        lit[start] = false;
        while (!stack.empty()) {
            int p = stack.back();
            stack.pop_back();
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int x = p % 16 + dx, y = p / 16 + dy;
                    if (x < 0 || y < 0 || x > 15 || y > 15 || !lit[x + 16 * y]) continue;
                    lit[x + 16 * y] = false;
                    stack.push_back(x + 16 * y);
                }
        }
    }
    return count;
}

// Five grey masks, the three channels alike so that the tinted blit's
// coverage (the blue field) follows the grey; the largest nearly fills its
// cell and has a bright rim round a dimmer inside.
TEST_F(Pictures, BubbleMasksShrinkOnBlackAndTheLargestHasABrightRim) {
    Picture bubbles(BITMAP_BUBBLES);
    ASSERT_TRUE(bubbles.loaded());
    int previous = 16 * 16 + 1;
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        std::vector<bool> lit(256);
        int area = 0;
        for (int i = 0; i < 256; ++i) area += lit[i] = bubbles.at(i % 16, 16 * k + i / 16) != 0;
        for (int corner : {0, 15, 240, 255}) EXPECT_FALSE(lit[corner]);
        EXPECT_LT(area, previous);
        EXPECT_GT(area, k == 0 ? 16 * 16 * 2 / 3 : 0);
        previous = area;
        EXPECT_EQ(blobs(lit), k == 4 ? 2 : 1);
    }
    int brightest = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(bubbles.at(x, y) >> 11, bubbles.at(x, y) & 31) << x << "," << y;
            if (y < 16) brightest = std::max(brightest, bubbles.at(x, y) & 31);
        }
    EXPECT_GE(brightest, 28);
    int centre = bubbles.at(8, 8) & 31, rim = bubbles.at(8, 1) & 31;
    EXPECT_GT(centre, 0);
    EXPECT_LT(centre, rim);
}

// The window's and the About box's icon: 32 x 32 on the transparent purple,
// the badge filling the middle and leaving the corners clear.
TEST(Icon, IsTheBadgeOnThePurple) {
    const EmbeddedResource* r = findEmbeddedResource("ICON", 335);
    ASSERT_NE(r, nullptr);
    ASSERT_GE(r->size, 54u + 32u * 32u * 3u);
    const uint8_t* d = r->data;
    auto le32 = [&](size_t at) {
        return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | d[at + 3] << 24;
    };
    EXPECT_EQ(le32(18), 32);
    EXPECT_EQ(le32(22), 32);
    EXPECT_EQ(d[28], 24);
    auto isPurple = [&](int x, int y) { // rows bottom first, blue green red
        const uint8_t* p = d + le32(10) + (31 - y) * 96 + x * 3;
        return p[0] == 128 && p[1] == 0 && p[2] == 128;
    };
    int opaque = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) opaque += !isPurple(x, y);
    EXPECT_TRUE(isPurple(0, 0) && isPurple(31, 0) && isPurple(0, 31) && isPurple(31, 31));
    // A disc of radius 16 covers about 804 of the 1024 pixels.
    EXPECT_GT(opaque, 740);
    EXPECT_LT(opaque, 860);
    EXPECT_FALSE(isPurple(16, 16));
}

// The darkest luma of a rectangle, corners included.
double darkest(const Picture& s, int x0, int y0, int x1, int y1) {
    double d = 255;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) d = std::min(d, lumaOf(s.at(x, y)));
    return d;
}

// The four slices the highlight cuts from its panel (first row and height)
// are grey on exact purple, far from it: no tinted fringe around the keyed
// blit. (title_contrast measures the labels on them.)
TEST_F(Pictures, HighlightPanelIsGreyOnExactPurple) {
    Picture panel(BITMAP_HIGHLIGHT);
    ASSERT_TRUE(panel.loaded());
    for (int x : {0, 156})
        for (int y : {0, 243}) EXPECT_EQ(panel.at(x, y), KEY);
    const int slices[4][2] = {{0, 73}, {73, 51}, {124, 53}, {177, 67}};
    for (const auto& s : slices) {
        SCOPED_TRACE(s[0]);
        int keyed = 0, drawn = 0;
        for (int y = s[0]; y < s[0] + s[1]; ++y)
            for (int x = 0; x < 157; ++x) {
                uint16_t v = panel.at(x, y);
                if (v == KEY) {
                    ++keyed;
                    continue;
                }
                ++drawn;
                Rgb8 c = rgbOf(v);
                ASSERT_LT(std::abs(c.r - c.g), 40) << x << "," << y;
                ASSERT_LT(std::abs(c.b - c.g), 40) << x << "," << y;
                int dr = c.r - 128, dg = c.g, db = c.b - 128;
                ASSERT_GT(dr * dr + dg * dg + db * db, 100 * 100) << x << "," << y;
            }
        EXPECT_GT(keyed, 0);
        EXPECT_GT(drawn, s[1] * 157 / 2);
    }
}

TEST_F(Pictures, SplashIsAMarkOnBlack) {
    Picture splash(BITMAP_SPLASH);
    ASSERT_TRUE(splash.loaded());
    for (int x = 0; x < 176; ++x)
        for (int y = 0; y < 135; ++y)
            ASSERT_TRUE(splash.at(x, y) == 0 || (x > 2 && x < 173 && y > 2 && y < 132))
                << x << "," << y;
    // The emblem in the upper middle and the name below it are drawn.
    EXPECT_GT(splash.meanLuma(68, 30, 108, 70), 40.0);
    EXPECT_GT(splash.meanLuma(20, 96, 155, 118), 25.0);
    EXPECT_LT(darkest(splash, 20, 96, 155, 118), 1.0); // lettering on black, not a filled box
}

// The plate lies inside the top-left 176 x 220, so both layouts show it. Its
// dark frame is set off from the water above, below and beside it; its
// lettering is bright against the plate.
TEST_F(Pictures, TitlePlateStandsApartFromTheWaterAroundIt) {
    Picture title(BITMAP_TITLE);
    ASSERT_TRUE(title.loaded());
    const double frame = title.meanLuma(20, 8, 156, 9);
    const int water[][4] = {{20, 0, 156, 5}, {40, 84, 156, 92}, {0, 20, 4, 70}, {172, 20, 176, 70}};
    for (const auto& w : water)
        EXPECT_LT(frame, title.meanLuma(w[0], w[1], w[2], w[3]) - 45.0) << w[0] << "," << w[1];
    EXPECT_LT(darkest(title, 20, 30, 156, 60), 60.0);
    int bright = 0;
    for (int y = 30; y <= 60; ++y)
        for (int x = 20; x <= 156; ++x) {
            Rgb8 c = rgbOf(title.at(x, y));
            bright += c.r > 220 && c.g > 150 && c.b < 120;
        }
    EXPECT_GT(bright, 300);
}

TEST_F(Pictures, BannerIsWhiteLetteringOnBlack) {
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

// The seam from the last column back to the first is no rougher than the
// rougher neighbouring columns inside the picture: within a margin of the
// 90th percentile of their differences (a weed edge may fall on the seam
// as on any other column). Rows above firstRow are left out.
void expectSeamless(const Picture& p, int firstRow) {
    auto columns = [&](int a, int b) {
        double sum = 0;
        for (int y = firstRow; y < p.height(); ++y) {
            Rgb8 x = rgbOf(p.at(a, y)), z = rgbOf(p.at(b, y));
            sum += std::abs(x.r - z.r) + std::abs(x.g - z.g) + std::abs(x.b - z.b);
        }
        return sum / (p.height() - firstRow);
    };
    std::vector<double> inner;
    for (int x = 0; x + 1 < p.width(); ++x) inner.push_back(columns(x, x + 1));
    std::sort(inner.begin(), inner.end());
    double rough = inner[inner.size() * 9 / 10], seam = columns(p.width() - 1, 0);
    EXPECT_LE(seam, rough * 1.15 + 1.0) << "seam " << seam << ", inside " << rough;
}

TEST_F(Pictures, WaterAndRockWrapTheWaterDarkensDownAndTheRockIsDarker) {
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
