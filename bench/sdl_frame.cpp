#include "bench/sdl_frame.h"

#include "shell/state.h"

#include <SDL.h>

#include <cmath>
#include <cstring>

namespace {

SDL_Surface* frame = nullptr;
SDL_Surface* wrapped[PIC_COUNT] = {};
SDL_Surface* font = nullptr;

SDL_Surface* wrap(const Surface* s) {
    return SDL_CreateRGBSurfaceWithFormatFrom(s->pixels, s->width, s->height, 16, s->width * 2,
                                              SDL_PIXELFORMAT_RGB565);
}

// Opaque copies, colour-keyed sprites, and coverage masks tinted through the
// surface's colour and alpha modulation over a black key.
void setUp(SDL_Surface* s, int picture) {
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    if (picture == PIC_SPRITES) SDL_SetColorKey(s, SDL_TRUE, spriteKey);
    if (picture == PIC_BUBBLES) {
        SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
        SDL_SetColorKey(s, SDL_TRUE, 0);
        SDL_SetSurfaceColorMod(s, 215, 230, 255);
        SDL_SetSurfaceAlphaMod(s, 200);
    }
}

void blit(SDL_Surface* source, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX,
          int32_t srcY) {
    SDL_Rect from = {srcX, srcY, w, h};
    SDL_Rect to = {x, y, w, h};
    SDL_BlitSurface(source, &from, frame, &to);
}

// The glyphs of a text laid out as the game's text drawing lays them out.
void drawText(const SceneText& t) {
    char digits[16];
    const char* text = t.text;
    if (t.number) {
        int32_t n = t.digits < 15 ? t.digits : 15;
        uint32_t rest = static_cast<uint32_t>(t.value);
        for (int32_t i = n - 1; i >= 0; --i, rest /= 10)
            digits[i] = static_cast<char>('0' + rest % 10);
        digits[n] = 0;
        text = digits;
    }
    // Text is measured by its upper-case widths; numbers by their digits plus
    // one blank column each.
    int32_t sum = 0;
    for (const char* c = text; *c; ++c) {
        unsigned code = static_cast<unsigned char>(*c) & 0x7F;
        if (!t.number && code > 0x60) code -= 32;
        sum += glyphWidth[code] + (t.number ? 1 : 0);
    }
    int32_t x0 = t.x - (sum * t.align) / 2;
    int32_t pen = 0;
    for (const char* c = text; *c; ++c) {
        unsigned code = static_cast<unsigned char>(*c) & 0x7F;
        int32_t y = t.y;
        if (t.wave)
            y = static_cast<int32_t>(t.y + 2.0 * t.wave *
                                               std::cos(3.0 * menuPhase - 0.05 * pen + 1.3 * t.y));
        blit(font, x0 + pen, y, glyphWidth[code], 20, glyphStart[code], 0);
        pen += glyphWidth[code] + (t.number ? 1 : 0);
    }
}

} // namespace

bool makeSdlScene(const ScenePictures& pictures, int32_t width, int32_t height) {
    frame = SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, SDL_PIXELFORMAT_RGB565);
    if (!frame || !surfaces[SLOT_FONT]) return false;
    for (int i = 0; i < PIC_COUNT; ++i) {
        wrapped[i] = wrap(pictures.pictures[i]);
        if (!wrapped[i]) return false;
        setUp(wrapped[i], i);
    }
    font = wrap(surfaces[SLOT_FONT]);
    if (!font) return false;
    setUp(font, PIC_BUBBLES);
    SDL_SetSurfaceColorMod(font, 255, 255, 255);
    SDL_SetSurfaceAlphaMod(font, 255);
    return true;
}

void releaseSdlScene() {
    for (SDL_Surface*& s : wrapped) {
        SDL_FreeSurface(s);
        s = nullptr;
    }
    SDL_FreeSurface(font);
    SDL_FreeSurface(frame);
    font = frame = nullptr;
}

void drawSdlFrame(const ScenePlan& plan, uint16_t* display) {
    SDL_FillRect(frame, nullptr, 0);
    for (int i = 0; i < plan.blitCount; ++i) {
        const SceneBlit& b = plan.blits[i];
        blit(wrapped[b.picture], b.x, b.y, b.w, b.h, b.srcX, b.srcY);
    }
    for (int i = 0; i < plan.textCount; ++i) drawText(plan.texts[i]);
    // Present: the frame in one block to the display.
    for (int32_t y = 0; y < frame->h; ++y)
        std::memcpy(display + y * frame->w, static_cast<uint8_t*>(frame->pixels) + y * frame->pitch,
                    static_cast<size_t>(frame->w) * 2);
}
