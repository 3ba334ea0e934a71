// The screen layout: which of the game's layouts a display gets, decided in
// one place, and the layout values every screen draws with.
#pragma once

#include <cstdint>

enum : int32_t {
    SCREEN_MODE_STANDARD = 0, // 240 x 320
    SCREEN_MODE_SMALL = 1,    // 176 x 220
    SCREEN_MODE_SQUARE = 2,   // 240 x 240
    SCREEN_MODE_RAW = 3,      // 176-wide Game API display over a 240-wide raw buffer
};

struct Layout {
    int32_t width, height; // the logical screen
    int32_t centerX;
    int32_t shrink; // 20 in the small layout: its pictures stand 20 rows higher
    uint8_t raw;    // drawn through the raw frame buffer
    int32_t screenMode;
};

// The raw frame buffer's width that makes a 176-wide Game API display draw
// through it in the 240 x 320 layout.
constexpr int32_t RAW_LAYOUT_WIDTH = 240;

// The layout for a Game API display of the given size on a device whose raw
// frame buffer is rawWidth pixels wide (0: none).
Layout layoutFor(uint32_t displayWidth, uint32_t displayHeight, int32_t rawWidth);

// The layout of a screen mode (the standard one for an unknown mode).
Layout layoutOfMode(int32_t mode);

// The layout values, chosen once at start-up (240, 320, 120, 0 until then).
extern int32_t layoutWidth;
extern int32_t layoutHeight;
extern int32_t layoutCenterX;
extern int32_t layoutShrink;
extern uint8_t rawFrameBuffer;
// Sets the layout values above from layout.
void useLayout(const Layout& layout);
