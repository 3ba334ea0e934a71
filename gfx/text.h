// Text and numbers in the proportional bitmap font: a strip of 20-pixel-high
// grey-level glyphs, drawn with the tinted blit in the caller's colour.
#pragma once

#include <cstdint>

enum : int32_t { ALIGN_LEFT = 0, ALIGN_CENTRE = 1, ALIGN_RIGHT = 2 };

constexpr int GLYPH_CODES = 128;
constexpr int32_t FONT_STRIP_WIDTH = 1770;
constexpr int32_t FONT_STRIP_HEIGHT = 20;
constexpr int32_t GLYPH_DRAW_HEIGHT = 24;
constexpr int32_t SPACE_GLYPH_START = 1212;
constexpr int32_t SPACE_GLYPH_WIDTH = 5;

// First strip column and width of each code's glyph; width 0: no glyph.
extern int32_t glyphStart[GLYPH_CODES];
extern int32_t glyphWidth[GLYPH_CODES];

// The front end's animation phase in radians, 0..MENU_PHASE_WRAP: the tick
// advances it and the text wave follows it.
extern float menuPhase;
constexpr double MENU_PHASE_WRAP = 18.849; // 6 pi, rounded down to three decimals

// Loads the font strip into its slot and finds the glyphs in it.
void loadFont();
// Draws text into backBuffer: x is the left edge, centre or right edge by
// align, y the glyphs' top edge; amplitude is the height of the travelling
// wave (0: flat).
void drawText(int32_t x, int32_t y, const char* text, int32_t align, int32_t r, int32_t g,
              int32_t b, uint8_t amplitude);
// The width drawText gives text, in pixels.
int32_t textWidth(const char* text);
// Draws the lowest digits decimal digits of value, with leading zeros.
void drawNumber(int32_t x, int32_t y, int32_t value, int32_t align, int32_t digits, int32_t r,
                int32_t g, int32_t b);
