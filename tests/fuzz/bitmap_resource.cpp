// Any bytes as a bitmap resource, loaded as a picture and as the font strip and drawn through
// every blit and the text, leaving no bitmap or device context behind.
#include "fuzz/check.h"
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useGfxHost("qvga");
    spriteKey = colourFromRgb(&backBuffer, 0x800080);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int before = liveGdiObjectCount();
    registerResource("BITMAP", BITMAP_FONT, data, size);

    Surface* s = loadPicture(BITMAP_FONT);
    if (s && s->pixels) {
        check(s->width >= 1 && s->height >= 1, "a Surface with pixels has a size");
        // Every pixel read, so that the sanitizer sees an array shorter than its size.
        volatile uint32_t sum = 0;
        for (size_t i = 0; i < static_cast<size_t>(s->width) * s->height; ++i) sum += s->pixels[i];
        (void)sum;
        blitOpaque(&backBuffer, 0, 0, s->width, s->height, s, 0, 0);
        blitKeyed(&backBuffer, -3, -5, s->width + 7, s->height + 9, s, spriteKey, 1, 2);
        blitKeyedSmooth(&backBuffer, 200, 300, 64, 64, s, spriteKey, -4, -4);
        blitTranslucent(&backBuffer, 10, 10, s->width, s->height, s, 12, NO_COLOUR_KEY, 0, 0);
        blitTinted(&backBuffer, 5, 5, s->width, 24, s, 255, 128, 0, 0, 0);
    }
    releaseSurface(s);
    check(liveGdiObjectCount() == before, "no bitmap or device context left behind");

    loadFont();
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
    releaseSurface(surfaces[SLOT_FONT]);
    surfaces[SLOT_FONT] = nullptr;

    clearRegisteredResources();
    check(liveGdiObjectCount() == before, "no bitmap or device context left behind by the font");
    return 0;
}
