// The picture table and the screen modes.
#include "gfx/assets.h"

#include "gfx/bitmap_load.h"

Surface* surfaces[SURFACE_SLOT_COUNT];
uint16_t spriteKey;
HINSTANCE pictureModule = nullptr;

int setScreenMode(STGapiBuffer*, int32_t mode) {
    if (mode == SCREEN_MODE_SMALL || mode == SCREEN_MODE_SQUARE) {
        screenWidth = layoutOfMode(mode).width;
        screenHeight = layoutOfMode(mode).height;
    }
    return 1;
}

Surface* loadPicture(int bitmapId) {
    HBITMAP bitmap = LoadBitmapW(pictureModule, bitmapId);
    Surface* surface = loadSurface(&backBuffer, bitmap);
    if (bitmap) DeleteObject(bitmap);
    return surface;
}

void loadSlot(int slot, int bitmapId) {
    if (slot < 0 || slot >= SURFACE_SLOT_COUNT) return;
    releaseSurface(surfaces[slot]);
    surfaces[slot] = nullptr;
    surfaces[slot] = loadPicture(bitmapId);
}
