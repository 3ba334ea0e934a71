// The desktop window on SDL's dummy video driver: the whole-scale fit, mouse
// mapping, fullscreen and back, and the F12 screenshots.
#include "platform/desktop/host.h"
#include "platform/desktop/input.h"
#include "platform/desktop/presenter.h"
#include "platform/desktop/window.h"
#include "platform/gapi/device.h"
#include "platform/host/host.h"
#include "platform/native/image_files.h"
#include "platform/wince/messages.h"
#include "support/desktop_window.h"
#include "support/png_image.h"
#include "support/test_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

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
    void key(SDL_Keycode sym, bool down, uint16_t mod = 0) {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        translateDesktopEvent(e);
    }
    void resize(int width, int height) {
        SDL_SetWindowSize(desktopWindow(), width, height);
        SDL_PumpEvents();
    }
    std::vector<std::string> files() {
        std::vector<std::string> names;
        DIR* dir = opendir(folder.c_str());
        while (dirent* entry = dir ? readdir(dir) : nullptr)
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        if (dir) closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string folder;
};

TEST(ScreenFitting, LargestWholeScaleCentredOnBlack) {
    const int cases[][7] = {// window, picture, scale and the picture's corner in the window
                            {480, 640, 240, 320, 2, 0, 0},
                            {1920, 1080, 240, 320, 3, 600, 60}, // wide: the height decides
                            {719, 2000, 240, 320, 2, 119, 680}, // just short of three widths
                            {200, 300, 240, 320, 1, -20, -10},  // too small: scale 1, cut evenly
                            {1000, 1000, 176, 220, 4, 148, 60}};
    for (const auto& c : cases) {
        ScreenFit f = fitScreen(c[0], c[1], c[2], c[3]);
        EXPECT_EQ(f.scale, c[4]) << c[0] << "x" << c[1];
        EXPECT_EQ(f.width, c[2] * c[4]) << c[0] << "x" << c[1];
        EXPECT_EQ(f.height, c[3] * c[4]) << c[0] << "x" << c[1];
        EXPECT_EQ(f.x, c[5]) << c[0] << "x" << c[1];
        EXPECT_EQ(f.y, c[6]) << c[0] << "x" << c[1];
    }
}

// On a high-DPI display the drawable has more pixels than the window has
// coordinates: the scale is counted in drawable pixels and mouse positions
// are carried over before they meet the picture.
TEST(ScreenFitting, HighDpiDrawableScalesFinerAndTheMouseFollows) {
    // A 600 x 400 window on a display of twice the density: 1200 x 800.
    ScreenFit f = fitScreen(1200, 800, 240, 320);
    EXPECT_EQ(f.scale, 2);
    EXPECT_EQ(f.x, 360);
    EXPECT_EQ(f.y, 80);
    // The picture's top-left corner is window point (180, 40).
    EXPECT_EQ(devicePointFor(180, 40, 600, 400, 1200, 800, 240, 320), MAKELPARAM(0, 0));
    EXPECT_EQ(devicePointFor(181, 41, 600, 400, 1200, 800, 240, 320), MAKELPARAM(1, 1));
    // Its middle, and a point beyond its right edge held inside.
    EXPECT_EQ(devicePointFor(300, 200, 600, 400, 1200, 800, 240, 320), MAKELPARAM(120, 160));
    EXPECT_EQ(devicePointFor(599, 399, 600, 400, 1200, 800, 240, 320), MAKELPARAM(239, 319));
    // At equal density the same window shows scale 1.
    EXPECT_EQ(fitScreen(600, 400, 240, 320).scale, 1);
    EXPECT_EQ(devicePointFor(300, 200, 600, 400, 600, 400, 240, 320), MAKELPARAM(120, 160));
    // A 1.5 density: 900 x 600 drawable, scale 1 still (600 / 320 < 2).
    EXPECT_EQ(devicePointFor(300, 200, 600, 400, 900, 600, 240, 320), MAKELPARAM(120, 160));
}

TEST_F(Window, OpensAtTheAskedScaleAndResizedKeepsPictureCentredAndMouseFollows) {
    int w = 0, h = 0;
    SDL_GetWindowSize(desktopWindow(), &w, &h);
    EXPECT_EQ(w, 480);
    EXPECT_EQ(h, 640);
    uint32_t flags = SDL_GetWindowFlags(desktopWindow());
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(flags & SDL_WINDOW_ALLOW_HIGHDPI);
    EXPECT_EQ(currentScreenFit().scale, 2);
    resize(1000, 700);
    ScreenFit f = currentScreenFit();
    EXPECT_EQ(f.scale, 2);
    EXPECT_EQ(f.x, 260);
    EXPECT_EQ(f.y, 30);
    EXPECT_EQ(devicePointFromWindow(260, 30), MAKELPARAM(0, 0));
    EXPECT_EQ(devicePointFromWindow(261 + 2 * 100, 31 + 2 * 50), MAKELPARAM(100, 50));
    EXPECT_EQ(devicePointFromWindow(259 + 480, 29 + 640), MAKELPARAM(239, 319));
    EXPECT_EQ(devicePointFromWindow(10, 10), MAKELPARAM(0, 0));       // black border
    EXPECT_EQ(devicePointFromWindow(999, 699), MAKELPARAM(239, 319)); // held inside
    resize(760, 990);
    f = currentScreenFit();
    EXPECT_EQ(f.scale, 3);
    EXPECT_EQ(f.x, 20);
    EXPECT_EQ(f.y, 15);
    EXPECT_EQ(devicePointFromWindow(20 + 3 * 7 + 2, 15 + 3 * 9), MAKELPARAM(7, 9));
}

