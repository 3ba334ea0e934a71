// Start-up and shutdown.
#include "shell/startup.h"

#include "frontend/frontend.h"
#include "game/game.h"
#include "game/recorder.h"
#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "persist/settings.h"
#include "platform/gapi/gapi.h"
#include "platform/wince/runtime.h"
#include "shell/app.h"
#include "shell/replays.h"
#include "shell/state.h"
#include "shell/watch.h"
#include "sound/sound.h"

#include <cstdio>

namespace {

void fetchRawFrameInfo() {
    HDC dc = GetDC(nullptr);
    ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof rawFrameInfo,
              reinterpret_cast<char*>(&rawFrameInfo));
    ReleaseDC(nullptr, dc);
}

void copyKeyList() {
    GXKeyList keys = GXGetDefaultKeys(GX_NORMALKEYS);
    gxUp = keys.vkUp;
    gxDown = keys.vkDown;
    gxLeft = keys.vkLeft;
    gxRight = keys.vkRight;
    gxA = keys.vkA;
    gxB = keys.vkB;
    gxC = keys.vkC;
    gxStart = keys.vkStart;
}

// The black picture goes into blankBuffer once; the picture itself is not kept.
void makeBlankBuffer() {
    Surface* blank = loadPicture(BITMAP_BLANK);
    allocOffscreen(&blankBuffer);
    blitOpaque(&blankBuffer, 0, 0, layoutWidth, layoutHeight, blank, 0, 0);
    releaseSurface(blank);
}

void drawSplash() {
    copyBuffer(&backBuffer, &blankBuffer);
    clearScreen();
    int32_t y = layoutShrink == 0 ? 92 : 42;
    blitTranslucent(&backBuffer, layoutCenterX - 88, y, 176, 135, surfaces[SLOT_SPLASH], 31,
                    NO_COLOUR_KEY, 0, 0);
    presentFrame();
}

void loadPictures() {
    static const int table[][2] = {
        {SLOT_BANNER, BITMAP_BANNER},
        {SLOT_STARTUP_PICTURE, BITMAP_STARTUP_PICTURE},
        {SLOT_STARTUP_STRIP, BITMAP_STARTUP_STRIP},
        {SLOT_WATER, BITMAP_WATER},
        {SLOT_HIGHLIGHT, BITMAP_HIGHLIGHT},
        {SLOT_TITLE, BITMAP_TITLE},
        {SLOT_PURPLE_BAR, BITMAP_PURPLE_BAR},
        {SLOT_STARTUP_BAR, BITMAP_STARTUP_BAR},
        {SLOT_FONT, BITMAP_FONT},
        {SLOT_BUBBLES, BITMAP_BUBBLES},
        {SLOT_ROCK, BITMAP_ROCK},
        {SLOT_SPRITES, BITMAP_SPRITES},
    };
    // Kept on purpose: fidelity K8.
    for (const auto& entry : table) loadSlot(entry[0], entry[1]);
}

} // namespace

void startUp(HWND window) {
    DWORD width = screenBuffer.props.cxWidth, height = screenBuffer.props.cyHeight;
    fetchRawFrameInfo();
    Layout layout = layoutFor(width, height, rawFrameInfo.cxPixels);
    useLayout(layout);
    pictureModule = appInstance;
    backBuffer.blendLevel = -1;
    backBuffer.blendMode = 0x07E0F81F;
    setScreenMode(&backBuffer, layout.screenMode);
    if (rawFrameBuffer == 1) fetchRawFrameInfo();
    crtSrand(GetTickCount());
    int windowWidth = rawFrameBuffer == 1 ? layoutWidth : static_cast<int>(width);
    int windowHeight = rawFrameBuffer == 1 ? layoutHeight : static_cast<int>(height);
    SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
    MoveWindow(window, 0, 0, windowWidth, windowHeight, 0);
    GXOpenInput();
    // Mended: fidelity M13.
    if (rawFrameBuffer == 0 && !GXOpenDisplay(window, GX_FULLSCREEN)) {
        // Running on without a screen helps nobody: say so and end.
        std::fprintf(stderr, "reefdart: the display cannot be opened\n");
        PostQuitMessage(1);
        return;
    }
    copyKeyList();
    makeBlankBuffer();
    loadSlot(SLOT_SPLASH, BITMAP_SPLASH);
    allocOffscreen(&backBuffer);
    drawSplash();
    loadPictures();
    spriteKey = colourFromRgb(&backBuffer, 0x800080);
    loadFont();
    openSound();
    loadSettings();
    prepareRecorder();
    loadKeptReplays();
    enterScreen(SCREEN_TITLE, 0);
    if (watchPending()) beginWatch();
}

void quitProgram() {
    speaker.stopMusics();
    drawSplash();
    saveSettings();
    Sleep(1200);
    GXCloseDisplay();
    GXCloseInput();
    PostQuitMessage(0);
}

void displayShutdown() {
    GXCloseDisplay();
    GXCloseInput();
}
