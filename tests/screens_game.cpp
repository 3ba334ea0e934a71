// The game screen drawn from plain test pictures whose pixels tell where they
// were sampled: the layers, their positions and the heads-up display.
#include "game/game_screen.h"
#include "game/world.h"
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "shell/state.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint16_t KEY = 0x8010;
constexpr uint16_t FISH = 0xFFE0, DEAD_FISH = 0x07FF, OBSTACLE = 0x7BEF;
constexpr uint16_t FLOOR_TILE = 0x07E0, CEILING_TILE = 0xFFFF;
constexpr uint16_t ROCK_BIT = 0x8000;

// A texture pixel names its own row and ten-column stripe.
uint16_t texel(int x, int y) {
    return static_cast<uint16_t>(y << 6 | x / 24);
}

Surface* texture(uint16_t extra) {
    std::vector<uint16_t> p(240 * 320);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) p[y * 240 + x] = texel(x, y) | extra;
    return makeSurface(240, 320, p);
}

Surface* spriteSheet() {
    std::vector<uint16_t> p(48 * 180, KEY);
    auto fill = [&](int x0, int y0, int w, int h, uint16_t v) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) p[y * 48 + x] = v;
    };
    fill(0, 0, 24, 24, FISH);
    fill(24, 0, 24, 24, DEAD_FISH);
    fill(0, 24, 36, 36, OBSTACLE);
    fill(0, 60, 24, 120, FLOOR_TILE);
    fill(24, 60, 24, 120, CEILING_TILE);
    return makeSurface(48, 180, p);
}

class GameScreen : public ::testing::Test {
  protected:
    void SetUp() override { setUpDevice("qvga", 240, 320, 120, 0); }
    void TearDown() override {
        for (int slot : {SLOT_WATER, SLOT_ROCK, SLOT_SPRITES, SLOT_BUBBLES}) {
            releaseSurface(surfaces[slot]);
            surfaces[slot] = nullptr;
        }
    }
    void setUpDevice(const char* device, int w, int h, int cx, int shrink) {
        useScreenLayout(device, w, h, cx, shrink);
        appMode = MODE_FRONTEND;
        newGame();
        gameSeconds = 0;
        gameMinutes = 0;
        msSinceSecond = 0;
        bestScore = 0;
    }
    void usePictures() {
        surfaces[SLOT_WATER] = texture(0);
        surfaces[SLOT_ROCK] = texture(ROCK_BIT);
        surfaces[SLOT_SPRITES] = spriteSheet();
        surfaces[SLOT_BUBBLES] = makeSurface(16, 80, std::vector<uint16_t>(16 * 80, 0));
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

TEST_F(GameScreen, TheFirstFrameShowsAStraightOpeningAndTheFishAtMidHeight) {
    usePictures();
    drawGameFrame();
    // Water band from row 68, 184 rows, sampled at the same screen rows; the
    // ceiling tile covers rows 56..79 and the floor tile rows 240..263.
    for (int y : {80, 120, 239}) {
        EXPECT_EQ(texel(200, y), backPixel(200, y)) << y;
        EXPECT_EQ(texel(100, y), backPixel(100, y)) << y;
    }
    EXPECT_EQ(CEILING_TILE, backPixel(200, 68));
    EXPECT_EQ(FLOOR_TILE, backPixel(200, 250));
    // Rock above and below, from the same rows of the rock picture.
    for (int y : {0, 30, 55, 264, 319}) EXPECT_EQ(texel(130, y) | ROCK_BIT, backPixel(130, y)) << y;
    // Entry 15 at x 35..58, entries 10 and 5 trailing at the same height.
    for (int x : {1, 20, 40, 57}) EXPECT_EQ(FISH, backPixel(x, 150)) << x;
    EXPECT_EQ(texel(70, 150), backPixel(70, 150));
    EXPECT_EQ(FISH, backPixel(45, 170));
    EXPECT_EQ(texel(45, 174), backPixel(45, 174));
    // "Get ready!" centred under the middle of the screen.
    EXPECT_TRUE(anyWhite(60, 163, 120, 28));
    EXPECT_FALSE(anyWhite(0, 80, 240, 60));
}

TEST_F(GameScreen, TheCaveAndItsTexturesMoveWithTheScroll) {
    usePictures();
    world.columnCount = 13;
    world.scrollFraction = 0.99f;
    gameSeconds = 3;
    drawGameFrame();
    // Column i starts at trunc(24 i - 23.76) and shows cave column 13 + i,
    // whose texture stripe is (13 + i) mod 10; the eleventh reaches the edge.
    // Column 0 (x -23..0) is covered by column 1 (x 0..23, cave column 14).
    EXPECT_EQ(texel(0, 100) | 4, backPixel(0, 100));
    EXPECT_EQ(texel(0, 100) | 4, backPixel(23, 100));
    EXPECT_EQ(texel(0, 100) | 5, backPixel(24, 100));
    EXPECT_EQ(texel(0, 100) | 3, backPixel(230, 100)); // column 10: cave column 23
    EXPECT_EQ(texel(0, 300) | 3 | ROCK_BIT, backPixel(239, 300));
}

TEST_F(GameScreen, ObstaclesStandAtTheirHeightAndOnlyTheStepHitsTheFish) {
    usePictures();
    gameSeconds = 3;
    world.obstacleY[(world.columnCount + 1) % RING_SIZE] = 0.0f;
    int32_t energy = fishEnergy;
    drawGameFrame();
    EXPECT_EQ(energy, fishEnergy); // drawing changes nothing
    // Column 1 at x 24, y trunc(160 - 0 - 24 - 6) = 130, 36 x 36.
    EXPECT_EQ(OBSTACLE, backPixel(26, 132));
    EXPECT_EQ(OBSTACLE, backPixel(33, 146));
    EXPECT_EQ(texel(26, 127), backPixel(26, 127));
    testObstacles();
    EXPECT_EQ(0, fishEnergy); // the fish at x 35, height 0 is inside its box
}

TEST_F(GameScreen, ADeadFishIsDrawnOnceWithItsOwnImage) {
    usePictures();
    fishEnergy = 0;
    drawGameFrame();
    EXPECT_EQ(DEAD_FISH, backPixel(40, 150));
    EXPECT_EQ(texel(20, 150), backPixel(20, 150)); // no trailing copies
}

TEST_F(GameScreen, TheSmallLayoutUsesTheSameFormulas) {
    setUpDevice("small", 176, 220, 88, 20);
    usePictures();
    gameSeconds = 3;
    drawGameFrame();
    // Band from trunc(110 - 55 - 12) = 43, fish rows 98..121, floor tile at 165.
    EXPECT_EQ(texel(150, 60), backPixel(150, 60));
    EXPECT_EQ(CEILING_TILE, backPixel(150, 40));
    EXPECT_EQ(FISH, backPixel(40, 100));
    EXPECT_EQ(FLOOR_TILE, backPixel(150, 170));
    EXPECT_EQ(texel(150, 200) | ROCK_BIT, backPixel(150, 200));
}

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