TEST_F(Window, PresentedPictureIsWholeScaledAndCentred) {
    resize(1000, 700);
    std::vector<uint16_t> pixels(240 * 320, 0xFFFF);
    pixels[0] = 0xF800;         // top left red
    pixels[240 * 320 - 1] = 31; // bottom right blue
    submitFrame(pixels);
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    ASSERT_TRUE(readBackPresented(&out, &w, &h)) << SDL_GetError();
    // The resize reached the renderer on the presenter's thread.
    ASSERT_EQ(w, 1000);
    ASSERT_EQ(h, 700);
    auto at = [&](int x, int y) { return out[static_cast<size_t>(y) * 1000 + x]; };
    EXPECT_EQ(at(259, 30), 0u); // black left of the picture
    EXPECT_EQ(at(260, 29), 0u); // and above it
    EXPECT_EQ(at(260, 30), 0xFF0000u);
    EXPECT_EQ(at(261, 31), 0xFF0000u);
    EXPECT_EQ(at(262, 30), 0xFFFFFFu);
    EXPECT_EQ(at(739, 669), 0x0000FFu);
    EXPECT_EQ(at(738, 668), 0x0000FFu);
    EXPECT_EQ(at(740, 669), 0u);
    EXPECT_EQ(at(739, 670), 0u);
}

// Frames are handed over without waiting; the presenter shows the newest and
// drops the ones it never got round to.
TEST_F(Window, PresenterShowsTheNewestFrame) {
    std::vector<uint16_t> pixels(240 * 320);
    unsigned long last = 0;
    for (uint16_t red = 1; red <= 31; ++red) {
        std::fill(pixels.begin(), pixels.end(), static_cast<uint16_t>(red << 11));
        last = submitFrame(pixels);
    }
    EXPECT_EQ(last, 31u);
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    ASSERT_TRUE(readBackPresented(&out, &w, &h));
    ASSERT_EQ(w, 480);
    EXPECT_EQ(out[0], 0xFF0000u);
    EXPECT_EQ(out[static_cast<size_t>(h / 2) * w + w / 2], 0xFF0000u);
    EXPECT_LE(framesPresented(), 31u);
    // A frame of the wrong size is refused rather than shown.
    EXPECT_EQ(submitFrame(std::vector<uint16_t>(10, 0xFFFF)), 31u);
    // Growing the window is drawn again from the frame it has.
    resize(720, 960);
    ASSERT_TRUE(readBackPresented(&out, &w, &h));
    ASSERT_EQ(w, 720);
    EXPECT_EQ(out[0], 0xFF0000u);
    EXPECT_EQ(out[static_cast<size_t>(h - 1) * w + w - 1], 0xFF0000u);
}

TEST_F(Window, PresenterStopsAndStartsWithTheWindow) {
    EXPECT_TRUE(presenterRunning());
    finishDesktopHost();
    EXPECT_FALSE(presenterRunning());
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    EXPECT_FALSE(readBackPresented(&out, &w, &h));
    EXPECT_EQ(submitFrame(std::vector<uint16_t>(240 * 320)), 0u);
    resetMessageSystem();
    std::string error;
    ASSERT_TRUE(openTestDesktop("qvga-rotated", 1, folder, &error)) << error;
    EXPECT_TRUE(presenterRunning());
    EXPECT_EQ(submitFrame(std::vector<uint16_t>(240 * 320, 0xF81F)), 1u);
    ASSERT_TRUE(readBackPresented(&out, &w, &h));
    EXPECT_EQ(w, 240);
    EXPECT_EQ(out[0], 0xFF00FFu);
}

