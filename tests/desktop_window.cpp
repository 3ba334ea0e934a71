// The desktop window and its presenter: the whole-scale fit, mouse mapping,
// fullscreen and back, the F12 screenshots, and frames shown by both renderers.
#include "platform/desktop/host.h"
#include "platform/desktop/input.h"
#include "platform/desktop/presenter.h"
#include "platform/desktop/window.h"
#include "platform/gapi/device.h"
#include "platform/host/host.h"
#include "platform/wince/messages.h"
#include "support/desktop_window.h"
#include "support/png_image.h"
#include "support/test_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

TEST(ScreenFitting, LargestWholeScaleCentredOnBlackAndTheMouseFollowsOnHighDpi) {
    const int cases[][7] = {// output, picture, scale and the picture's corner in the output
                            {719, 2000, 240, 320, 2, 119, 680}, // just short of three widths
                            {200, 300, 240, 320, 1, -20, -10},  // too small: scale 1, cut evenly
                            {1200, 800, 240, 320, 2, 360, 80}}; // a 600 x 400 window at 2x DPI
    for (const auto& c : cases) {
        ScreenFit f = fitScreen(c[0], c[1], c[2], c[3]);
        EXPECT_EQ((std::vector<int>{f.scale, f.width, f.height, f.x, f.y}),
                  (std::vector<int>{c[4], c[2] * c[4], c[3] * c[4], c[5], c[6]}))
            << c[0] << "x" << c[1];
    }
    // High DPI, 600 x 400 window: corner at 2x, next pixel, beyond the edge, 1.5x (scale 1).
    const int points[][6] = {{180, 40, 1200, 800, 0, 0},
                             {181, 41, 1200, 800, 1, 1},
                             {599, 399, 1200, 800, 239, 319},
                             {300, 200, 900, 600, 120, 160}};
    for (const auto& c : points)
        EXPECT_EQ(devicePointFor(c[0], c[1], 600, 400, c[2], c[3], 240, 320),
                  MAKELPARAM(c[4], c[5]))
            << c[0] << "," << c[1] << " in " << c[2];
}

// Software on the dummy driver; GL on its own thread under Xvfb (desktop_xvfb.sh).
class Presenter : public ::testing::TestWithParam<const char*> {
  protected:
    // SDL starts once a suite: the X server may refuse a quick reconnection.
    static void TearDownTestSuite() {
        if (!started) return;
        removePresenterEventFilter();
        SDL_Quit();
        started = false;
    }
    void SetUp() override {
        gl = std::string(GetParam()) == "x11";
        if (gl && !std::getenv("REEFDART_X11_TESTS")) GTEST_SKIP() << "needs an X server";
        if (!started) {
            setenv("SDL_VIDEODRIVER", GetParam(), 1);
            gl ? unsetenv("SDL_RENDER_DRIVER") : setenv("SDL_RENDER_DRIVER", "software", 1);
            ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
            installPresenterEventFilter();
            started = true;
        }
        window = SDL_CreateWindow("presenter", 0, 0, 480, 640, SDL_WINDOW_RESIZABLE);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        std::string error;
        ASSERT_TRUE(startPresenter(window, 240, 320, &error)) << error;
        if (gl && !presenterThreaded()) GTEST_SKIP() << "no accelerated renderer on this server";
    }
    void TearDown() override {
        stopPresenter();
        if (window) SDL_DestroyWindow(window);
        if (started) drain();
    }
    // SDL's queue as the main loop gets it; the renderer's copies only counted.
    std::vector<Uint32> drain(int* copies = nullptr) {
        std::vector<Uint32> types;
        SDL_Event e, original;
        while (SDL_PollEvent(&e)) {
            const SDL_Event& got = unwrapEvent(e, &original) ? original : e;
            if (!isRendererCopy(got))
                types.push_back(got.type);
            else if (copies)
                ++*copies;
        }
        return types;
    }
    static bool started;
    bool gl = false;
    SDL_Window* window = nullptr;
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    uint32_t at(int x, int y) { return out[static_cast<size_t>(y) * w + x]; }
};

bool Presenter::started = false;

