// The shipped font strip, the glyph scan, text and numbers, and the tinted
// row and glyph-run blits that draw them.
#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/surface.h"
#include "gfx/text.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <vector>

namespace {

class Text : public ::testing::Test {
  protected:
    void SetUp() override {
        useGfxHost("qvga");
        loadFont();
    }
};

// The screen after drawing each piece (text, x, y) in white, left aligned.
struct Piece {
    const char* text;
    int x, y;
};
std::vector<uint16_t> drawnPieces(std::initializer_list<Piece> pieces) {
    fillBackBuffer(0);
    for (const Piece& p : pieces) drawText(p.x, p.y, p.text, ALIGN_LEFT, 255, 255, 255, 0);
    return backScreen();
}

TEST_F(Text, TheShippedStripHasTheTellingGlyphs) {
    const Surface* font = surfaces[SLOT_FONT];
    ASSERT_TRUE(font && font->pixels);
    EXPECT_EQ(font->width, 1770);
    EXPECT_EQ(font->height, 20);
    const int rows[][3] = {{32, 1212, 5},  {33, 15, 5},    {48, 249, 13},
                           {49, 270, 4},   {65, 554, 18},  {73, 725, 4},
                           {87, 1021, 23}, {97, 1222, 17}, {122, 1754, 12}};
    for (const auto& r : rows) {
        EXPECT_EQ(glyphStart[r[0]], r[1]) << r[0];
        EXPECT_EQ(glyphWidth[r[0]], r[2]) << r[0];
    }
    for (int code = 33; code < GLYPH_CODES; ++code) EXPECT_EQ(glyphWidth[code] > 0, code <= 122);
    // Reloading keeps one font (a leak shows under the leak checker) and the table.
    std::vector<int32_t> starts(glyphStart, glyphStart + GLYPH_CODES);
    for (int i = 0; i < 5; ++i) loadFont();
    EXPECT_EQ(std::vector<int32_t>(glyphStart, glyphStart + GLYPH_CODES), starts);
}

TEST_F(Text, AlignmentMeasuresFoldedCodesAndGlyphsTouch) {
    // Centred text is measured by its capitals, drawn as it is written.
    const int folded = glyphWidth['P'] + glyphWidth['L'] + glyphWidth['A'] + glyphWidth['Y'];
    const struct {
        const char* text;
        int x, align, first, last;
    } cases[] = {{"A", 100, ALIGN_RIGHT, 82, 99},
                 {"AW", 50, ALIGN_LEFT, 50, 50 + 18 + 23 - 1},
                 {"Play", 120, ALIGN_CENTRE, 120 - folded / 2,
                  120 - folded / 2 + glyphWidth['P'] + glyphWidth['l'] + glyphWidth['a'] +
                      glyphWidth['y'] - 1}};
    for (const auto& c : cases) {
        fillBackBuffer(0);
        drawText(c.x, 100, c.text, c.align, 255, 255, 255, 0);
        int first = -1, last = -1;
        for (int x = 0; x < screenWidth; ++x)
            for (int y = 0; y < screenHeight; ++y)
                if (backPixel(x, y)) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        EXPECT_EQ(first, c.first) << c.text;
        EXPECT_EQ(last, c.last) << c.text;
    }
    // Glyphs touch, a space moves five, unknown codes nothing.
    const auto ab = drawnPieces({{"A", 30, 100}, {"B", 48, 100}});
    EXPECT_EQ(drawnPieces({{"A\x7f\xc8\x42", 30, 100}}), ab); // \x42: B
    EXPECT_EQ(drawnPieces({{"A B", 30, 100}}), drawnPieces({{"A", 30, 100}, {"B", 53, 100}}));
    EXPECT_EQ(drawnPieces({{"", 30, 100}}), std::vector<uint16_t>(240 * 320, 0));
    // Full coverage is 31/32 of the colour.
    const auto w = drawnPieces({{"W", 10, 100}});
    EXPECT_EQ(*std::max_element(w.begin(), w.end()), 0xF79E);
}

TEST_F(Text, NumbersKeepTheirLowestDigitsWithLeadingZeros) {
    const struct {
        int x, value, align, digits;
        const char* shown;
    } cases[] = {{20, 42, ALIGN_LEFT, 6, "000042"},
                 {20, 1234567, ALIGN_LEFT, 6, "234567"},
                 {200, 905, ALIGN_RIGHT, 3, "905"},
                 {120, 31, ALIGN_CENTRE, 2, "31"},
                 {20, 42, ALIGN_LEFT, 0, ""}};
    for (const auto& c : cases) {
        // The digits drawn one by one, one blank column apart, from x, ending at x or
        // straddling it (the half width rounded down).
        int total = 0;
        for (const char* d = c.shown; *d; ++d) total += glyphWidth[int{*d}] + 1;
        fillBackBuffer(0);
        for (int i = 0, x = c.x - total * c.align / 2; c.shown[i];
             x += glyphWidth[int{c.shown[i++]}] + 1)
            drawText(x, 60, std::string(1, c.shown[i]).c_str(), ALIGN_LEFT, 255, 255, 255, 0);
        const std::vector<uint16_t> byHand = backScreen();
        fillBackBuffer(0);
        drawNumber(c.x, 60, c.value, c.align, c.digits, 255, 255, 255);
        EXPECT_EQ(backScreen(), byHand) << c.value;
    }
}

// A background with every channel in use, so that any stray pixel shows.
void fillPattern() {
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x)
            backBuffer.base[x * backBuffer.xPitch + y * backBuffer.yPitch] =
                static_cast<uint16_t>(x * 2654435761u >> 7 ^ y * 40503u);
    backBuffer.cursor = nullptr;
    backBuffer.blendLevel = 7;
}

