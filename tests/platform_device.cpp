// Each emulated device's display properties, raw frame buffer and keys. (What
// is drawn through the pitches is hashed on every device by golden_runs.cpp.)
#include "platform/gapi/device.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Device, GameApiProfilesAndTheRawFrameBuffer) {
    const struct {
        const char* name;
        long width, height, xBytes, yBytes, rawWidth, rawHeight;
    } cases[] = {{"qvga", 240, 320, 2, 480, 0, 0},
                 {"qvga-rotated", 240, 320, -640, 2, 0, 0},
                 {"square", 240, 240, 2, 480, 0, 0},
                 {"small", 176, 220, 2, 352, 0, 0},
                 {"raw", 176, 220, 2, 352, 240, 320}}; // the game API's and the raw buffer's
    for (const auto& e : cases) {
        SCOPED_TRACE(e.name);
        useTestHost(e.name);
        GXDisplayProperties p = GXGetDisplayProperties();
        EXPECT_EQ((std::vector<long>{long(p.cxWidth), long(p.cyHeight), p.cbxPitch, p.cbyPitch,
                                     p.cBPP, long(p.ffFormat)}),
                  (std::vector<long>{e.width, e.height, e.xBytes, e.yBytes, 16, kfDirect565}));
        EXPECT_EQ(GXBeginDraw(), nullptr); // not open yet
        RawFrameBufferInfo info = {};
        HDC dc = GetDC(nullptr);
        int result = ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info,
                               reinterpret_cast<char*>(&info));
        ReleaseDC(nullptr, dc);
        // No raw frame buffer: the record stays zero.
        EXPECT_EQ((std::vector<long>{result > 0, info.cxPixels, info.cyPixels,
                                     rawFramePointer(&info) != nullptr}),
                  (std::vector<long>{e.rawWidth > 0, e.rawWidth, e.rawHeight, e.rawWidth > 0}));
    }
}

TEST(Device, SuspendAndRepeatedCloses) {
    useTestHost();
    ASSERT_EQ(GXOpenDisplay(reinterpret_cast<HWND>(1), GX_FULLSCREEN), 1);
    GXSuspend();
    EXPECT_EQ(GXBeginDraw(), nullptr);
    GXResume();
    EXPECT_NE(GXBeginDraw(), nullptr);
    EXPECT_EQ(GXEndDraw(), 1);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(GXCloseDisplay(), 1);
        EXPECT_EQ(GXCloseInput(), 1);
    }
    EXPECT_EQ(GXBeginDraw(), nullptr);
}

} // namespace
