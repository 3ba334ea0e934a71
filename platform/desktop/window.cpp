#include "platform/desktop/window.h"

#include "platform/desktop/presenter.h"
#include "platform/native/image_files.h"
#include "platform/wince/resources.h"

#include <SDL.h>

#include <cstdio>
#include <unistd.h>

namespace {

// The application icon, the program's own icon resource on the transparent
// purple; without it the desktop shows its default.
void setWindowIcon(SDL_Window* window) {
    const EmbeddedResource* r = findEmbeddedResource("ICON", 335);
    if (!r) return;
    SDL_Surface* icon = SDL_LoadBMP_RW(SDL_RWFromConstMem(r->data, static_cast<int>(r->size)), 1);
    if (!icon) return;
    SDL_SetColorKey(icon, SDL_TRUE, SDL_MapRGB(icon->format, 128, 0, 128));
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

struct Window {
    SDL_Window* window = nullptr;
    int screenWidth = 0, screenHeight = 0;
    int windowedWidth = 0, windowedHeight = 0; // the size to go back to
};

Window w;

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

} // namespace

ScreenFit fitScreen(int outputWidth, int outputHeight, int screenWidth, int screenHeight) {
    ScreenFit fit;
    if (screenWidth > 0 && screenHeight > 0) {
        int byWidth = outputWidth / screenWidth, byHeight = outputHeight / screenHeight;
        fit.scale = byWidth < byHeight ? byWidth : byHeight;
        if (fit.scale < 1) fit.scale = 1;
    }
    fit.width = screenWidth * fit.scale;
    fit.height = screenHeight * fit.scale;
    fit.x = (outputWidth - fit.width) / 2;
    fit.y = (outputHeight - fit.height) / 2;
    return fit;
}

bool openDesktopWindow(int screenWidth, int screenHeight, int scale) {
    w.screenWidth = screenWidth;
    w.screenHeight = screenHeight;
    w.window = SDL_CreateWindow("Reefdart", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                screenWidth * scale, screenHeight * scale,
                                SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE);
    std::string error = SDL_GetError();
    if (w.window) {
        SDL_SetWindowMinimumSize(w.window, screenWidth, screenHeight);
        setWindowIcon(w.window);
        if (startPresenter(w.window, screenWidth, screenHeight, &error)) return true;
    }
    std::fprintf(stderr, "reefdart: cannot open the game window (%s)\n", error.c_str());
    return false;
}

void closeDesktopWindow() {
    stopPresenter();
    if (w.window) SDL_DestroyWindow(w.window);
    w = Window();
}

SDL_Window* desktopWindow() {
    return w.window;
}

ScreenFit currentScreenFit() {
    int outputWidth = 0, outputHeight = 0;
    if (w.window) SDL_GetWindowSizeInPixels(w.window, &outputWidth, &outputHeight);
    return fitScreen(outputWidth, outputHeight, w.screenWidth, w.screenHeight);
}

LPARAM devicePointFromWindow(int windowX, int windowY) {
    int windowWidth = 0, windowHeight = 0, outputWidth = 0, outputHeight = 0;
    if (w.window) SDL_GetWindowSize(w.window, &windowWidth, &windowHeight);
    if (w.window) SDL_GetWindowSizeInPixels(w.window, &outputWidth, &outputHeight);
    return devicePointFor(windowX, windowY, windowWidth, windowHeight, outputWidth, outputHeight,
                          w.screenWidth, w.screenHeight);
}

LPARAM devicePointFor(int windowX, int windowY, int windowWidth, int windowHeight, int outputWidth,
                      int outputHeight, int screenWidth, int screenHeight) {
    // Mouse events come in window coordinates, which a high-DPI drawable
    // divides more finely.
    long long ox =
        windowWidth > 0 ? static_cast<long long>(windowX) * outputWidth / windowWidth : 0;
    long long oy =
        windowHeight > 0 ? static_cast<long long>(windowY) * outputHeight / windowHeight : 0;
    ScreenFit fit = fitScreen(outputWidth, outputHeight, screenWidth, screenHeight);
    long long px = ox - fit.x, py = oy - fit.y;
    px = px < 0 ? 0 : px / fit.scale;
    py = py < 0 ? 0 : py / fit.scale;
    if (px >= screenWidth) px = screenWidth - 1;
    if (py >= screenHeight) py = screenHeight - 1;
    return MAKELPARAM(px < 0 ? 0 : px, py < 0 ? 0 : py);
}

bool windowIsFullscreen() {
    return w.window && (SDL_GetWindowFlags(w.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
                           SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void toggleFullscreen() {
    if (!w.window) return;
    if (windowIsFullscreen()) {
        if (SDL_SetWindowFullscreen(w.window, 0) != 0) {
            std::fprintf(stderr, "reefdart: cannot leave fullscreen (%s)\n", SDL_GetError());
            return;
        }
        if (w.windowedWidth > 0) SDL_SetWindowSize(w.window, w.windowedWidth, w.windowedHeight);
        return;
    }
    SDL_GetWindowSize(w.window, &w.windowedWidth, &w.windowedHeight);
    if (SDL_SetWindowFullscreen(w.window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        std::fprintf(stderr, "reefdart: cannot go fullscreen (%s)\n", SDL_GetError());
}

void screenshotNames(const std::string& folder, std::time_t when, int scale, std::string* plain,
                     std::string* scaled) {
    std::tm parts = {};
    localtime_r(&when, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "reefdart-%Y%m%d-%H%M%S", &parts);
    std::string base = folder + "/" + stamp;
    std::string suffix = "-x" + std::to_string(scale);
    for (int n = 1;; ++n) {
        std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        *plain = name + ".png";
        *scaled = name + suffix + ".png";
        if (!exists(*plain) && !exists(*scaled)) return;
    }
}

std::vector<uint16_t> enlargePixels(const std::vector<uint16_t>& pixels, int width, int height,
                                    int scale) {
    std::vector<uint16_t> big(static_cast<size_t>(width) * scale * height * scale);
    size_t at = 0;
    for (int y = 0; y < height * scale; ++y) {
        const uint16_t* row = &pixels[static_cast<size_t>(y / scale) * width];
        for (int x = 0; x < width * scale; ++x) big[at++] = row[x / scale];
    }
    return big;
}

bool saveScreenshots(const std::vector<uint16_t>& pixels, int screenWidth, int screenHeight) {
    if (screenWidth <= 0 || screenHeight <= 0 ||
        pixels.size() < static_cast<size_t>(screenWidth) * screenHeight) {
        std::fprintf(stderr, "reefdart: screenshot not saved: no screen to take\n");
        return false;
    }
    int scale = currentScreenFit().scale;
    std::string plain, scaled, error;
    screenshotNames(dataFolder(), std::time(nullptr), scale, &plain, &scaled);
    bool ok = true;
    if (writePng565(plain.c_str(), pixels, screenWidth, screenHeight, &error)) {
        std::fprintf(stderr, "reefdart: screenshot saved to %s\n", plain.c_str());
    } else {
        std::fprintf(stderr, "reefdart: screenshot not saved: %s\n", error.c_str());
        ok = false;
    }
    std::vector<uint16_t> big = enlargePixels(pixels, screenWidth, screenHeight, scale);
    if (writePng565(scaled.c_str(), big, screenWidth * scale, screenHeight * scale, &error)) {
        std::fprintf(stderr, "reefdart: screenshot saved to %s\n", scaled.c_str());
    } else {
        std::fprintf(stderr, "reefdart: screenshot not saved: %s\n", error.c_str());
        ok = false;
    }
    return ok;
}