TEST_F(Window, F11AndAltEnterToggleFullscreenAndGiveTheSizeBack) {
    resize(600, 700);
    key(SDLK_F11, true);
    key(SDLK_F11, false);
    SDL_PumpEvents();
    EXPECT_TRUE(windowIsFullscreen());
    key(SDLK_RETURN, true, KMOD_LALT);
    key(SDLK_RETURN, false, KMOD_LALT);
    SDL_PumpEvents();
    EXPECT_FALSE(windowIsFullscreen());
    int w = 0, h = 0;
    SDL_GetWindowSize(desktopWindow(), &w, &h);
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 700);
    // None of it reached the program as a key: Enter with Alt is not Start.
    EXPECT_FALSE(inputQueued());
    EXPECT_EQ(deviceKeyHolds(VK_RETURN), 0);
    // A held F11 repeating does not flip the window back and forth.
    SDL_Event repeat = {};
    repeat.type = SDL_KEYDOWN;
    repeat.key.keysym.sym = SDLK_F11;
    repeat.key.repeat = 1;
    translateDesktopEvent(repeat);
    EXPECT_FALSE(windowIsFullscreen());
}

TEST(ScreenshotNames, TimeStampedAndNumberedWhenTaken) {
    std::string folder = makeTempFolder();
    std::tm when = {};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 7;
    when.tm_hour = 10;
    when.tm_min = 15;
    when.tm_sec = 2;
    when.tm_isdst = -1;
    std::time_t t = std::mktime(&when);
    std::string plain, scaled;
    screenshotNames(folder, t, 3, &plain, &scaled);
    EXPECT_EQ(plain, folder + "/reefdart-20261207-101502.png");
    EXPECT_EQ(scaled, folder + "/reefdart-20261207-101502-x3.png");
    writeFile(scaled, "x");
    screenshotNames(folder, t, 3, &plain, &scaled);
    EXPECT_EQ(plain, folder + "/reefdart-20261207-101502-2.png");
    EXPECT_EQ(scaled, folder + "/reefdart-20261207-101502-2-x3.png");
    writeFile(plain, "x");
    screenshotNames(folder, t, 3, &plain, &scaled);
    EXPECT_EQ(plain, folder + "/reefdart-20261207-101502-3.png");
}

TEST_F(Window, F12WritesTheScreenAtScaleOneAndAtTheWindowsScale) {
    for (int x = 0; x < 240; ++x) writeDeviceScreenPixel(x, 7, 0xF800);
    writeDeviceScreenPixel(100, 200, 0x07E0);
    resize(760, 990); // scale 3
    key(SDLK_F12, true);
    key(SDLK_F12, false);
    EXPECT_FALSE(inputQueued());
    std::vector<std::string> names = files();
    ASSERT_EQ(names.size(), 2u);
    ASSERT_EQ(names[0].size(), std::string("reefdart-20261207-101502-x3.png").size());
    EXPECT_EQ(names[0].substr(names[0].size() - 7), "-x3.png");
    EXPECT_EQ(names[1].substr(0, 9), "reefdart-");
    EXPECT_EQ(names[1].substr(0, 24), names[0].substr(0, 24));
    Shot one = readShot(folder + "/" + names[1]);
    Shot three = readShot(folder + "/" + names[0]);
    ASSERT_EQ(one.width, 240);
    ASSERT_EQ(one.height, 320);
    ASSERT_EQ(three.width, 720);
    ASSERT_EQ(three.height, 960);
    EXPECT_EQ(one.at(5, 7), 0xFF0000u);
    EXPECT_EQ(one.at(5, 8), 0u);
    EXPECT_EQ(one.at(100, 200), 0x00FF00u);
    for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx) {
            EXPECT_EQ(three.at(300 + dx, 600 + dy), 0x00FF00u);
            EXPECT_EQ(three.at(15 + dx, 21 + dy), 0xFF0000u);
        }
    EXPECT_EQ(three.at(299, 600), 0u);
    EXPECT_EQ(three.at(303, 600), 0u);
    EXPECT_EQ(three.at(15, 24), 0u);
    // A second shot in the same second takes the next free name.
    key(SDLK_F12, true);
    key(SDLK_F12, false);
    EXPECT_GE(files().size(), 4u);
}

TEST_F(Window, UnwritableScreenshotIsReportedAndTheGameGoesOn) {
    chmod(folder.c_str(), 0500);
    bool rootCanWrite = access((folder + "/.").c_str(), W_OK) == 0;
    std::vector<uint16_t> pixels(240 * 320, 0);
    testing::internal::CaptureStderr();
    bool saved = saveScreenshots(pixels, 240, 320);
    std::string said = testing::internal::GetCapturedStderr();
    chmod(folder.c_str(), 0700);
    if (rootCanWrite) {
        // root writes anyway: a folder that is not there stands in.
        setTestDataFolder(folder + "/gone");
        rmdir((folder + "/gone").c_str());
        testing::internal::CaptureStderr();
        saved = saveScreenshots(pixels, 240, 320);
        said = testing::internal::GetCapturedStderr();
    }
    EXPECT_FALSE(saved);
    EXPECT_NE(said.find("reefdart: screenshot not saved: cannot write "), std::string::npos)
        << said;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveScreenshots({}, 240, 320)); // no pixels: told, not a crash
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not saved"), std::string::npos);
}

} // namespace
