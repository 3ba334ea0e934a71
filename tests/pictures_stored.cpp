// The pictures as the game loads them from the executable's resources: sizes,
// depths and keys, and the shapes the drawing code relies on.
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
#include <utility>
#include <vector>

namespace {

constexpr uint16_t KEY = 0x8010;

// A little-endian field of a resource's BMP header.
int32_t field(const EmbeddedResource* r, int at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | r->data[at + i];
    return static_cast<int32_t>(v);
}

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
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.id);
        const EmbeddedResource* r = findEmbeddedResource("BITMAP", p.id);
        ASSERT_TRUE(r && r->size >= 54 && r->data[0] == 'B' && r->data[1] == 'M');
        EXPECT_EQ(field(r, 28, 2), p.bits); // the size shows in the loaded picture
        Picture s(p.id);
        ASSERT_TRUE(s.loaded());
        ASSERT_EQ(s.width(), p.width);
        ASSERT_EQ(s.height(), p.height);
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

// The sprite sheet's regions: the fish alive and dead and the obstacle; below
// them the floor tiles (the ceiling tiles beside them).
const Rect LIVING = {0, 0, CW, CW}, DEAD = {CW, 0, CW, CW}, OBSTACLE = {0, 24, 36, 36};

int opaqueCount(const Picture& sheet, Rect r) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) n += sheet.at(x, y) != KEY;
    return n;
}

// Purple around every sprite: the corners of the sheet, of the fish cells and
// of the tiles (top corners of the floor tiles, bottom ones of the ceiling
// tiles) and the column right of the obstacle; each region holds a sprite
// standing on its edge; the ceiling tiles are the floor tiles upside down.
TEST_F(Pictures, EverySpriteRegionHoldsASpriteOnThePurple) {
    Picture sheet(BITMAP_SPRITES);
    ASSERT_TRUE(sheet.loaded());
    auto keyed = [&](int x, int y) { return sheet.at(x, y) == KEY; };
    EXPECT_EQ(opaqueCount(sheet, {36, 24, 12, 36}), 0) << "right of the obstacle";
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
        const Rect f = {0, 60 + s * CW, CW, CW};
        EXPECT_TRUE(keyed(0, f.y) && keyed(CW - 1, f.y));
        EXPECT_TRUE(keyed(CW, f.y + CW - 1) && keyed(2 * CW - 1, f.y + CW - 1));
        EXPECT_GT(opaqueCount(sheet, f), CW * CW / 8);
        EXPECT_GT(opaqueCount(sheet, {0, f.y + CW - 1, CW, 1}), 0); // on the cell's bottom edge
        for (int y = 0; y < CW; ++y)
            for (int x = 0; x < CW; ++x)
                ASSERT_EQ(sheet.at(CW + x, f.y + y), sheet.at(x, f.y + CW - 1 - y))
                    << x << "," << y;
    }
    // The keyed blit compares exact values, so a sprite pixel close to the
    // purple would show as a purple speck after the edge smoothing.
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 48; ++x) {
            if (keyed(x, y)) continue;
            Rgb8 c = rgbOf(sheet.at(x, y));
            ASSERT_GT(std::hypot(std::hypot(c.r - 132.0, c.g), c.b - 132.0), 64.0) << x << "," << y;
        }
}

// Five grey masks, smaller one by one, the three channels alike so that the
// tinted blit's coverage (the blue field) follows the grey.
TEST_F(Pictures, BubbleMasksShrinkOnBlackAndAreGrey) {
    Picture bubbles(BITMAP_BUBBLES);
    ASSERT_TRUE(bubbles.loaded());
    int previous = 16 * 16 + 1;
    for (int k = 0; k < 5; ++k) {
        int area = 0;
        for (int i = 0; i < 256; ++i) area += bubbles.at(i % 16, 16 * k + i / 16) != 0;
        EXPECT_LT(area, previous) << k;
        EXPECT_GT(area, 0) << k;
        previous = area;
        for (int corner : {0, 15}) EXPECT_EQ(bubbles.at(corner, 16 * k + corner), 0) << k;
    }
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(bubbles.at(x, y) >> 11, bubbles.at(x, y) & 31) << x << "," << y;
}

// The window's and the About box's icon: 32 x 32 on the transparent purple.
TEST(Icon, IsTheBadgeOnThePurple) {
    const EmbeddedResource* r = findEmbeddedResource("ICON", 335);
    ASSERT_TRUE(r && r->size >= 54u + 32u * 32u * 3u);
    EXPECT_EQ(field(r, 18, 4), 32);
    EXPECT_EQ(field(r, 22, 4), 32);
    EXPECT_EQ(field(r, 28, 2), 24);
    auto isPurple = [&](int x, int y) { // rows bottom first, blue green red
        const uint8_t* p = r->data + field(r, 10, 4) + (31 - y) * 96 + x * 3;
        return p[0] == 128 && p[1] == 0 && p[2] == 128;
    };
    EXPECT_TRUE(isPurple(0, 0) && isPurple(31, 0) && isPurple(0, 31) && isPurple(31, 31));
    EXPECT_FALSE(isPurple(16, 16));
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

// The backdrops scroll round: the seam from the last column back to the first
// is no rougher than the rougher neighbouring columns inside the picture
// (within a margin of their 90th percentile; a weed edge may fall on the seam
// as on any other column). The volume bar in the water's top rows is a
// deliberate break.
TEST_F(Pictures, WaterAndRockWrapAround) {
    for (auto [id, firstRow] : {std::pair{BITMAP_WATER, 6}, {BITMAP_ROCK, 0}}) {
        Picture p(id);
        ASSERT_TRUE(p.loaded());
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
        EXPECT_LE(seam, rough * 1.15 + 1.0) << id << ": seam " << seam << ", inside " << rough;
    }
}

} // namespace
