// The blits: clipping, keys, blending, smoothing and the rotated display.
#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr uint16_t WHITE = 0xFFDF;
constexpr uint16_t KEY = 0x8010;

struct SurfaceDeleter {
    void operator()(Surface* s) const { releaseSurface(s); }
};
typedef std::unique_ptr<Surface, SurfaceDeleter> SurfacePtr;

// w x h pixels numbered 1, 2, 3, ... row by row.
SurfacePtr numbered(int w, int h) {
    std::vector<uint16_t> p(static_cast<size_t>(w * h));
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint16_t>(i + 1);
    return SurfacePtr(makeSurface(w, h, p));
}

class Blit : public ::testing::Test {
  protected:
    void SetUp() override { useGfxHost("qvga"); }
};

TEST_F(Blit, LeftClipTakesTheLaterSourceColumns) {
    SurfacePtr s = numbered(20, 2);
    EXPECT_EQ(blitOpaque(&backBuffer, -5, 0, 20, 1, s.get(), 0, 0), 1);
    for (int x = 0; x < 15; ++x) EXPECT_EQ(backPixel(x, 0), 6 + x) << x;
    EXPECT_EQ(backPixel(15, 0), 0);
    EXPECT_EQ(backPixel(0, 1), 0);
}

TEST_F(Blit, SourceAndScreenBoundsAndInvalidArguments) {
    SurfacePtr s = numbered(20, 20);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 5, 5, s.get(), 20, 0), 1); // beyond the source
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 0, 5, s.get(), 0, 0), 0);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 5, 5, nullptr, 0, 0), 0);
    EXPECT_EQ(blitOpaque(&backBuffer, 240, 0, 5, 5, s.get(), 0, 0), 1);
    EXPECT_EQ(blitOpaque(&backBuffer, 241, 0, 5, 5, s.get(), 0, 0), 1);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 321, 5, 5, s.get(), 0, 0), 1);
    EXPECT_EQ(blitKeyed(&backBuffer, 0, 0, 5, 5, s.get(), KEY, -1, 0), 0);
    EXPECT_EQ(blitTinted(&backBuffer, -30, 0, 20, 5, s.get(), 255, 255, 255, 0, 0), 0);
    EXPECT_EQ(backScreen(), std::vector<uint16_t>(240 * 320, 0));

    Surface empty = {nullptr, 20, 20};
    EXPECT_EQ(blitKeyed(&backBuffer, 0, 0, 5, 5, &empty, KEY, 0, 0), 0);
    // Right and bottom clip: a 20 x 20 picture at (230, 310) keeps 10 x 10.
    EXPECT_EQ(blitOpaque(&backBuffer, 230, 310, 20, 20, s.get(), 0, 0), 1);
    EXPECT_EQ(backPixel(239, 319), 10 + 9 * 20);
    // The source clip: srcX 15 leaves 5 columns.
    fillBackBuffer(0);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 20, 1, s.get(), 15, 0), 1);
    EXPECT_EQ(backPixel(4, 0), 20);
    EXPECT_EQ(backPixel(5, 0), 0);

    STGapiBuffer eightBit;
    eightBit.base = backBuffer.base;
    eightBit.props.cBPP = 8;
    EXPECT_EQ(blitOpaque(&eightBit, 0, 0, 5, 5, s.get(), 0, 0), 0);
}

TEST_F(Blit, KeyedLeavesTheKeyOut) {
    SurfacePtr s(makeSurface(3, 1, {KEY, 0x1234, KEY}));
    fillBackBuffer(0x0841);
    EXPECT_EQ(blitKeyed(&backBuffer, 0, 0, 3, 1, s.get(), KEY, 0, 0), 1);
    EXPECT_EQ(backPixel(0, 0), 0x0841);
    EXPECT_EQ(backPixel(1, 0), 0x1234);
    EXPECT_EQ(backPixel(2, 0), 0x0841);
    EXPECT_EQ(blitKeyed(&backBuffer, 0, 1, 3, 1, s.get(), NO_COLOUR_KEY, 0, 0), 1);
    EXPECT_EQ(backPixel(0, 1), KEY);
}

void blendAt(uint16_t from, uint16_t toward, int32_t level, uint16_t expected) {
    uint16_t pixel = from;
    STGapiBuffer b;
    b.cursor = &pixel;
    b.blendMode = 1;
    b.blendLevel = level;
    blendPixel(&b, toward);
    EXPECT_EQ(pixel, expected) << std::hex << from << " toward " << toward << " at " << level;
}

