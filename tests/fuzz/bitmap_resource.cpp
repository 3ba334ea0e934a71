// Any bytes as a bitmap resource, taken the way start-up takes a picture:
// LoadBitmapW, the 24-bit DIB, the conversion to 16-bit pixels. The input
// stands in for the font strip, so the glyph scan and text drawing run over
// it as well. A Surface with pixels must hold width x height of them, a plain
// 24-bit bitmap must convert pixel for pixel, and every bitmap and device
// context made on the way must be gone afterwards.
#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "gfx/text.h"
#include "platform/wince/bitmap.h"
#include "platform/wince/resources.h"
#include "support/gfx_host.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "bitmap invariant broken: %s\n", what);
    std::abort();
}

uint32_t le16(const uint8_t* p) {
    return p[0] | p[1] << 8;
}

uint32_t le32(const uint8_t* p) {
    return le16(p) | le16(p + 2) << 16;
}

// A plain bitmap file: 40-byte header, 24 bits, no compression, bottom row
// first, every row present. Small enough to compare in full.
struct PlainBitmap {
    int32_t width = 0, height = 0;
    const uint8_t* rows = nullptr; // the bottom row
    size_t rowBytes = 0;
};

bool plainBitmap(const uint8_t* data, size_t size, PlainBitmap* out) {
    if (size < 54 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t offset = le32(data + 10);
    int32_t width = static_cast<int32_t>(le32(data + 18));
    int32_t height = static_cast<int32_t>(le32(data + 22));
    if (le32(data + 14) != 40 || le16(data + 26) != 1 || le16(data + 28) != 24 ||
        le32(data + 30) != 0)
        return false;
    if (width < 1 || width > 512 || height < 1 || height > 512 || offset < 54) return false;
    size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    if (offset > size || size - offset < rowBytes * static_cast<size_t>(height)) return false;
    *out = {width, height, data + offset, rowBytes};
    return true;
}

void checkPlainPixels(const Surface* s, const PlainBitmap& b) {
    check(s != nullptr && s->pixels != nullptr, "a plain 24-bit bitmap loads with pixels");
    check(s->width == b.width && s->height == b.height, "the Surface has the bitmap's size");
    for (int32_t y = 0; y < b.height; ++y) {
        const uint8_t* p = b.rows + static_cast<size_t>(b.height - 1 - y) * b.rowBytes;
        for (int32_t x = 0; x < b.width; ++x, p += 3) {
            uint32_t colour = p[2] | p[1] << 8 | p[0] << 16;
            check(s->pixels[y * s->width + x] == convertColour(backBuffer.props.ffFormat, colour),
                  "each pixel is the converted colour of the bitmap's pixel");
        }
    }
}

// Reads every pixel, so that the sanitizer sees an array shorter than its size.
uint32_t touchAll(const Surface* s) {
    uint32_t sum = 0;
    size_t count = static_cast<size_t>(s->width) * static_cast<size_t>(s->height);
    for (size_t i = 0; i < count; ++i) sum += s->pixels[i];
    return sum;
}

void drawWith(const Surface* s) {
    blitOpaque(&backBuffer, 0, 0, s->width, s->height, s, 0, 0);
    blitKeyed(&backBuffer, -3, -5, s->width + 7, s->height + 9, s, spriteKey, 1, 2);
    blitKeyedSmooth(&backBuffer, 200, 300, 64, 64, s, spriteKey, -4, -4);
    blitTranslucent(&backBuffer, 10, 10, s->width, s->height, s, 12, NO_COLOUR_KEY, 0, 0);
    blitTinted(&backBuffer, 5, 5, s->width, 24, s, 255, 128, 0, 0, 0);
}

void checkGlyphs() {
    const Surface* font = surfaces[SLOT_FONT];
    int32_t columns = font && font->pixels ? font->width : 0;
    if (columns > FONT_STRIP_WIDTH) columns = FONT_STRIP_WIDTH;
    for (int code = 33; code < GLYPH_CODES; ++code) {
        check(glyphWidth[code] >= 0 && glyphStart[code] >= 0, "glyph columns not negative");
        check(glyphStart[code] + glyphWidth[code] <= columns, "glyphs lie inside the strip");
    }
    drawText(120, 100, "Reefdart: Jouer! ~{}\x7f\x80\xff", ALIGN_CENTRE, 255, 255, 0, 4);
    drawText(0, 300, "abcxyz 0123456789", ALIGN_RIGHT, 0, 0, 255, 0);
    drawNumber(238, 0, 1234567, ALIGN_RIGHT, 8, 255, 255, 255);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useGfxHost("qvga");
    spriteKey = colourFromRgb(&backBuffer, 0x800080);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int before = liveGdiObjectCount();
    registerResource("BITMAP", BITMAP_FONT, data, size);

    Surface* s = loadPicture(BITMAP_FONT);
    PlainBitmap plain;
    if (plainBitmap(data, size, &plain)) checkPlainPixels(s, plain);
    if (s && s->pixels) {
        check(s->width >= 1 && s->height >= 1, "a Surface with pixels has a size");
        volatile uint32_t sum = touchAll(s);
        (void)sum;
        drawWith(s);
    }
    releaseSurface(s);
    check(liveGdiObjectCount() == before, "no bitmap or device context left behind");

    loadFont();
    checkGlyphs();
    releaseSurface(surfaces[SLOT_FONT]);
    surfaces[SLOT_FONT] = nullptr;

    clearRegisteredResources();
    check(liveGdiObjectCount() == before, "no bitmap or device context left behind by the font");
    return 0;
}
