// The small system font the window and dialog painting use (5 x 7 glyphs in
// 6 x 8 cells), for text the game's own bitmap font does not draw.
#pragma once

#include <cstdint>

typedef void (*PlotFunction)(int x, int y, uint16_t colour, void* context);

constexpr int SYSTEM_CELL_WIDTH = 6;
constexpr int SYSTEM_CELL_HEIGHT = 8;

int systemTextWidth(int length);
// Draws length characters of text with its top-left corner at (x, y).
void drawSystemText(int x, int y, const wchar_t* text, int length, uint16_t colour,
                    PlotFunction plot, void* context);