TEST(BlendPixel, ThirtyTwoLevels) {
    blendAt(0x0000, WHITE, 16, 0x7BEF);
    blendAt(0x0000, WHITE, 31, 0xF79E);
    blendAt(WHITE, 0x0000, 16, 0x7BEF);
    blendAt(0x1234, 0x1234, 20, 0x1234);
    blendAt(0xABCD, 0x0000, 0, 0xABCD);
    blendAt(0x0000, 0xF800, 8, 0x3800); // red alone: 31 * 8 / 32 = 7
}

TEST_F(Blit, TranslucentLevels) {
    SurfacePtr s(makeSurface(2, 1, {WHITE, KEY}));
    fillBackBuffer(0);
    blitTranslucent(&backBuffer, 0, 0, 2, 1, s.get(), 0, KEY, 0, 0);
    EXPECT_EQ(backPixel(0, 0), 0);
    blitTranslucent(&backBuffer, 0, 1, 2, 1, s.get(), 16, KEY, 0, 0);
    EXPECT_EQ(backPixel(0, 1), 0x7BEF);
    EXPECT_EQ(backPixel(1, 1), 0); // keyed out
    blitTranslucent(&backBuffer, 0, 2, 2, 1, s.get(), 32, NO_COLOUR_KEY, 0, 0);
    EXPECT_EQ(backPixel(0, 2), WHITE);
    EXPECT_EQ(backPixel(1, 2), KEY);
    blitTranslucent(&backBuffer, 0, 3, 2, 1, s.get(), -1, KEY, 0, 0);
    EXPECT_EQ(backPixel(0, 3), WHITE);
    // The level is stored before the arguments are checked.
    EXPECT_EQ(blitTranslucent(&backBuffer, 0, 0, 0, 1, s.get(), 7, KEY, 0, 0), 0);
    EXPECT_EQ(backBuffer.blendLevel, 7);
    EXPECT_EQ(backBuffer.blendMode, 1u);
}

TEST_F(Blit, TintedWeighsByTheBlueField) {
    SurfacePtr glyph(makeSurface(3, 1, {0x0000, 0x001F, 0x0010}));
    fillBackBuffer(0);
    blitTinted(&backBuffer, 0, 0, 3, 1, glyph.get(), 255, 255, 255, 0, 0);
    EXPECT_EQ(backPixel(0, 0), 0);      // no coverage
    EXPECT_EQ(backPixel(1, 0), 0xF79E); // 31/32 of the way
    EXPECT_EQ(backPixel(2, 0), 0x7BEF); // half way
    fillBackBuffer(0x1234);
    blitTinted(&backBuffer, 0, 0, 1, 1, glyph.get(), 255, 0, 0, 0, 0);
    EXPECT_EQ(backPixel(0, 0), 0x1234);
}

TEST(EdgeAverage, FifthsOfTheTouchingPixels) {
    STGapiBuffer b;
    b.props.ffFormat = kfDirect565;
    EXPECT_EQ(edgeAverage(&b, 0x0000, WHITE, WHITE, KEY, KEY, KEY), 0x630C);
    EXPECT_EQ(edgeAverage(&b, WHITE, KEY, KEY, KEY, KEY, KEY), WHITE);
    EXPECT_EQ(edgeAverage(&b, 0xFFFF, KEY, KEY, KEY, KEY, KEY), 0xFFDF); // green's low bit cleared
    EXPECT_EQ(edgeAverage(&b, 0, 0xF800, 0xF800, 0xF800, 0xF800, KEY), 0xC000);
    b.props.ffFormat = kfDirect555;
    EXPECT_EQ(edgeAverage(&b, 0x0000, WHITE, WHITE, KEY, KEY, KEY), 0);
}

