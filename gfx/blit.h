// Copying rectangles of a Surface into a buffer, one to one, clipped to the
// source and to the logical screen. Each blit returns 1 when it drew or the
// rectangle lies off-screen, 0 for invalid arguments.
#pragma once

#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"

#include <cstdint>

int blitOpaque(STGapiBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h,
               const Surface* source, int32_t srcX, int32_t srcY);
// Source pixels equal to key are left out; key NO_COLOUR_KEY copies all.
int blitKeyed(STGapiBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h,
              const Surface* source, uint16_t key, int32_t srcX, int32_t srcY);
// As blitKeyed, but a left-out pixel takes a fifth of each touching drawn pixel.
int blitKeyedSmooth(STGapiBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h,
                    const Surface* source, uint16_t key, int32_t srcX, int32_t srcY);
// Blends the source in at level/32 (0..31); -1 or above 31 copies.
int blitTranslucent(STGapiBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h,
                    const Surface* source, int32_t level, uint16_t key, int32_t srcX, int32_t srcY);
// Blends one colour in, each pixel weighted by the source pixel's blue field.
int blitTinted(STGapiBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h,
               const Surface* source, int32_t r, int32_t g, int32_t b, int32_t srcX, int32_t srcY);
// As blitTinted, for a source whose levels are 0 in every row of the
// picture outside inkTop up to (not including) inkBottom: only the rows in
// between are walked. Pixels, result, cursor and blendLevel are blitTinted's.
int blitTintedRows(STGapiBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h,
                   const Surface* source, int32_t r, int32_t g, int32_t b, int32_t srcX,
                   int32_t srcY, int32_t inkTop, int32_t inkBottom);
// One glyph of a run of text: its place, the first column and width of its
// rectangle in the source (from row 0), and its inked rows as above.
struct TintedGlyph {
    int32_t x, y, w, srcX, inkTop, inkBottom;
};
// Draws each glyph in turn exactly as blitTintedRows would with height h,
// converting the colour and checking the buffer once for the whole run.
void blitTintedGlyphs(STGapiBuffer* destination, const TintedGlyph* glyphs, int count, int32_t h,
                      const Surface* source, int32_t r, int32_t g, int32_t b);

// Blends colour into the pixel at the buffer's cursor, weighted by its
// blendLevel out of 32 (blendMode 1); any other level or mode stores colour.
void blendPixel(STGapiBuffer* buffer, uint16_t colour);
// The smoothed value of destination pixel d beside up to four source pixels
// that differ from key; 0 unless the buffer is a 5-6-5 display.
uint16_t edgeAverage(const STGapiBuffer* buffer, uint16_t d, uint16_t left, uint16_t right,
                     uint16_t up, uint16_t down, uint16_t key);

// Set (the default) to let the blits use wider vector code where the
// processor has it; the pixels are the same either way.
extern bool blitWideVectors;
// Set (the default) to let them use 512-bit vectors where it can; cleared, the
// wide blits stay in 256-bit vectors.
extern bool blitWidestVectors;
