// The presenter thread on a real X server with an accelerated (GL) renderer.
// These run only when REEFDART_X11_TESTS is set, which
// tests/desktop_presenter_xvfb.sh does under Xvfb; elsewhere they skip.
#include "platform/desktop/presenter.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class PresenterOnX11 : public ::testing::Test {
  protected:
    // SDL starts once for the suite: starting it again at once after SDL_Quit
    // now and then finds the X server refusing the new connection.
    static void SetUpTestSuite() {
        if (!std::getenv("REEFDART_X11_TESTS")) return;
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("SDL_RENDER_DRIVER");
        started = SDL_Init(SDL_INIT_VIDEO) == 0;
        if (!started) startError = SDL_GetError();
        if (started) installPresenterEventFilter();
    }
    static void TearDownTestSuite() {
        if (!started) return;
        removePresenterEventFilter();
        SDL_Quit();
        started = false;
    }
    void SetUp() override {
        if (!std::getenv("REEFDART_X11_TESTS")) GTEST_SKIP() << "needs an X server";
        ASSERT_TRUE(started) << startError;
        window = SDL_CreateWindow("presenter", 0, 0, 480, 640, SDL_WINDOW_RESIZABLE);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        std::string error;
        ASSERT_TRUE(startPresenter(window, 240, 320, &error)) << error;
        if (!presenterThreaded()) GTEST_SKIP() << "no accelerated renderer on this server";
    }
    void TearDown() override {
        stopPresenter();
        if (window) SDL_DestroyWindow(window);
        window = nullptr;
        drain();
    }
    static bool started;
    static std::string startError;
    // Pumps until the window has taken the size SDL was asked for.
    bool sizeTo(int width, int height) {
        SDL_SetWindowSize(window, width, height);
        for (int i = 0; i < 200; ++i) {
            SDL_PumpEvents();
            int w = 0, h = 0;
            SDL_GetWindowSizeInPixels(window, &w, &h);
            if (w == width && h == height) return true;
            SDL_Delay(10);
        }
        return false;
    }
    // Everything SDL has queued, as the main loop gets it: wrappers opened,
    // the presenter's copies for the renderer passed over.
    std::vector<Uint32> drain() {
        std::vector<Uint32> types;
        SDL_Event e, original;
        while (SDL_PollEvent(&e)) {
            const SDL_Event& got = unwrapEvent(e, &original) ? original : e;
            if (!isRendererCopy(got)) types.push_back(got.type);
        }
        return types;
    }
    SDL_Window* window = nullptr;
};

bool PresenterOnX11::started = false;
std::string PresenterOnX11::startError;

TEST_F(PresenterOnX11, ShowsTheNewestFrameWholeScaledAndCentred) {
    std::vector<uint16_t> pixels(240 * 320, 0x001F);
    for (int i = 0; i < 10; ++i) submitFrame(pixels);
    pixels.assign(240 * 320, 0xF81F); // magenta: exact in every renderer
    pixels[0] = 0xF800;
    EXPECT_EQ(submitFrame(pixels), 11u);
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    ASSERT_TRUE(readBackPresented(&out, &w, &h)) << SDL_GetError();
    ASSERT_EQ(w, 480);
    ASSERT_EQ(h, 640);
    EXPECT_EQ(out[0], 0xFF0000u);
    EXPECT_EQ(out[481], 0xFF0000u);
    EXPECT_EQ(out[2], 0xFF00FFu);
    EXPECT_EQ(out[static_cast<size_t>(639) * 480 + 479], 0xFF00FFu);
}

// A resize made on the main thread reaches the renderer on the presenter's:
// the picture is placed in the new drawable, not the old one. SDL takes the
// new size at once, but the X server applies it in its own time, and until
// it has, the GL drawable keeps the old size (on a busy machine, long enough
// for a frame or two to come out black). So the frame is shown and read back
// until it stands in the new place or ten seconds have passed; a presenter
// that never follows the resize keeps it in the old place and fails.
TEST_F(PresenterOnX11, FollowsAResizeMadeOnTheMainThread) {
    ASSERT_TRUE(sizeTo(1000, 700));
    std::vector<uint16_t> pixels(240 * 320, 0xF81F);
    pixels[0] = 0xF800;
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    auto at = [&](int x, int y) { return out[static_cast<size_t>(y) * 1000 + x]; };
    auto placed = [&] { return w == 1000 && h == 700 && at(260, 30) == 0xFF0000u; };
    for (Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < 10000;) {
        submitFrame(pixels);
        ASSERT_TRUE(readBackPresented(&out, &w, &h));
        if (placed()) break;
        SDL_PumpEvents();
        SDL_Delay(20);
    }
    ASSERT_EQ(w, 1000);
    ASSERT_EQ(h, 700);
    EXPECT_EQ(at(259, 30), 0u);
    EXPECT_EQ(at(260, 30), 0xFF0000u);
    EXPECT_EQ(at(262, 30), 0xFF00FFu);
    EXPECT_EQ(at(739, 669), 0xFF00FFu);
    EXPECT_EQ(at(740, 669), 0u);
}

// Mouse and window events are taken out of the queue before the renderer's
// watch sees them; the main loop gets them back in their places.
TEST_F(PresenterOnX11, TakenEventsComeBackInOrder) {
    drain();
    SDL_Event k = {};
    k.type = SDL_KEYDOWN;
    SDL_Event m = {};
    m.type = SDL_MOUSEBUTTONDOWN;
    SDL_Event w = {};
    w.type = SDL_WINDOWEVENT;
    w.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    w.window.windowID = SDL_GetWindowID(window);
    SDL_Event u = {};
    u.type = SDL_KEYUP;
    for (SDL_Event* e : {&k, &m, &w, &m, &u}) SDL_PushEvent(e);
    EXPECT_EQ(drain(), (std::vector<Uint32>{SDL_KEYDOWN, SDL_MOUSEBUTTONDOWN, SDL_WINDOWEVENT,
                                            SDL_MOUSEBUTTONDOWN, SDL_KEYUP}));
    SDL_Delay(50);
    EXPECT_TRUE(drain().empty());
}

} // namespace
