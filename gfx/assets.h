// The pictures the game draws from, by slot, the sprite colour key and the
// logical screen modes.
#pragma once

#include "gfx/gapi_buffer.h"
#include "gfx/layout.h"
#include "gfx/surface.h"

#include <cstdint>

constexpr int SURFACE_SLOT_COUNT = 128;

// Slots of the surfaces table.
enum : int {
    SLOT_STARTUP_PICTURE = 8,
    SLOT_STARTUP_STRIP = 18,
    SLOT_WATER = 41,
    SLOT_HIGHLIGHT = 42,
    SLOT_TITLE = 43,
    SLOT_PURPLE_BAR = 44,
    SLOT_STARTUP_BAR = 45,
    SLOT_BANNER = 47,
    SLOT_FONT = 48,
    SLOT_SPLASH = 93,
    SLOT_BUBBLES = 94,
    SLOT_ROCK = 119,
    SLOT_SPRITES = 120,
};

// Bitmap resources.
enum : int {
    BITMAP_STARTUP_PICTURE = 204,
    BITMAP_STARTUP_STRIP = 222,
    BITMAP_WATER = 247,
    BITMAP_HIGHLIGHT = 248,
    BITMAP_TITLE = 249,
    BITMAP_PURPLE_BAR = 250,
    BITMAP_STARTUP_BAR = 251,
    BITMAP_BANNER = 253,
    BITMAP_FONT = 254,
    BITMAP_SPLASH = 302,
    BITMAP_BUBBLES = 303,
    BITMAP_BLANK = 308,
    BITMAP_ROCK = 336,
    BITMAP_SPRITES = 337,
};

extern Surface* surfaces[SURFACE_SLOT_COUNT];
// The display value of the sprite sheets' transparent purple RGB(128, 0, 128).
extern uint16_t spriteKey;
// The module whose resources hold the pictures; start-up sets it.
extern HINSTANCE pictureModule;

// Sets the logical screen size for the mode; returns 1.
int setScreenMode(STGapiBuffer* buffer, int32_t mode);
// Loads a bitmap resource as a Surface converted for backBuffer (LoadBitmapW,
// loadSurface, DeleteObject). Null when the bitmap cannot be loaded.
Surface* loadPicture(int bitmapId);
// Loads a bitmap into a slot, releasing the Surface the slot held.
void loadSlot(int slot, int bitmapId);
