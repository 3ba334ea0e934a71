// The shipped font strip, the glyph scan, text and numbers.
#include "gfx/assets.h"
#include "gfx/text.h"
#include "shell/state.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

class Text : public ::testing::Test {
  protected:
    void SetUp() override {
        useGfxHost("qvga");
        menuPhase = 0;
        loadFont();
    }
    // Leftmost and rightmost columns holding a drawn pixel (-1 when none).
    static void drawnColumns(int* first, int* last) {
        *first = *last = -1;
        for (int x = 0; x < screenWidth; ++x)
            for (int y = 0; y < screenHeight; ++y)
                if (backPixel(x, y)) {
                    if (*first < 0) *first = x;
                    *last = x;
                    break;
                }
    }
    static std::vector<uint16_t> drawn(const char* text, int x, int align, uint8_t amplitude = 0) {
        fillBackBuffer(0);
        drawText(x, 100, text, align, 255, 255, 255, amplitude);
        return backScreen();
    }
};

TEST_F(Text, TheShippedStripHasTheTellingGlyphs) {
    const Surface* font = surfaces[SLOT_FONT];
    ASSERT_NE(font, nullptr);
    ASSERT_NE(font->pixels, nullptr);
    EXPECT_EQ(font->width, 1770);
    EXPECT_EQ(font->height, 20);
    const int rows[][3] = {{32, 1212, 5},  {33, 15, 5},    {48, 249, 13},
                           {49, 270, 4},   {65, 554, 18},  {73, 725, 4},
                           {87, 1021, 23}, {97, 1222, 17}, {122, 1754, 12}};
    for (const auto& r : rows) {
        EXPECT_EQ(glyphStart[r[0]], r[1]) << r[0];
        EXPECT_EQ(glyphWidth[r[0]], r[2]) << r[0];
    }
    for (int code = 33; code <= 122; ++code) EXPECT_GT(glyphWidth[code], 0) << code;
    for (int code = 123; code < GLYPH_CODES; ++code) EXPECT_EQ(glyphWidth[code], 0) << code;
    for (int x = 1206; x <= 1221; ++x)
        for (int y = 0; y < 20; ++y) ASSERT_EQ(font->pixels[x + y * 1770], 0) << x;
}

TEST_F(Text, ReloadingKeepsOneFontAndTheSameTable) {
    std::vector<int32_t> starts(glyphStart, glyphStart + GLYPH_CODES);
    for (int i = 0; i < 5; ++i) loadFont(); // a leak shows under the leak checker
    EXPECT_EQ(std::vector<int32_t>(glyphStart, glyphStart + GLYPH_CODES), starts);
    EXPECT_EQ(glyphWidth['A'], 18);
}

TEST_F(Text, AlignmentMeasuresFoldedCodes) {
    int first, last;
    drawn("A", 100, ALIGN_RIGHT);
    drawnColumns(&first, &last);
    EXPECT_EQ(first, 82);
    EXPECT_EQ(last, 99);

    drawn("Play", 120, ALIGN_CENTRE);
    drawnColumns(&first, &last);
    int measured = glyphWidth['P'] + glyphWidth['L'] + glyphWidth['A'] + glyphWidth['Y'];
    int x0 = 120 - measured / 2;
    EXPECT_EQ(first, x0);
    EXPECT_EQ(last, x0 + glyphWidth['P'] + glyphWidth['l'] + glyphWidth['a'] + glyphWidth['y'] - 1);

    drawn("AW", 50, ALIGN_LEFT);
    drawnColumns(&first, &last);
    EXPECT_EQ(first, 50);
    EXPECT_EQ(last, 50 + 18 + 23 - 1);
}

