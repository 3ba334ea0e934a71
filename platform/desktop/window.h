// The desktop window: the emulated screen shown at the largest whole scale
// that fits, centred on black; borderless fullscreen; screenshots.
#pragma once

#include "platform/wince/winapi.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct SDL_Window;

// Where the screen goes in an output of outputWidth x outputHeight pixels.
struct ScreenFit {
    int x = 0, y = 0, width = 0, height = 0;
    int scale = 1;
};

// The largest whole scale (at least 1) at which a screenWidth x screenHeight
// picture fits the output, centred. A picture larger than the output is shown
// at scale 1 and cut evenly on both sides.
ScreenFit fitScreen(int outputWidth, int outputHeight, int screenWidth, int screenHeight);

// Opens a resizable, high-DPI aware window of the screen at scale, with the
// thread that shows it; false with a message on stderr when it cannot.
bool openDesktopWindow(int screenWidth, int screenHeight, int scale);
void closeDesktopWindow();
SDL_Window* desktopWindow();
// The fit in the window's drawable pixels as the window is now.
ScreenFit currentScreenFit();
// A point of the window (in window coordinates, as mouse events give them)
// as a device pixel, held inside the screen.
LPARAM devicePointFromWindow(int windowX, int windowY);
// The same for a window of windowWidth x windowHeight whose drawable is
// outputWidth x outputHeight pixels (larger on a high-DPI display).
LPARAM devicePointFor(int windowX, int windowY, int windowWidth, int windowHeight, int outputWidth,
                      int outputHeight, int screenWidth, int screenHeight);

// Between a window and borderless fullscreen; leaving fullscreen gives the
// window back the size it had.
void toggleFullscreen();
bool windowIsFullscreen();

// The screenshot files for a moment: folder/reefdart-YYYYMMDD-HHMMSS.png and
// the same name with -xSCALE, with -2, -3, ... after the time when a file of
// the name is already there.
void screenshotNames(const std::string& folder, std::time_t when, int scale, std::string* plain,
                     std::string* scaled);
// Writes the screen twice into the data folder, at scale 1 and at the window's
// scale, and says where on stderr; a failure is told on stderr too. Returns
// false when a file could not be written.
bool saveScreenshots(const std::vector<uint16_t>& pixels, int screenWidth, int screenHeight);
// The 5-6-5 pixels enlarged scale times, each pixel a square block.
std::vector<uint16_t> enlargePixels(const std::vector<uint16_t>& pixels, int width, int height,
                                    int scale);
