// The bitmap font: the glyph scan of the strip, text and numbers.
#include "gfx/text.h"

#include "gfx/assets.h"
#include "gfx/blit.h"

#include <cmath>

int32_t glyphStart[GLYPH_CODES];
int32_t glyphWidth[GLYPH_CODES];

float menuPhase = 0.0f;

namespace {

constexpr int FIRST_GLYPH_CODE = 32;

// The strip rows of each glyph that hold any level above 0, first and one
// past the last, found for the font picture they were scanned from: drawing
// another picture walks all rows.
struct InkRows {
    const Surface* font;
    const uint16_t* pixels;
    int32_t top[GLYPH_CODES];
    int32_t bottom[GLYPH_CODES];
};
InkRows ink;

bool inkedRow(const Surface* font, int32_t y, int32_t x, int32_t w) {
    for (int32_t i = 0; i < w; ++i)
        if (font->pixels[y * font->width + x + i] & 31) return true;
    return false;
}

void scanInk(const Surface* font) {
    ink.font = font;
    ink.pixels = font ? font->pixels : nullptr;
    for (int code = 0; code < GLYPH_CODES; ++code) {
        int32_t x = glyphStart[code], w = glyphWidth[code], top = 0, bottom = 0;
        if (ink.pixels && w > 0 && x + w <= font->width) {
            int32_t rows = font->height < GLYPH_DRAW_HEIGHT ? font->height : GLYPH_DRAW_HEIGHT;
            for (int32_t y = 0; y < rows; ++y)
                if (inkedRow(font, y, x, w)) {
                    if (bottom == 0) top = y;
                    bottom = y + 1;
                }
        } else {
            bottom = INT32_MAX; // nothing known: every row is walked
        }
        ink.top[code] = top;
        ink.bottom[code] = bottom;
    }
}

bool emptyColumn(const Surface* font, int32_t x, int32_t rows) {
    for (int32_t y = 0; y < rows; ++y)
        if (font->pixels[y * font->width + x] != 0) return false;
    return true;
}

// Runs of non-empty columns become the glyphs of codes 32, 33, ... in order.
void scanGlyphs(const Surface* font) {
    for (int i = 0; i < GLYPH_CODES; ++i) glyphStart[i] = glyphWidth[i] = 0;
    if (!font || !font->pixels) return;
    // A strip smaller than the shipped one is scanned only as far as it goes.
    // Mended: fidelity M9.
    int32_t columns = font->width < FONT_STRIP_WIDTH ? font->width : FONT_STRIP_WIDTH;
    int32_t rows = font->height < FONT_STRIP_HEIGHT ? font->height : FONT_STRIP_HEIGHT;
    int code = FIRST_GLYPH_CODE;
    int32_t runStart = -1;
    for (int32_t x = 0; x <= columns && code < GLYPH_CODES; ++x) {
        bool empty = x == columns || emptyColumn(font, x, rows);
        if (!empty && runStart < 0) runStart = x;
        if (empty && runStart >= 0) {
            glyphStart[code] = runStart;
            glyphWidth[code] = x - runStart;
            ++code;
            runStart = -1;
        }
    }
}

// Codes outside the table have no glyph.
int32_t widthOf(unsigned code) {
    // Mended: fidelity M8.
    return code < GLYPH_CODES ? glyphWidth[code] : 0;
}
int32_t startOf(unsigned code) {
    return code < GLYPH_CODES ? glyphStart[code] : 0;
}

unsigned folded(unsigned code) {
    return code > 0x60 ? code - 32 : code;
}

} // namespace

void loadFont() {
    loadSlot(SLOT_FONT, BITMAP_FONT);
    scanGlyphs(surfaces[SLOT_FONT]);
    glyphStart[FIRST_GLYPH_CODE] = SPACE_GLYPH_START;
    glyphWidth[FIRST_GLYPH_CODE] = SPACE_GLYPH_WIDTH;
    scanInk(surfaces[SLOT_FONT]);
}

namespace {

// Glyphs gathered for blitTintedGlyphs, drawn a run at a time.
struct GlyphRun {
    static constexpr int MAX = 32;
    TintedGlyph glyphs[MAX];
    int count;
    const Surface* font;
    bool known; // the font is the scanned one: its inked rows hold
    int32_t r, g, b;
};

GlyphRun startRun(int32_t r, int32_t g, int32_t b) {
    GlyphRun run;
    run.count = 0;
    run.font = surfaces[SLOT_FONT];
    run.known = run.font && run.font == ink.font && run.font->pixels == ink.pixels;
    run.r = r;
    run.g = g;
    run.b = b;
    return run;
}

void drawRun(GlyphRun* run) {
    blitTintedGlyphs(&backBuffer, run->glyphs, run->count, GLYPH_DRAW_HEIGHT, run->font, run->r,
                     run->g, run->b);
    run->count = 0;
}

void addGlyph(GlyphRun* run, unsigned code, int32_t x, int32_t y) {
    const bool known = run->known && code < GLYPH_CODES;
    run->glyphs[run->count++] = TintedGlyph{x,
                                            y,
                                            widthOf(code),
                                            startOf(code),
                                            known ? ink.top[code] : 0,
                                            known ? ink.bottom[code] : INT32_MAX};
    if (run->count == GlyphRun::MAX) drawRun(run);
}

} // namespace

void drawText(int32_t x, int32_t y, const char* text, int32_t align, int32_t r, int32_t g,
              int32_t b, uint8_t amplitude) {
    if (!text) return;
    const unsigned char* codes = reinterpret_cast<const unsigned char*>(text);
    int32_t x0 = x;
    if (align > 0) {
        int32_t sum = 0;
        // Kept on purpose: fidelity K1.
        for (const unsigned char* c = codes; *c; ++c) sum += widthOf(folded(*c)) * align;
        x0 = x - sum / 2;
    }
    GlyphRun run = startRun(r, g, b);
    int32_t pen = 0;
    for (const unsigned char* c = codes; *c; ++c) {
        int32_t yc = y;
        if (amplitude != 0)
            yc = static_cast<int32_t>(y + 2.0 * amplitude *
                                              std::cos(3.0 * menuPhase - 0.05 * pen + 1.3 * y));
        addGlyph(&run, *c, x0 + pen, yc);
        pen += widthOf(*c);
    }
    drawRun(&run);
}

int32_t textWidth(const char* text) {
    int32_t width = 0;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); c && *c; ++c)
        width += widthOf(*c);
    return width;
}

void drawNumber(int32_t x, int32_t y, int32_t value, int32_t align, int32_t digits, int32_t r,
                int32_t g, int32_t b) {
    if (digits < 1) return;
    uint32_t rest = value < 0 ? 0 : static_cast<uint32_t>(value); // the value is never negative
    int32_t total = 0;
    for (int32_t i = 0; i < digits; ++i, rest /= 10) total += widthOf('0' + rest % 10) + 1;
    int32_t x0 = x + total - (total * align) / 2;
    GlyphRun run = startRun(r, g, b);
    rest = value < 0 ? 0 : static_cast<uint32_t>(value);
    int32_t acc = 0;
    for (int32_t i = 0; i < digits; ++i, rest /= 10) {
        unsigned code = '0' + rest % 10;
        acc += widthOf(code) + 1;
        addGlyph(&run, code, x0 - acc, y);
    }
    drawRun(&run);
}
