// Start-up on each device: the layout it chooses, and which road the frames
// take to the display (the Game API's, or the raw frame buffer's).
#include "gfx/gapi_buffer.h"
#include "gfx/layout.h"
#include "platform/gapi/device.h"
#include "shell/app.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

void prepare(const char* device) {
    useTestHost(device);
    useLayout(layoutOfMode(SCREEN_MODE_STANDARD));
    rawFrameInfo = RawFrameBufferInfo{};
    constructProgramObjects();
}

TEST(StartUp, EachDeviceGetsItsLayoutAndItsRoadToTheDisplay) {
    struct Case {
        const char* device;
        int32_t width, height, centerX, shrink;
        uint8_t raw;
        bool gameApiDisplay; // opened and drawn through the Game API
    } cases[] = {
        {"qvga", 240, 320, 120, 0, 0, true},   {"qvga-rotated", 240, 320, 120, 0, 0, true},
        {"square", 240, 240, 120, 0, 0, true}, {"small", 176, 220, 88, 20, 0, true},
        {"raw", 240, 320, 120, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        prepare(c.device);
        int drawsBefore = gapiBeginDrawCount();
        startUp(reinterpret_cast<HWND>(uintptr_t{1}));
        EXPECT_EQ((std::vector<int32_t>{c.width, c.height, c.centerX, c.shrink, c.raw, c.width,
                                        c.height}),
                  (std::vector<int32_t>{layoutWidth, layoutHeight, layoutCenterX, layoutShrink,
                                        rawFrameBuffer, screenWidth, screenHeight}));
        EXPECT_EQ(gapiDisplayOpen(), c.gameApiDisplay);
        EXPECT_EQ(gapiBeginDrawCount() > drawsBefore, c.gameApiDisplay);
        EXPECT_EQ(appMode, MODE_FRONTEND); // start-up ends on the title
        EXPECT_EQ(menuScreen, SCREEN_TITLE);
        displayShutdown();
    }
}

// Without a display start-up says so and ends the program with code 1.
TEST(StartUp, WithoutADisplayItSaysSoAndEnds) {
    prepare("qvga");
    testing::internal::CaptureStderr();
    startUp(nullptr); // no window: the Game API display cannot be opened
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("the display cannot be opened"), std::string::npos) << said;
    EXPECT_FALSE(gapiDisplayOpen());
    MSG msg = {};
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0); // the quit message
    EXPECT_EQ(msg.wParam, 1u);
}

// Until start-up has drawn its first frame, the window paints "Loading..."
// in the middle of a white screen, and nothing else.
TEST(StartUp, UntilItEndsTheWindowShowsLoadingCentredOnWhite) {
    useTestHost("qvga");
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WndProc;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"loading test";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"loading test", L"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    UpdateWindow(window);
    std::vector<uint16_t> screen;
    readDeviceScreen(&screen);
    int w = deviceScreenWidth(), h = deviceScreenHeight();
    int left = w, right = -1, top = h, bottom = -1, inked = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (screen[y * w + x] == 0xFFFF) continue;
            ++inked;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    // One short line of small text: about ten glyphs 5 x 7.
    ASSERT_GT(inked, 30);
    EXPECT_LE(right - left + 1, 70);
    EXPECT_LE(bottom - top + 1, 10);
    EXPECT_NEAR((left + right) / 2.0, (w - 1) / 2.0, 3.0);
    EXPECT_NEAR((top + bottom) / 2.0, (h - 1) / 2.0, 3.0);
}

} // namespace
