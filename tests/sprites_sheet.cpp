// The sprite sheet and the bubble masks as the game loads them from the
// executable's resources: sizes, depths, the purple key around every sprite,
// the regions the game cuts out, and the bubble sizes.
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "platform/wince/resources.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int CW = 24;

struct Rect {
    int x, y, w, h;
};

const Rect LIVING = {0, 0, CW, CW};
const Rect DEAD = {CW, 0, CW, CW};
const Rect OBSTACLE = {0, 24, 36, 36};
const Rect KEY_ONLY = {36, 24, 12, 36};
Rect floorTile(int s) {
    return {0, 60 + s * CW, CW, CW};
}
Rect ceilingTile(int s) {
    return {CW, 60 + s * CW, CW, CW};
}

class Sprites : public ::testing::Test {
  protected:
    void SetUp() override {
        useGfxHost("qvga");
        spriteKey = colourFromRgb(&backBuffer, 0x800080);
        sheet = loadPicture(BITMAP_SPRITES);
        bubbles = loadPicture(BITMAP_BUBBLES);
        ASSERT_NE(sheet, nullptr);
        ASSERT_NE(sheet->pixels, nullptr);
        ASSERT_NE(bubbles, nullptr);
        ASSERT_NE(bubbles->pixels, nullptr);
    }
    void TearDown() override {
        releaseSurface(sheet);
        releaseSurface(bubbles);
    }
    uint16_t at(int x, int y) const { return sheet->pixels[x + y * sheet->width]; }
    bool opaque(int x, int y) const { return at(x, y) != spriteKey; }
    int opaqueCount(Rect r) const {
        int n = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) n += opaque(x, y);
        return n;
    }
    uint16_t bubble(int k, int x, int y) const { return bubbles->pixels[x + (16 * k + y) * 16]; }
    Surface* sheet = nullptr;
    Surface* bubbles = nullptr;
};

TEST_F(Sprites, PurpleSurroundsEverySprite) {
    EXPECT_EQ(opaqueCount(KEY_ONLY), 0) << "right of the obstacle";
    for (int x : {0, 47})
        for (int y : {0, 179}) EXPECT_FALSE(opaque(x, y)) << "corner " << x << "," << y;
    // The top corners of the fish cells and of the floor tiles, and the
    // bottom corners of the ceiling tiles, are background too.
    for (int s = 0; s < 5; ++s) {
        Rect f = floorTile(s), c = ceilingTile(s);
        EXPECT_FALSE(opaque(f.x, f.y)) << s;
        EXPECT_FALSE(opaque(f.x + CW - 1, f.y)) << s;
        EXPECT_FALSE(opaque(c.x, c.y + CW - 1)) << s;
        EXPECT_FALSE(opaque(c.x + CW - 1, c.y + CW - 1)) << s;
    }
    for (Rect r : {LIVING, DEAD}) EXPECT_FALSE(opaque(r.x + r.w - 1, r.y + r.h - 1));
}

TEST_F(Sprites, EveryRegionHoldsASprite) {
    for (Rect r : {LIVING, DEAD, OBSTACLE}) {
        int n = opaqueCount(r);
        EXPECT_GT(n, r.w * r.h / 5) << r.x << "," << r.y;
        EXPECT_LT(n, r.w * r.h) << r.x << "," << r.y;
    }
    for (int s = 0; s < 5; ++s) {
        EXPECT_GT(opaqueCount(floorTile(s)), CW * CW / 8) << "floor tile " << s;
        // standing on the bottom edge of its cell
        EXPECT_GT(opaqueCount({0, floorTile(s).y + CW - 1, CW, 1}), 0) << "floor tile " << s;
    }
}

TEST_F(Sprites, TheDeadFishDiffersInAFewPixels) {
    int differ = 0;
    for (int y = 0; y < CW; ++y)
        for (int x = 0; x < CW; ++x) differ += at(x, y) != at(CW + x, y);
    EXPECT_GE(differ, 1);
    EXPECT_LE(differ, 20);
}

TEST_F(Sprites, CeilingTilesAreTheFloorTilesUpsideDown) {
    for (int s = 0; s < 5; ++s)
        for (int y = 0; y < CW; ++y)
            for (int x = 0; x < CW; ++x)
                ASSERT_EQ(at(CW + x, ceilingTile(s).y + y), at(x, floorTile(s).y + CW - 1 - y))
                    << "style " << s << " at " << x << "," << y;
}

