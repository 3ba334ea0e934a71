// Each emulated device lays its display memory out by its own pitches, and the
// screen read back through them shows the picture that was written.
#include "platform/gapi/device.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

uint16_t pattern(int x, int y) {
    return static_cast<uint16_t>(x * 31 + y * 977);
}

void writeThroughPitches(uint16_t* base, int w, int h, int xPitch, int yPitch) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) base[x * xPitch + y * yPitch] = pattern(x, y);
}

void expectPattern(int w, int h) {
    std::vector<uint16_t> screen;
    readDeviceScreen(&screen);
    ASSERT_EQ(deviceScreenWidth(), w);
    ASSERT_EQ(deviceScreenHeight(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(screen[y * w + x], pattern(x, y)) << x << "," << y;
}

struct Expected {
    const char* name;
    DWORD width, height;
    int32_t xBytes, yBytes;
};

TEST(Device, GameApiProfilesReadBackThroughTheirPitches) {
    const Expected cases[] = {{"qvga", 240, 320, 2, 480},
                              {"qvga-rotated", 240, 320, -640, 2},
                              {"square", 240, 240, 2, 480},
                              {"small", 176, 220, 2, 352}};
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.name);
        useTestHost(e.name);
        GXDisplayProperties p = GXGetDisplayProperties();
        EXPECT_EQ((std::vector<long>{long(p.cxWidth), long(p.cyHeight), p.cbxPitch, p.cbyPitch,
                                     p.cBPP, long(p.ffFormat)}),
                  (std::vector<long>{long(e.width), long(e.height), e.xBytes, e.yBytes, 16,
                                     long(kfDirect565)}));
        EXPECT_EQ(GXBeginDraw(), nullptr); // not open yet
        ASSERT_EQ(GXOpenDisplay(reinterpret_cast<HWND>(1), GX_FULLSCREEN), 1);
        uint16_t* base = static_cast<uint16_t*>(GXBeginDraw());
        ASSERT_NE(base, nullptr);
        writeThroughPitches(base, e.width, e.height, e.xBytes / 2, e.yBytes / 2);
        EXPECT_EQ(GXEndDraw(), 1);
        expectPattern(e.width, e.height);
        RawFrameBufferInfo info = {};
        HDC dc = GetDC(nullptr);
        ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info, reinterpret_cast<char*>(&info));
        ReleaseDC(nullptr, dc);
        EXPECT_EQ(info.cxPixels, 0); // no raw frame buffer: the record stays zero
        EXPECT_EQ(rawFramePointer(&info), nullptr);
    }
}

TEST(Device, RawProfileShowsTheRawFrameBuffer) {
    useTestHost("raw");
    GXDisplayProperties p = GXGetDisplayProperties();
    EXPECT_EQ(p.cxWidth, 176u);
    EXPECT_EQ(p.cyHeight, 220u);
    RawFrameBufferInfo info = {};
    HDC dc = GetDC(nullptr);
    EXPECT_GT(
        ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info, reinterpret_cast<char*>(&info)),
        0);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(info.cxPixels, 240);
    EXPECT_EQ(info.cyPixels, 320);
    uint16_t* frame = static_cast<uint16_t*>(rawFramePointer(&info));
    ASSERT_NE(frame, nullptr);
    writeThroughPitches(frame, 240, 320, 1, 240);
    expectPattern(240, 320);
    EXPECT_EQ(gapiBeginDrawCount(), 0);
}

TEST(Device, KeysSuspendAndRepeatedCloses) {
    useTestHost();
    GXKeyList k = GXGetDefaultKeys(GX_NORMALKEYS);
    EXPECT_EQ(
        (std::vector<int>{k.vkUp, k.vkDown, k.vkLeft, k.vkRight, k.vkStart, k.vkA, k.vkB, k.vkC}),
        (std::vector<int>{0x26, 0x28, 0x25, 0x27, 0x0D, 0xC1, 0xC2, 0xC3}));
    GXOpenDisplay(reinterpret_cast<HWND>(1), GX_FULLSCREEN);
    GXSuspend();
    EXPECT_EQ(GXBeginDraw(), nullptr);
    GXResume();
    EXPECT_NE(GXBeginDraw(), nullptr);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(GXCloseDisplay(), 1);
        EXPECT_EQ(GXCloseInput(), 1);
    }
    EXPECT_EQ(GXBeginDraw(), nullptr);
}

} // namespace