TEST_F(Blit, SmoothKeyedReadsOnlyInsideTheRectangle) {
    // A 3 x 3 picture: keyed everywhere but the centre.
    SurfacePtr s(makeSurface(3, 3, {KEY, KEY, KEY, KEY, WHITE, KEY, KEY, KEY, KEY}));
    fillBackBuffer(0);
    EXPECT_EQ(blitKeyedSmooth(&backBuffer, 0, 0, 3, 3, s.get(), KEY, 0, 0), 1);
    EXPECT_EQ(backPixel(1, 1), WHITE);
    EXPECT_EQ(backPixel(0, 0), 0); // corners untouched
    EXPECT_EQ(backPixel(2, 2), 0);
    // Edge pixels see the centre along the edge only: the top-middle pixel's
    // left and right are keyed and it has no up or down, so it stays black.
    EXPECT_EQ(backPixel(1, 0), 0);
    EXPECT_EQ(backPixel(0, 1), 0);

    // A 5 x 3 picture: the middle row is keyed, white above and below.
    SurfacePtr t(makeSurface(5, 3,
                             {WHITE, WHITE, WHITE, WHITE, WHITE, KEY, KEY, KEY, KEY, KEY, WHITE,
                              WHITE, WHITE, WHITE, WHITE}));
    fillBackBuffer(0);
    blitKeyedSmooth(&backBuffer, 0, 0, 5, 3, t.get(), KEY, 0, 0);
    EXPECT_EQ(backPixel(2, 1), 0x630C); // up and down are white
    EXPECT_EQ(backPixel(0, 1), 0x630C); // left edge: up and down still count
    EXPECT_EQ(backPixel(2, 0), WHITE);
    // A pixel of the top edge sees only left and right.
    SurfacePtr u(makeSurface(3, 2, {WHITE, KEY, WHITE, KEY, KEY, KEY}));
    fillBackBuffer(0);
    blitKeyedSmooth(&backBuffer, 0, 0, 3, 2, u.get(), KEY, 0, 0);
    EXPECT_EQ(backPixel(1, 0), 0x630C);
    EXPECT_EQ(backPixel(1, 1), 0); // the bottom edge: left and right are keyed
}

// The same drawing on the portrait and the rotated layout.
std::vector<uint16_t> drawEverything(const char* device) {
    useGfxHost(device);
    std::vector<uint16_t> p(30 * 20);
    for (size_t i = 0; i < p.size(); ++i) p[i] = i % 7 == 0 ? KEY : static_cast<uint16_t>(i * 97);
    SurfacePtr s(makeSurface(30, 20, p));
    fillBackBuffer(0x2104);
    blitOpaque(&backBuffer, -4, -3, 30, 20, s.get(), 0, 0);
    blitKeyed(&backBuffer, 100, 50, 30, 20, s.get(), KEY, 0, 0);
    blitKeyedSmooth(&backBuffer, 220, 300, 30, 20, s.get(), KEY, 2, 1);
    blitTranslucent(&backBuffer, 50, 200, 30, 20, s.get(), 12, KEY, 0, 0);
    blitTinted(&backBuffer, 10, 310, 30, 20, s.get(), 200, 100, 50, 0, 0);
    return backScreen();
}

TEST(RotatedDisplay, EveryBlitWritesTheSameLogicalPixels) {
    std::vector<uint16_t> portrait = drawEverything("qvga");
    EXPECT_EQ(drawEverything("qvga-rotated"), portrait);
}

TEST(ScreenModes, SizesAndClipping) {
    useGfxHost("qvga");
    SurfacePtr s = numbered(240, 320);
    setScreenMode(&backBuffer, SCREEN_MODE_STANDARD);
    EXPECT_EQ(screenWidth, 240);
    EXPECT_EQ(screenHeight, 320);
    setScreenMode(&backBuffer, SCREEN_MODE_RAW);
    EXPECT_EQ(screenWidth, 240);
    EXPECT_EQ(screenHeight, 320);
    EXPECT_EQ(setScreenMode(&backBuffer, SCREEN_MODE_SQUARE), 1);
    EXPECT_EQ(screenHeight, 240);
    blitOpaque(&backBuffer, 0, 0, 240, 320, s.get(), 0, 0);
    EXPECT_EQ(backPixel(0, 239), static_cast<uint16_t>(1 + 239 * 240));
    EXPECT_EQ(backPixel(0, 240), 0); // cut to the top 240 rows

    useGfxHost("qvga");
    fillBackBuffer(0);
    EXPECT_EQ(setScreenMode(&backBuffer, SCREEN_MODE_SMALL), 1);
    EXPECT_EQ(screenWidth, 176);
    EXPECT_EQ(screenHeight, 220);
    EXPECT_EQ(blitOpaque(&backBuffer, 200, 0, 10, 10, s.get(), 0, 0), 1);
    screenWidth = 240;
    screenHeight = 320;
    EXPECT_EQ(backScreen(), std::vector<uint16_t>(240 * 320, 0));
}

} // namespace