// What a drawing leaves: the screen, the cursor, the blend level and mode.
typedef std::tuple<std::vector<uint16_t>, uint16_t*, int32_t, uint32_t> Drawn;

Drawn drawnNow() {
    return Drawn{backScreen(), backBuffer.cursor, backBuffer.blendLevel, backBuffer.blendMode};
}

// Text drawn with font leaves what its glyphs' whole tinted blits leave.
void expectTextAsGlyphBlits(const Surface* font, const char* text, int x, int y,
                            const std::string& what) {
    fillPattern();
    int pen = x;
    for (const char* c = text; *c; pen += glyphWidth[static_cast<unsigned char>(*c++)])
        blitTinted(&backBuffer, pen, y, glyphWidth[static_cast<unsigned char>(*c)],
                   GLYPH_DRAW_HEIGHT, font, 90, 200, 30, glyphStart[static_cast<unsigned char>(*c)],
                   0);
    Drawn whole = drawnNow();
    fillPattern();
    drawText(x, y, text, ALIGN_LEFT, 90, 200, 30, 0);
    EXPECT_EQ(drawnNow(), whole) << what;
}

// Every code, fifteen to a line, at places where the screen's edges cut them.
TEST_F(Text, GlyphsDrawAsTheirWholeTintedBlitsOnEveryLayout) {
    for (const char* device : {"qvga", "qvga-rotated", "small"}) {
        useGfxHost(device);
        loadFont();
        for (int first = 32; first < GLYPH_CODES; first += 15) {
            char text[16] = {};
            for (int i = 0; i < 15 && first + i < GLYPH_CODES; ++i)
                text[i] = static_cast<char>(first + i);
            for (int x : {-7, 3})
                for (int y : {-22, -13, -1, 0, 150, screenHeight - 17, screenHeight - 3}) {
                    expectTextAsGlyphBlits(surfaces[SLOT_FONT], text, x, y,
                                           std::string(device) + " codes from " +
                                               std::to_string(first) + " at " + std::to_string(x) +
                                               "," + std::to_string(y));
                    if (HasFailure()) return;
                }
        }
    }
}

// The shipped glyphs' top and bottom rows are blank; this strip's are not.
TEST_F(Text, AnotherFontPictureIsDrawnInAllItsRows) {
    Surface* shipped = surfaces[SLOT_FONT];
    std::vector<uint16_t> pixels(shipped->pixels, shipped->pixels + 1770 * 20);
    for (int x = 0; x < 1770; ++x) {
        pixels[x] = static_cast<uint16_t>(pixels[x] | 0x0010);
        pixels[19 * 1770 + x] = static_cast<uint16_t>(pixels[19 * 1770 + x] | 0x0018);
    }
    Surface* other = makeSurface(1770, 20, pixels);
    surfaces[SLOT_FONT] = other;
    expectTextAsGlyphBlits(other, "Aw9", 20, 40, "another strip");
    surfaces[SLOT_FONT] = shipped;
    releaseSurface(other);
}

