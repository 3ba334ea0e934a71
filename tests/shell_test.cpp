// The shell: start-up on each device, the timer tick's time step and seconds
// clock, and the music that follows screen changes.
#include "gfx/gapi_buffer.h"
#include "gfx/layout.h"
#include "persist/settings.h"
#include "platform/gapi/device.h"
#include "platform/headless/host.h"
#include "platform/wince/winapi.h"
#include "shell/app.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/mod_builder.h"
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

// Each device's layout is pinned by the golden screens run; here the road to the display.
TEST(StartUp, EachDeviceGetsItsRoadToTheDisplay) {
    const struct {
        const char* device;
        bool gameApiDisplay; // opened and drawn through the Game API, not the raw frame buffer
    } cases[] = {
        {"qvga", true}, {"qvga-rotated", true}, {"square", true}, {"small", true}, {"raw", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        prepare(c.device);
        int drawsBefore = gapiBeginDrawCount();
        startUp(reinterpret_cast<HWND>(uintptr_t{1}));
        EXPECT_EQ(rawFrameBuffer, !c.gameApiDisplay);
        EXPECT_EQ(gapiDisplayOpen(), c.gameApiDisplay);
        EXPECT_EQ(gapiBeginDrawCount() > drawsBefore, c.gameApiDisplay);
        EXPECT_EQ(menuScreen, SCREEN_TITLE); // start-up ends on the title
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

// Until start-up has drawn, the window paints "Loading..." centred on white.
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

class Tick : public ::testing::Test {
  protected:
    void SetUp() override { restart(1000000); }
    void restart(uint32_t startTick) {
        useTestHost("qvga", startTick);
        appMode = MODE_FRONTEND;
        keyCaptureActive = 0;
        lastTickTime = 0;
        secondMark = GetTickCount();
        gameSeconds = gameMinutes = 0;
        menuPhase = 0.0f;
    }
    static void after(uint32_t ms) {
        headlessAdvance(ms);
        tick();
    }
};

// A late tick is cut to 50 ms and a key capture skips the measurement; only
// front-end ticks move the text wave (twice the step, below 6 pi).
TEST_F(Tick, TheTimeStepIsMeasuredAndCapped) {
    after(700);
    EXPECT_EQ(frameDt, 0.0f);
    after(16);
    EXPECT_FLOAT_EQ(frameDt, 0.016f);
    EXPECT_FLOAT_EQ(menuPhase, 0.032f);
    after(300);
    EXPECT_EQ(frameDt, static_cast<float>(50 * 0.001));
    EXPECT_FLOAT_EQ(menuPhase, 0.132f);

    uint32_t last = lastTickTime;
    keyCaptureActive = 1;
    after(400);
    EXPECT_EQ(lastTickTime, last);
    EXPECT_FLOAT_EQ(menuPhase, 0.132f);
    keyCaptureActive = 0;

    menuPhase = 18.84f;
    after(50);
    EXPECT_NEAR(menuPhase, 18.94 - 18.849, 1e-5);
    appMode = MODE_GAME;
    gameKind = 0; // no game to step: only the tick's own work
    menuPhase = 1.0f;
    after(16);
    EXPECT_FLOAT_EQ(frameDt, 0.016f);
    EXPECT_EQ(menuPhase, 1.0f);
}

// Seconds count past 1000 ms, dropping the excess; the tick count may wrap.
TEST_F(Tick, SecondsClockCountsMarksAndDropsTheExcess) {
    tick();
    after(1000);
    EXPECT_EQ(gameSeconds, 0);
    after(1);
    EXPECT_EQ(gameSeconds, 1);
    gameSeconds = 59;
    after(1500);
    EXPECT_EQ(gameSeconds, 0);
    EXPECT_EQ(gameMinutes, 1);
    EXPECT_EQ(msSinceSecond, 1500u);
    restart(0xFFFFFFF0u);
    tick();
    after(32);
    EXPECT_FLOAT_EQ(frameDt, 0.032f);
    EXPECT_EQ(msSinceSecond, 32u);
}

bool playing(const std::vector<uint8_t>& module) {
    return speaker.playingMusic() == &music && music.source() == module.data();
}

// A screen change also lowers the fifth career value to the fourth.
TEST(Music, ScreenChangesAndGameStartsFollowTheMusicRules) {
    useTestHost();
    registerTestSounds();
    appMode = MODE_GAME; // leaving a game starts the menu music (as the first entry does)
    openSound();
    career.career4 = 3;
    career.career5 = 7;
    enterScreen(SCREEN_TITLE, 0);
    EXPECT_EQ(career.career5, 3);
    EXPECT_TRUE(playing(testMenuModule()));
    headlessAdvance(700); // long enough for a restart to show
    double before = music.position();
    EXPECT_GT(before, 0.5);
    career.career5 = 2;
    enterScreen(SCREEN_SETTINGS, 0); // front end to front end: left alone
    enterScreen(SCREEN_ABOUT, CURSOR_NONE);
    EXPECT_EQ(career.career5, 2);
    EXPECT_TRUE(playing(testMenuModule()));
    EXPECT_GE(music.position(), before);

    startGame(); // from the front end: the game music from its beginning
    EXPECT_TRUE(playing(testGameModule()));
    EXPECT_LT(music.position(), 0.05);
    headlessAdvance(700);
    before = music.position();
    startGame(); // a restart inside a game leaves it playing
    EXPECT_TRUE(playing(testGameModule()));
    EXPECT_GE(music.position(), before);

    playClick();
    EXPECT_EQ(speaker.playingSounds(), 1);
    enterScreen(menuScreen, menuCursor); // leaving the game: effects stop, menu music restarts
    EXPECT_EQ(speaker.playingSounds(), 0);
    EXPECT_TRUE(playing(testMenuModule()));
    EXPECT_LT(music.position(), 0.05);
}

} // namespace
