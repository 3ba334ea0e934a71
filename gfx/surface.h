// Decoded pictures and the 16-bit pixel format.
#pragma once

#include "gfx/gapi_buffer.h"

#include <cstdint>

struct Surface {
    uint16_t* pixels; // width x height, row-major, top row first; null when not converted
    int32_t width;
    int32_t height;
};

// The colour-key value that means no key: no converted pixel equals it.
constexpr uint16_t NO_COLOUR_KEY = 0xFFFF;

// Converts a 0x00BBGGRR colour by the display format flags (no depth check).
uint16_t convertColour(uint32_t formatFlags, uint32_t colour);
// Converts for the buffer; 0 when the buffer is not 16 bits per pixel.
uint16_t colourFromRgb(const STGapiBuffer* buffer, uint32_t colour);
// Deletes the pixels, then the record.
void releaseSurface(Surface* surface);