// Frames are handed over without waiting; only the newest is shown, and it
// follows a resize made on the main thread.
TEST_P(Presenter, ShowsTheNewestFrameWholeScaledAndFollowsAResize) {
    std::vector<uint16_t> pixels(240 * 320, 0x001F);
    for (int i = 0; i < 30; ++i) submitFrame(pixels);
    pixels.assign(240 * 320, 0xF81F); // magenta: exact in every renderer
    pixels[0] = 0xF800;
    pixels[240 * 320 - 1] = 0x001F;
    EXPECT_EQ(submitFrame(pixels), 31u);
    EXPECT_EQ(submitFrame(std::vector<uint16_t>(10, 0xFFFF)), 31u); // the wrong size: refused
    ASSERT_TRUE(readBackPresented(&out, &w, &h)) << SDL_GetError();
    EXPECT_LE(framesPresented(), 31u);
    ASSERT_EQ((std::vector<int>{w, h}), (std::vector<int>{480, 640}));
    EXPECT_EQ(at(1, 1), 0xFF0000u);
    EXPECT_EQ(at(2, 0), 0xFF00FFu);
    EXPECT_EQ(at(479, 639), 0x0000FFu);
    // The X server applies a size in its own time: shown until it stands in place.
    SDL_SetWindowSize(window, 1000, 700);
    for (Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < 10000; SDL_Delay(20)) {
        SDL_PumpEvents();
        submitFrame(pixels);
        ASSERT_TRUE(readBackPresented(&out, &w, &h));
        if (w == 1000 && h == 700 && at(260, 30) == 0xFF0000u) break;
    }
    ASSERT_EQ((std::vector<int>{w, h}), (std::vector<int>{1000, 700}));
    // Black just outside the picture; its corner pixels 2 x 2 each, the next one magenta.
    const uint32_t points[][3] = {{259, 30, 0},        {260, 29, 0},         {740, 669, 0},
                                  {739, 670, 0},       {260, 30, 0xFF0000},  {261, 31, 0xFF0000},
                                  {262, 30, 0xFF00FF}, {738, 668, 0x0000FF}, {739, 669, 0x0000FF}};
    for (auto p : points) EXPECT_EQ(at(p[0], p[1]), p[2]) << p[0] << "," << p[1];
}

// Events the GL renderer's watch would see come back to the main loop in place.
TEST_P(Presenter, TakenEventsComeBackInOrder) {
    drain();
    SDL_Event k = sdlEvent(SDL_KEYDOWN), m = sdlEvent(SDL_MOUSEBUTTONDOWN),
              win = sdlEvent(SDL_WINDOWEVENT), u = sdlEvent(SDL_KEYUP);
    win.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    win.window.windowID = SDL_GetWindowID(window);
    for (SDL_Event* e : {&k, &m, &win, &m, &u}) SDL_PushEvent(e);
    EXPECT_EQ(drain(), (std::vector<Uint32>{SDL_KEYDOWN, SDL_MOUSEBUTTONDOWN, SDL_WINDOWEVENT,
                                            SDL_MOUSEBUTTONDOWN, SDL_KEYUP}));
    // The presenter's copy of the window event follows, and nothing else.
    int copies = 0;
    for (Uint32 start = SDL_GetTicks(); gl && !copies && SDL_GetTicks() - start < 10000;
         SDL_Delay(5))
        EXPECT_TRUE(drain(&copies).empty());
    EXPECT_EQ(copies > 0, gl);
}

INSTANTIATE_TEST_SUITE_P(Software, Presenter, ::testing::Values("dummy"));
INSTANTIATE_TEST_SUITE_P(PresenterOnX11, Presenter, ::testing::Values("x11"));

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = makeTempFolder();
        std::string error;
        ASSERT_TRUE(openTestDesktop("qvga", 2, folder, &error)) << error;
    }
    void TearDown() override {
        finishDesktopHost();
        resetMessageSystem();
    }
    void press(SDL_Keycode sym, Uint16 mod = 0) {
        sendKey(sym, true, false, mod);
        sendKey(sym, false, false, mod);
    }
    void resize(int width, int height) {
        SDL_SetWindowSize(desktopWindow(), width, height);
        SDL_PumpEvents();
    }
    std::vector<int> size() {
        int w = 0, h = 0;
        SDL_GetWindowSize(desktopWindow(), &w, &h);
        return {w, h};
    }
    std::vector<int> fit() {
        ScreenFit f = currentScreenFit();
        return {f.scale, f.x, f.y};
    }
    std::vector<std::string> files() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string folder;
};

TEST_F(Window, OpensAtScaleResizedKeepsPictureCentredMouseFollowsFullscreenGivesSizeBack) {
    EXPECT_EQ(size(), (std::vector<int>{480, 640}));
    const uint32_t flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    EXPECT_EQ(SDL_GetWindowFlags(desktopWindow()) & flags, flags);
    EXPECT_EQ(fit(), (std::vector<int>{2, 0, 0}));
    resize(1000, 700);
    EXPECT_EQ(fit(), (std::vector<int>{2, 260, 30}));
    // The picture's corners, a point inside, the black border, and beyond held inside.
    const int points[][4] = {{260, 30, 0, 0},
                             {461, 131, 100, 50},
                             {739, 669, 239, 319},
                             {10, 10, 0, 0},
                             {999, 699, 239, 319}};
    for (auto p : points)
        EXPECT_EQ(devicePointFromWindow(p[0], p[1]), MAKELPARAM(p[2], p[3])) << p[0] << "," << p[1];
    resize(760, 990);
    EXPECT_EQ(fit(), (std::vector<int>{3, 20, 15}));
    EXPECT_EQ(devicePointFromWindow(20 + 3 * 7 + 2, 15 + 3 * 9), MAKELPARAM(7, 9));
    // F11 and Alt+Enter toggle fullscreen and give the size back.
    press(SDLK_F11);
    SDL_PumpEvents();
    EXPECT_TRUE(windowIsFullscreen());
    press(SDLK_RETURN, KMOD_LALT);
    SDL_PumpEvents();
    EXPECT_FALSE(windowIsFullscreen());
    EXPECT_EQ(size(), (std::vector<int>{760, 990}));
    // None of it reached the program as a key: Enter with Alt is not Start.
    EXPECT_FALSE(inputQueued());
    EXPECT_EQ(deviceKeyHolds(VK_RETURN), 0);
    sendKey(SDLK_F11, true, true); // a held F11 repeating does not flip the window
    EXPECT_FALSE(windowIsFullscreen());
}

