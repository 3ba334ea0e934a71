// The sprite sheet and the bubble masks as the game loads them from the
// executable's resources: the purple key around every sprite, the regions the
// game cuts out, the sprites' colours and the bubble sizes; and the icon.
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "platform/wince/resources.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr int CW = 24;

struct Rect {
    int x, y, w, h;
};

const Rect LIVING = {0, 0, CW, CW}, DEAD = {CW, 0, CW, CW}, OBSTACLE = {0, 24, 36, 36};
const Rect KEY_ONLY = {36, 24, 12, 36};
Rect floorTile(int s) {
    return {0, 60 + s * CW, CW, CW};
}
Rect ceilingTile(int s) {
    return {CW, 60 + s * CW, CW, CW};
}

// A pixel's channels with their low bits zero.
Rgb8 channels(uint16_t p) {
    return {(p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3};
}

class Sprites : public ::testing::Test {
  protected:
    void SetUp() override {
        useGfxHost("qvga");
        spriteKey = colourFromRgb(&backBuffer, 0x800080);
        sheet.reset(new Picture(BITMAP_SPRITES));
        bubbles.reset(new Picture(BITMAP_BUBBLES));
        ASSERT_TRUE(sheet->loaded());
        ASSERT_TRUE(bubbles->loaded());
    }
    uint16_t at(int x, int y) const { return sheet->at(x, y); }
    bool opaque(int x, int y) const { return at(x, y) != spriteKey; }
    int opaqueCount(Rect r) const {
        int n = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) n += opaque(x, y);
        return n;
    }
    // The mean colour of the region's sprite pixels.
    Rgb8 mean(Rect r) const {
        long sum[3] = {}, n = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x)
                if (opaque(x, y)) {
                    Rgb8 c = channels(at(x, y));
                    sum[0] += c.r, sum[1] += c.g, sum[2] += c.b, ++n;
                }
        return {static_cast<int>(sum[0] / n), static_cast<int>(sum[1] / n),
                static_cast<int>(sum[2] / n)};
    }
    uint16_t bubble(int k, int x, int y) const { return bubbles->at(x, 16 * k + y); }
    std::unique_ptr<Picture> sheet, bubbles;
};

// Purple around every sprite: the corners of the sheet, of the fish cells and
// of the tiles (top corners of the floor tiles, bottom ones of the ceiling
// tiles) and the column right of the obstacle; each region holds a sprite
// standing on its edge; the dead fish differs in a few pixels and the ceiling
// tiles are the floor tiles upside down.
TEST_F(Sprites, EveryRegionHoldsASpriteOnThePurple) {
    EXPECT_EQ(opaqueCount(KEY_ONLY), 0) << "right of the obstacle";
    for (int x : {0, 47})
        for (int y : {0, 179}) EXPECT_FALSE(opaque(x, y)) << "corner " << x << "," << y;
    for (Rect r : {LIVING, DEAD, OBSTACLE}) {
        int n = opaqueCount(r);
        EXPECT_GT(n, r.w * r.h / 5) << r.x << "," << r.y;
        EXPECT_LT(n, r.w * r.h) << r.x << "," << r.y;
        if (r.w == CW) {
            EXPECT_FALSE(opaque(r.x + r.w - 1, r.y + r.h - 1));
        }
    }
    for (int s = 0; s < 5; ++s) {
        SCOPED_TRACE(s);
        Rect f = floorTile(s), c = ceilingTile(s);
        EXPECT_FALSE(opaque(f.x, f.y));
        EXPECT_FALSE(opaque(f.x + CW - 1, f.y));
        EXPECT_FALSE(opaque(c.x, c.y + CW - 1));
        EXPECT_FALSE(opaque(c.x + CW - 1, c.y + CW - 1));
        EXPECT_GT(opaqueCount(f), CW * CW / 8);
        EXPECT_GT(opaqueCount({0, f.y + CW - 1, CW, 1}), 0); // on the cell's bottom edge
        for (int y = 0; y < CW; ++y)
            for (int x = 0; x < CW; ++x)
                ASSERT_EQ(at(CW + x, c.y + y), at(x, f.y + CW - 1 - y)) << x << "," << y;
    }
    int differ = 0;
    for (int y = 0; y < CW; ++y)
        for (int x = 0; x < CW; ++x) differ += at(x, y) != at(CW + x, y);
    EXPECT_GE(differ, 1);
    EXPECT_LE(differ, 20);
}

// The keyed blit compares exact values, so a sprite pixel close to the purple
// would show as a purple speck; and a fringe blended with the purple would
// turn into one after the edge smoothing. The obstacle is red, the fish
// orange.
TEST_F(Sprites, SpritesAreFarFromThePurpleTheObstacleRedAndTheFishOrange) {
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 48; ++x) {
            if (!opaque(x, y)) continue;
            Rgb8 c = channels(at(x, y));
            double distance = std::hypot(std::hypot(c.r - 128.0, c.g), c.b - 128.0);
            ASSERT_GT(distance, 64.0) << x << "," << y;
        }
    Rgb8 obstacle = mean(OBSTACLE), fish = mean(LIVING);
    EXPECT_GT(obstacle.r, 2 * obstacle.g);
    EXPECT_GT(obstacle.r, 2 * obstacle.b);
    EXPECT_GT(fish.r, fish.g);
    EXPECT_GT(fish.g, fish.b);
    EXPECT_GT(fish.r, 150);
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

TEST_F(Sprites, BubbleMasksShrinkOnBlackAndTheLargestHasABrightRim) {
    int previous = 16 * 16 + 1;
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        for (int x : {0, 15})
            for (int y : {0, 15}) EXPECT_EQ(bubble(k, x, y), 0);
        std::vector<bool> lit(256);
        int area = 0;
        for (int i = 0; i < 256; ++i) area += lit[i] = bubble(k, i % 16, i / 16) != 0;
        EXPECT_LT(area, previous);
        EXPECT_GT(area, 0);
        previous = area;
        EXPECT_EQ(blobs(lit), k == 4 ? 2 : 1);
        if (k == 0) {
            EXPECT_GT(area, 16 * 16 * 2 / 3) << "nearly fills its cell";
        }
    }
    // Grey masks: the three channels agree, so the tinted blit's coverage
    // (the blue field) follows the grey.
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(bubbles->at(x, y) >> 11, bubbles->at(x, y) & 31) << x << "," << y;
    // The largest has a bright rim and a dimmer inside.
    int brightest = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) brightest = std::max(brightest, bubble(0, x, y) & 31);
    EXPECT_GE(brightest, 28);
    int centre = bubble(0, 8, 8) & 31, rim = bubble(0, 8, 1) & 31;
    EXPECT_GT(centre, 0);
    EXPECT_LT(centre, rim);
}

} // namespace

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
    const uint8_t* pixels = d + le32(10);
    auto isPurple = [&](int x, int y) { // rows bottom first, blue green red
        const uint8_t* p = pixels + (31 - y) * 96 + x * 3;
        return p[0] == 128 && p[1] == 0 && p[2] == 128;
    };
    for (int corner : {0, 31}) {
        EXPECT_TRUE(isPurple(corner, 0));
        EXPECT_TRUE(isPurple(corner, 31));
    }
    int opaque = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) opaque += !isPurple(x, y);
    // A disc of radius 16 covers about 804 of the 1024 pixels.
    EXPECT_GT(opaque, 740);
    EXPECT_LT(opaque, 860);
    EXPECT_FALSE(isPurple(16, 16));
}
