// Pixel format, the display buffers' layouts on every device, and presenting
// (the golden frames show every layout's presented picture).
#include "frontend/frontend.h"
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "platform/gapi/device.h"
#include "shell/state.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

uint32_t rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r | g << 8 | b << 16);
}

TEST(PixelFormat, ConversionsByFormatFlags) {
    const uint32_t cases[][3] = {
        {kfDirect565, rgb(255, 255, 255), 0xFFDF}, {kfDirect565, rgb(128, 0, 128), 0x8010},
        {kfDirect565, rgb(132, 0, 132), 0x8010},   {kfDirect555, rgb(255, 255, 255), 0x7FFF},
        {kfDirect555, rgb(255, 0, 0), 0x7C00},     {0, rgb(255, 255, 255), 0}};
    for (const auto& c : cases) EXPECT_EQ(convertColour(c[0], c[1]), c[2]) << std::hex << c[1];
    // Green keeps only its top five bits, so nothing converts to the no-key value.
    for (uint32_t flags : {uint32_t{kfDirect565}, uint32_t{kfDirect555}})
        for (int g = 0; g < 256; ++g) ASSERT_NE(convertColour(flags, rgb(255, g, 255)), 0xFFFF);
    // colourFromRgb converts only for a 16-bit buffer.
    STGapiBuffer b;
    b.props.ffFormat = kfDirect565;
    b.props.cBPP = 16;
    EXPECT_EQ(colourFromRgb(&b, rgb(128, 0, 128)), 0x8010);
    for (uint32_t bpp : {8u, 24u}) {
        b.props.cBPP = bpp;
        EXPECT_EQ(colourFromRgb(&b, rgb(255, 255, 255)), 0);
    }
}

struct Layout {
    const char* device;
    int32_t screenW, screenH, xPitch, yPitch, minOffset, maxOffset;
};

TEST(BufferLayout, PitchesOffsetsAndScreenSizeOnEveryDevice) {
    const Layout layouts[] = {{"qvga", 240, 320, 1, 240, 0, 76799},
                              {"qvga-rotated", 240, 320, -320, 1, -76480, 319},
                              {"raw", 240, 320, 1, 240, 0, 76799},
                              {"small", 176, 220, 1, 176, 0, 38719},
                              {"square", 240, 240, 1, 240, 0, 57599}};
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.device);
        useGfxHost(l.device);
        EXPECT_EQ(screenWidth, l.screenW);
        EXPECT_EQ(screenHeight, l.screenH);
        for (STGapiBuffer* b : {&blankBuffer, &backBuffer, &screenBuffer}) {
            EXPECT_EQ(b->xPitch, l.xPitch);
            EXPECT_EQ(b->yPitch, l.yPitch);
            EXPECT_EQ(b->minOffset, l.minOffset);
            EXPECT_EQ(b->maxOffset, l.maxOffset);
        }
        EXPECT_EQ(backBuffer.base, backBuffer.block - l.minOffset);
        EXPECT_EQ(screenBuffer.block, nullptr);
    }
}

TEST(DisplayBuffers, AllocationCopyAndPresentingRefuseWhatTheyCannotDo) {
    useGfxHost("qvga");
    EXPECT_EQ(allocOffscreen(&backBuffer), 0); // already has a block
    STGapiBuffer eightBit;
    eightBit.props.cBPP = 8;
    eightBit.maxOffset = 99;
    EXPECT_EQ(allocOffscreen(&eightBit), 0);
    EXPECT_EQ(eightBit.block, nullptr);

    fillBackBuffer(0x1234);
    EXPECT_EQ(copyBuffer(&backBuffer, &screenBuffer), 0); // the display has no block
    EXPECT_EQ(backPixel(10, 10), 0x1234);
    EXPECT_EQ(presentFrame(), 1);
    EXPECT_EQ(allocOffscreen(&screenBuffer), 0); // its base is set now
    EXPECT_EQ(screenBuffer.block, nullptr);

    std::fill_n(blankBuffer.block, blankBuffer.maxOffset - blankBuffer.minOffset + 1, 0);
    EXPECT_EQ(copyBuffer(&backBuffer, &blankBuffer), 1);
    EXPECT_EQ(backPixel(10, 10), 0);
    EXPECT_EQ(backPixel(239, 319), 0);

    // No frame pointer, no copy.
    fillBackBuffer(0xF800);
    GXSuspend();
    EXPECT_EQ(presentFrame(), 0);
    EXPECT_EQ(screenBuffer.base, nullptr);
    std::vector<uint16_t> shown;
    readDeviceScreen(&shown);
    EXPECT_EQ(shown[0], 0x1234); // the frame presented before
    GXResume();
    EXPECT_EQ(presentFrame(), 1);
    readDeviceScreen(&shown);
    EXPECT_EQ(shown[0], 0xF800);
}

TEST(Presentation, ShiftedCopyMovesRowsRightAndKeepsTheBottom) {
    useGfxHost("qvga");
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            blankBuffer.base[x + y * 240] = static_cast<uint16_t>(1 + x + (y % 200) * 240);
    fillBackBuffer(0xAAAA);
    ASSERT_EQ(copyBufferShifted(&backBuffer, &blankBuffer, 3), 1);
    EXPECT_EQ(backPixel(0, 0), 0xAAAA);             // before the shifted start: unwritten
    EXPECT_EQ(backPixel(3, 0), 1);                  // source (0, 0)
    EXPECT_EQ(backPixel(1, 1), 1 + 238);            // the end of row 0 wraps into row 1
    EXPECT_EQ(backPixel(5, 229), 1 + 2 + 29 * 240); // last copied row
    EXPECT_EQ(backPixel(2, 230), 1 + 239 + 29 * 240);
    EXPECT_EQ(backPixel(3, 230), 0xAAAA); // the bottom 90 rows stay as they were
    EXPECT_EQ(copyBufferShifted(&backBuffer, &screenBuffer, 0), 0);
    EXPECT_EQ(copyBufferShifted(&backBuffer, &blankBuffer, -1), 0);
}

// The clear fills the logical screen the buffer is laid out for, and
// nothing without a buffer.
TEST(Presentation, ClearScreenStaysInsideTheLogicalScreen) {
    useGfxHost("qvga");
    fillBackBuffer(0xAAAA);
    ASSERT_EQ(setScreenMode(&backBuffer, SCREEN_MODE_SQUARE), 1);
    clearScreen();
    EXPECT_EQ(backPixel(239, 239), 0);
    EXPECT_EQ(backPixel(0, 240), 0xAAAA);
    uint16_t* base = backBuffer.base;
    backBuffer.base = nullptr;
    clearScreen();
    backBuffer.base = base;
}

} // namespace