TEST(TintedRows, OnlyTheInkedRowsChangeAndTheRestIsAsTheWholeBlit) {
    useGfxHost("qvga-rotated");
    // A mask of 12 x 30 whose rows 9 to 20 hold levels.
    std::vector<uint16_t> mask(12 * 30, 0);
    for (int y = 9; y < 21; ++y)
        for (int x = 0; x < 12; ++x) mask[y * 12 + x] = static_cast<uint16_t>((x * 7 + y) % 32);
    Surface* s = makeSurface(12, 30, mask);
    for (int y : {-25, -12, 0, 100, 295, 310})
        for (int srcY : {0, 5, 15}) {
            fillPattern();
            int whole = blitTinted(&backBuffer, 4, y, 12, 30, s, 10, 250, 120, 0, srcY);
            Drawn expected = drawnNow();
            fillPattern();
            EXPECT_EQ(blitTintedRows(&backBuffer, 4, y, 12, 30, s, 10, 250, 120, 0, srcY, 9, 21),
                      whole);
            EXPECT_EQ(drawnNow(), expected) << y << " from " << srcY;
        }
    // A range that leaves out inked rows leaves them as they were.
    for (const auto& range : {std::array<int, 3>{0, 9, 0}, {21, 30, 0}, {20, 21, 1}}) {
        fillPattern();
        std::vector<uint16_t> before = backScreen();
        blitTintedRows(&backBuffer, 4, 50, 12, 30, s, 10, 250, 120, 0, 0, range[0], range[1]);
        EXPECT_EQ(backScreen() != before, range[2] == 1) << range[0];
    }
    releaseSurface(s);
}

// The glyphs' blits as a run leave what their blits one by one leave.
void expectRunAsGlyphs(const TintedGlyph* glyphs, int count, const Surface* s,
                       const std::string& what) {
    fillPattern();
    for (int i = 0; i < count; ++i)
        blitTintedRows(&backBuffer, glyphs[i].x, glyphs[i].y, glyphs[i].w, 24, s, 200, 40, 90,
                       glyphs[i].srcX, 0, glyphs[i].inkTop, glyphs[i].inkBottom);
    Drawn alone = drawnNow();
    fillPattern();
    blitTintedGlyphs(&backBuffer, glyphs, count, 24, s, 200, 40, 90);
    EXPECT_EQ(drawnNow(), alone) << what;
}

// Glyphs inside, across every edge, empty, uninked and overlapping, on every layout.
TEST(TintedRows, AGlyphRunIsEachGlyphsBlitInTurn) {
    std::vector<uint16_t> mask(40 * 22);
    for (size_t i = 0; i < mask.size(); ++i)
        mask[i] = static_cast<uint16_t>((i * 37 + i / 40) % 32);
    Surface* s = makeSurface(40, 22, mask);
    for (const char* device : {"qvga", "qvga-rotated", "small"}) {
        useGfxHost(device);
        const int32_t W = screenWidth, H = screenHeight;
        const TintedGlyph glyphs[] = {
            {10, 10, 12, 0, 0, 22},    {15, 12, 12, 20, 3, 9},  {-5, 40, 12, 0, 0, 22},
            {W - 7, 60, 12, 4, 0, 22}, {30, -9, 9, 2, 0, 22},   {30, H - 10, 9, 2, 5, 30},
            {50, 80, 0, 0, 0, 22},     {50, 80, 12, -1, 0, 22}, {60, 90, 12, 33, 0, 22},
            {70, 100, 12, 5, 8, 8},    {W, 20, 5, 0, 0, 22},    {80, 110, 12, 28, 0, INT32_MAX},
        };
        const int count = static_cast<int>(sizeof glyphs / sizeof glyphs[0]);
        expectRunAsGlyphs(glyphs, count, s, device);
        // Glyph by glyph, so that a wrong cursor or level after any one shows.
        for (int i = 0; i < count; ++i)
            expectRunAsGlyphs(&glyphs[i], 1, s, device + (" glyph " + std::to_string(i)));
    }
    // A span ending halfway down refuses the glyphs reaching below it, in a run as alone.
    useGfxHost("qvga");
    const int32_t savedMax = backBuffer.maxOffset;
    backBuffer.maxOffset = 160 * backBuffer.yPitch;
    const TintedGlyph halves[] = {{10, 100, 12, 0, 0, 22}, {30, 150, 12, 0, 0, 22}};
    expectRunAsGlyphs(halves, 2, s, "half a span");
    backBuffer.maxOffset = savedMax;
    // No source, or no buffer: nothing is drawn and nothing breaks.
    expectRunAsGlyphs(halves, 1, nullptr, "no source");
    blitTintedGlyphs(nullptr, halves, 1, 24, s, 255, 255, 255);
    releaseSurface(s);
}

} // namespace