TEST_F(Text, GlyphsTouchSpacesMoveFiveAndUnknownCodesNothing) {
    std::vector<uint16_t> ab = drawn("AB", 30, ALIGN_LEFT);
    fillBackBuffer(0);
    drawText(30, 100, "A", ALIGN_LEFT, 255, 255, 255, 0);
    drawText(30 + 18, 100, "B", ALIGN_LEFT, 255, 255, 255, 0);
    EXPECT_EQ(backScreen(), ab);
    EXPECT_EQ(drawn("A\x7f\xc8"
                    "B",
                    30, ALIGN_LEFT),
              ab);

    std::vector<uint16_t> spaced = drawn("A B", 30, ALIGN_LEFT);
    fillBackBuffer(0);
    drawText(30, 100, "A", ALIGN_LEFT, 255, 255, 255, 0);
    drawText(30 + 18 + 5, 100, "B", ALIGN_LEFT, 255, 255, 255, 0);
    EXPECT_EQ(backScreen(), spaced);
    EXPECT_EQ(drawn("", 30, ALIGN_CENTRE), std::vector<uint16_t>(240 * 320, 0));
}

TEST_F(Text, FullCoverageIsThirtyOneThirtySecondsOfTheColour) {
    drawn("W", 10, ALIGN_LEFT);
    uint16_t brightest = 0;
    for (uint16_t p : backScreen()) brightest = std::max(brightest, p);
    EXPECT_EQ(brightest, 0xF79E);
}

TEST_F(Text, TheWaveLiftsEachGlyphByItsPenPosition) {
    menuPhase = 0.7f;
    std::vector<uint16_t> wavy = drawn("AB", 40, ALIGN_LEFT, 5);
    fillBackBuffer(0);
    for (int i = 0; i < 2; ++i) {
        int pen = i * 18;
        int yc =
            static_cast<int>(100 + 2.0 * 5 * std::cos(3.0 * menuPhase - 0.05 * pen + 1.3 * 100));
        drawText(40 + pen, yc, i ? "B" : "A", ALIGN_LEFT, 255, 255, 255, 0);
    }
    EXPECT_EQ(backScreen(), wavy);
    EXPECT_NE(wavy, drawn("AB", 40, ALIGN_LEFT, 0));
}

// The digits drawn one by one, left to right, one blank column apart.
std::vector<uint16_t> digitsByHand(const char* digits, int x) {
    fillBackBuffer(0);
    for (const char* d = digits; *d; ++d) {
        char one[2] = {*d, 0};
        drawText(x, 60, one, ALIGN_LEFT, 255, 255, 255, 0);
        x += glyphWidth[static_cast<int>(*d)] + 1;
    }
    return backScreen();
}

int numberWidth(const char* digits) {
    int total = 0;
    for (const char* d = digits; *d; ++d) total += glyphWidth[static_cast<int>(*d)] + 1;
    return total;
}

TEST_F(Text, NumbersKeepTheirLowestDigitsWithLeadingZeros) {
    fillBackBuffer(0);
    drawNumber(20, 60, 42, ALIGN_LEFT, 6, 255, 255, 255);
    EXPECT_EQ(backScreen(), digitsByHand("000042", 20));
    fillBackBuffer(0);
    drawNumber(20, 60, 1234567, ALIGN_LEFT, 6, 255, 255, 255);
    EXPECT_EQ(backScreen(), digitsByHand("234567", 20));
    fillBackBuffer(0);
    drawNumber(200, 60, 905, ALIGN_RIGHT, 3, 255, 255, 255);
    EXPECT_EQ(backScreen(), digitsByHand("905", 200 - numberWidth("905")));
    fillBackBuffer(0);
    drawNumber(120, 60, 31, ALIGN_CENTRE, 2, 255, 255, 255);
    int total = numberWidth("31");
    EXPECT_EQ(backScreen(), digitsByHand("31", 120 + total - total / 2 - total));
    fillBackBuffer(0);
    drawNumber(20, 60, 42, ALIGN_LEFT, 0, 255, 255, 255);
    EXPECT_EQ(backScreen(), std::vector<uint16_t>(240 * 320, 0));
}

} // namespace
