// The host services of the desktop and headless hosts: SDL's BMP loader
// decodes the pictures, and a replaced file is already where it belongs.
#include "platform/host/host.h"

#include <SDL.h>

#include <climits>
#include <cstring>

bool hostDecodeBmp(const unsigned char* data, size_t size, int* width, int* height,
                   std::vector<uint8_t>* rows) {
    if (!data || size > INT_MAX) return false;
    SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (!rw) return false;
    SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
    if (!loaded) return false;
    SDL_SetSurfaceBlendMode(loaded, SDL_BLENDMODE_NONE);
    SDL_Surface* bgr = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_BGR24, 0);
    SDL_FreeSurface(loaded);
    if (!bgr) return false;
    const size_t rowBytes = static_cast<size_t>(bgr->w) * 3;
    rows->resize(rowBytes * static_cast<size_t>(bgr->h));
    SDL_LockSurface(bgr);
    const uint8_t* pixels = static_cast<const uint8_t*>(bgr->pixels);
    for (int y = 0; y < bgr->h; ++y)
        std::memcpy(rows->data() + static_cast<size_t>(y) * rowBytes, pixels + y * bgr->pitch,
                    rowBytes);
    SDL_UnlockSurface(bgr);
    *width = bgr->w;
    *height = bgr->h;
    SDL_FreeSurface(bgr);
    return true;
}

void hostFileReplaced() {}