// The keyed blit compares exact values, so a sprite pixel close to the purple
// would show as a purple speck; and a fringe blended with the purple would
// turn into one after the edge smoothing.
TEST_F(Sprites, NoSpritePixelIsNearThePurple) {
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 48; ++x) {
            uint16_t p = at(x, y);
            if (p == spriteKey) continue;
            int r = (p >> 11) << 3, g = ((p >> 5) & 63) << 2, b = (p & 31) << 3;
            double distance = std::sqrt((r - 128.0) * (r - 128) + g * g + (b - 128.0) * (b - 128));
            ASSERT_GT(distance, 64.0) << x << "," << y;
        }
}

TEST_F(Sprites, TheObstacleIsRedAndTheFishIsOrange) {
    auto mean = [this](Rect rect, int* r, int* g, int* b) {
        long sr = 0, sg = 0, sb = 0, n = 0;
        for (int y = rect.y; y < rect.y + rect.h; ++y)
            for (int x = rect.x; x < rect.x + rect.w; ++x)
                if (opaque(x, y)) {
                    uint16_t p = at(x, y);
                    sr += (p >> 11) << 3;
                    sg += ((p >> 5) & 63) << 2;
                    sb += (p & 31) << 3;
                    ++n;
                }
        *r = static_cast<int>(sr / n);
        *g = static_cast<int>(sg / n);
        *b = static_cast<int>(sb / n);
    };
    int r, g, b;
    mean(OBSTACLE, &r, &g, &b);
    EXPECT_GT(r, 2 * g);
    EXPECT_GT(r, 2 * b);
    mean(LIVING, &r, &g, &b);
    EXPECT_GT(r, g);
    EXPECT_GT(g, b);
    EXPECT_GT(r, 150);
}

// Counts the separate groups of lit pixels in a 16 x 16 mask (eight-connected).
int blobs(const std::vector<bool>& lit) {
    std::vector<bool> seen(lit.size(), false);
    int count = 0;
    for (int start = 0; start < 256; ++start) {
        if (!lit[start] || seen[start]) continue;
        ++count;
        std::vector<int> stack = {start};
        seen[start] = true;
        while (!stack.empty()) {
            int p = stack.back();
            stack.pop_back();
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int x = p % 16 + dx, y = p / 16 + dy;
                    if (x < 0 || y < 0 || x > 15 || y > 15) continue;
                    int q = x + 16 * y;
                    if (lit[q] && !seen[q]) {
                        seen[q] = true;
                        stack.push_back(q);
                    }
                }
        }
    }
    return count;
}

TEST_F(Sprites, BubbleMasksShrinkOnBlackAndTheLargestHasABrightRim) {
    int previous = 16 * 16 + 1;
    for (int k = 0; k < 5; ++k) {
        for (int x : {0, 15})
            for (int y : {0, 15}) EXPECT_EQ(bubble(k, x, y), 0) << "mask " << k;
        std::vector<bool> lit(256);
        int area = 0;
        for (int i = 0; i < 256; ++i) {
            lit[i] = bubble(k, i % 16, i / 16) != 0;
            area += lit[i];
        }
        EXPECT_LT(area, previous) << "mask " << k;
        EXPECT_GT(area, 0) << "mask " << k;
        previous = area;
        EXPECT_EQ(blobs(lit), k == 4 ? 2 : 1) << "mask " << k;
    }
    // grey masks: the three channels agree, so the tinted blit's coverage
    // (the blue field) follows the grey
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 16; ++x) {
            uint16_t p = bubbles->pixels[x + y * 16];
            EXPECT_EQ(p >> 11, p & 31) << x << "," << y;
        }
    // The largest has a bright rim and a dimmer inside.
    int brightest = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) brightest = std::max(brightest, bubble(0, x, y) & 31);
    EXPECT_GE(brightest, 28);
    int centre = bubble(0, 8, 8) & 31, rim = bubble(0, 8, 1) & 31;
    EXPECT_GT(centre, 0);
    EXPECT_LT(centre, rim);
    int lit = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) lit += bubble(0, x, y) != 0;
    EXPECT_GT(lit, 16 * 16 * 2 / 3) << "nearly fills its cell";
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