TEST_F(Window, PresenterStopsAndStartsWithTheWindow) {
    EXPECT_TRUE(presenterRunning());
    finishDesktopHost();
    EXPECT_FALSE(presenterRunning());
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    EXPECT_FALSE(readBackPresented(&out, &w, &h));
    EXPECT_EQ(submitFrame(std::vector<uint16_t>(240 * 320)), 0u);
    std::string error;
    ASSERT_TRUE(openTestDesktop("qvga-rotated", 1, folder, &error)) << error;
    EXPECT_TRUE(presenterRunning());
    EXPECT_EQ(submitFrame(std::vector<uint16_t>(240 * 320, 0xF81F)), 1u);
    ASSERT_TRUE(readBackPresented(&out, &w, &h));
    EXPECT_EQ(w, 240);
    EXPECT_EQ(out[0], 0xFF00FFu);
}

TEST(ScreenshotNames, TimeStampedAndNumberedWhenTaken) {
    std::string folder = makeTempFolder(), plain, scaled,
                stamp = folder + "/reefdart-20261207-101502";
    std::tm when = {};
    strptime("2026-12-07 10:15:02", "%Y-%m-%d %H:%M:%S", &when);
    when.tm_isdst = -1;
    std::time_t t = std::mktime(&when);
    screenshotNames(folder, t, 3, &plain, &scaled);
    EXPECT_EQ(plain, stamp + ".png");
    EXPECT_EQ(scaled, stamp + "-x3.png");
    writeFile(scaled, "x");
    screenshotNames(folder, t, 3, &plain, &scaled);
    EXPECT_EQ(plain, stamp + "-2.png");
    EXPECT_EQ(scaled, stamp + "-2-x3.png");
    writeFile(plain, "x");
    screenshotNames(folder, t, 3, &plain, &scaled);
    EXPECT_EQ(plain, stamp + "-3.png");
}

TEST_F(Window, F12WritesTheScreenAtScaleOneAndAtTheWindowsScale) {
    for (int x = 0; x < 240; ++x) writeDeviceScreenPixel(x, 7, 0xF800);
    writeDeviceScreenPixel(100, 200, 0x07E0);
    resize(760, 990); // scale 3
    press(SDLK_F12);
    EXPECT_FALSE(inputQueued());
    std::vector<std::string> names = files(); // named as screenshotNames says
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], names[1].substr(0, 24) + "-x3.png");
    Shot one = readShot(folder + "/" + names[1]), three = readShot(folder + "/" + names[0]);
    ASSERT_EQ((std::vector<int>{one.width, one.height, three.width, three.height}),
              (std::vector<int>{240, 320, 720, 960}));
    const unsigned pixels[][4] = {
        // scale, x, y, colour; each pixel a 3 x 3 block at scale 3
        {1, 5, 7, 0xFF0000},     {1, 5, 8, 0},     {1, 100, 200, 0x00FF00}, {3, 300, 600, 0x00FF00},
        {3, 302, 602, 0x00FF00}, {3, 299, 600, 0}, {3, 303, 600, 0},        {3, 15, 21, 0xFF0000},
        {3, 17, 23, 0xFF0000},   {3, 15, 24, 0}};
    for (auto p : pixels)
        EXPECT_EQ((p[0] == 1 ? one : three).at(p[1], p[2]), p[3])
            << p[0] << ": " << p[1] << "," << p[2];
    press(SDLK_F12); // a second shot in the same second takes the next free name
    EXPECT_GE(files().size(), 4u);
}

TEST_F(Window, UnwritableScreenshotIsReportedAndTheGameGoesOn) {
    setTestDataFolder(folder + "/gone");
    rmdir((folder + "/gone").c_str()); // a folder that is not there
    testing::internal::CaptureStderr();
    bool saved = saveScreenshots(std::vector<uint16_t>(240 * 320, 0), 240, 320);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(saved);
    EXPECT_NE(said.find("reefdart: screenshot not saved: cannot write "), std::string::npos)
        << said;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveScreenshots({}, 240, 320)); // no pixels: told, not a crash
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not saved"), std::string::npos);
}

} // namespace
