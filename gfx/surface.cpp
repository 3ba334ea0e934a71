// Surfaces and the conversion of 24-bit colours to the display format.
#include "gfx/surface.h"

uint16_t convertColour(uint32_t formatFlags, uint32_t colour) {
    uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if (formatFlags & kfDirect565)
        return static_cast<uint16_t>((r & 0xF8) << 8 | (g & 0xF8) << 3 | (b >> 3));
    if (formatFlags & kfDirect555)
        return static_cast<uint16_t>((r & 0xF8) << 7 | (g & 0xF8) << 2 | (b >> 3));
    return 0;
}

uint16_t colourFromRgb(const STGapiBuffer* buffer, uint32_t colour) {
    if (!buffer || buffer->props.cBPP != 16) return 0;
    return convertColour(buffer->props.ffFormat, colour);
}

void releaseSurface(Surface* surface) {
    if (!surface) return;
    delete[] surface->pixels;
    delete surface;
}
