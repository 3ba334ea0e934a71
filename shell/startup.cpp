// Start-up and shutdown.
#include "shell/startup.h"

#include "game/game.h"
#include "gfx/gapi_buffer.h"
#include "persist/settings.h"
#include "platform/gapi.h"
#include "platform/runtime.h"
#include "shell/state.h"
#include "sound/sound.h"

#include <cstdio>

namespace {

constexpr int RAW_LAYOUT_WIDTH = 240;

void fetchRawFrameInfo() {
    HDC dc = GetDC(nullptr);
    ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof rawFrameInfo,
              reinterpret_cast<char*>(&rawFrameInfo));
    ReleaseDC(nullptr, dc);
}

void chooseLayout(DWORD displayWidth, DWORD displayHeight) {
    if (displayWidth == 176 && rawFrameInfo.cxPixels == RAW_LAYOUT_WIDTH) {
        rawFrameBuffer = 1;
    } else if (displayWidth == 176) {
        layoutWidth = 176;
        layoutHeight = 220;
        layoutCenterX = 88;
        layoutShrink = 20;
    } else if (displayHeight == 240) {
        layoutHeight = 240;
    }
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

} // namespace

void startUp(HWND window) {
    DWORD width = screenBuffer.props.cxWidth, height = screenBuffer.props.cyHeight;
    fetchRawFrameInfo();
    chooseLayout(width, height);
    backBuffer.blendLevel = -1;
    backBuffer.blendMode = 0x07E0F81F;
    if (rawFrameBuffer == 1) fetchRawFrameInfo();
    crtSrand(GetTickCount());
    int windowWidth = rawFrameBuffer == 1 ? layoutWidth : static_cast<int>(width);
    int windowHeight = rawFrameBuffer == 1 ? layoutHeight : static_cast<int>(height);
    SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
    MoveWindow(window, 0, 0, windowWidth, windowHeight, 0);
    GXOpenInput();
    if (rawFrameBuffer == 0 && !GXOpenDisplay(window, GX_FULLSCREEN)) {
        // Running on without a screen helps nobody: say so and end.
        std::fprintf(stderr, "reefdart: the display cannot be opened\n");
        PostQuitMessage(1);
        return;
    }
    copyKeyList();
    allocOffscreen(&blankBuffer);
    allocOffscreen(&backBuffer);
    openSound();
    loadSettings();
    enterScreen(SCREEN_TITLE, 0);
}

void quitProgram() {
    speaker.stopMusics();
    copyBuffer(&backBuffer, &blankBuffer);
    presentFrame();
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
