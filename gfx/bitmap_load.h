// Turning bitmap resources into Surfaces.
#pragma once

#include "gfx/surface.h"
#include "platform/wince/winapi.h"

#include <cstdint>

Surface* loadSurface(const STGapiBuffer* buffer, HBITMAP bitmap);
// Draws the bitmap into a 24-bit DIB; returns its rows (bottom row first, 3 x W4 bytes each).
uint8_t* bitmapToDib(HBITMAP bitmap, int32_t* width, int32_t* height, HBITMAP* dib);
uint16_t* dibToPixels(const STGapiBuffer* buffer, int32_t width, int32_t height,
                      const uint8_t* rows);
