// A game-like frame made of synthetic pictures of the real sizes, drawn the
// way the game screen draws one: black copy, water band, bubbles, an
// obstacle, rock strips, edge tiles, the fish with its trail and the HUD,
// then the presentation. The layout of each frame is planned first as a list
// of blits and texts, so that other renderers can draw the very same frame.
// Header-only: the benchmark and the frame tests both include it.
#pragma once

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "gfx/text.h"

#include <cmath>
#include <cstdint>

enum ScenePicture { PIC_WATER, PIC_ROCK, PIC_BUBBLES, PIC_SPRITES, PIC_COUNT };
enum SceneBlitKind { SCENE_KEYED, SCENE_SMOOTH, SCENE_TINTED };

struct SceneBlit {
    int kind;
    int picture;
    int32_t x, y, w, h, srcX, srcY;
};

struct SceneText {
    bool number;
    int32_t x, y, align, value, digits;
    const char* text;
    uint8_t wave;
};

constexpr int SCENE_MAX_BLITS = 128;
constexpr int SCENE_MAX_TEXTS = 16;
constexpr int32_t SCENE_CW = 24;
constexpr int SCENE_RING = 12;

struct ScenePlan {
    SceneBlit blits[SCENE_MAX_BLITS];
    int blitCount;
    SceneText texts[SCENE_MAX_TEXTS];
    int textCount;
};

struct ScenePictures {
    Surface* pictures[PIC_COUNT];
};

namespace scene_detail {

inline uint32_t nextNoise(uint32_t* seed) {
    *seed = *seed * 1103515245u + 12345u;
    return (*seed >> 16) & 0x7FFF;
}

inline Surface* newSurface(int32_t w, int32_t h) {
    Surface* s = new Surface{};
    s->width = w;
    s->height = h;
    s->pixels = new uint16_t[static_cast<size_t>(w) * static_cast<size_t>(h)];
    return s;
}

inline uint16_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return colourFromRgb(&backBuffer, (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}

inline Surface* makeTexture(uint32_t seed, bool rock) {
    Surface* s = newSurface(240, 320);
    for (int32_t y = 0; y < 320; ++y)
        for (int32_t x = 0; x < 240; ++x) {
            uint32_t n = nextNoise(&seed) & 31;
            s->pixels[y * 240 + x] = rock ? rgb(90 + n, 60 + n / 2, 40 + (x ^ y) % 16)
                                          : rgb(0, 40 + y / 4 + n / 4, 120 + (x * 7 + y * 3) % 60);
        }
    return s;
}

inline void fillEllipse(Surface* s, int32_t x0, int32_t y0, int32_t w, int32_t h, uint16_t c) {
    double cx = x0 + (w - 1) / 2.0, cy = y0 + (h - 1) / 2.0, rx = w / 2.0, ry = h / 2.0;
    for (int32_t y = y0; y < y0 + h; ++y)
        for (int32_t x = x0; x < x0 + w; ++x) {
            double dx = (x - cx) / rx, dy = (y - cy) / ry;
            if (dx * dx + dy * dy <= 1.0) s->pixels[y * s->width + x] = c;
        }
}

// Fish, dead fish, the obstacle and five rows of floor and ceiling tiles on
// the key colour.
inline Surface* makeSpriteSheet() {
    Surface* s = newSurface(48, 180);
    for (int32_t i = 0; i < 48 * 180; ++i) s->pixels[i] = spriteKey;
    fillEllipse(s, 2, 6, 20, 12, rgb(255, 140, 0));
    fillEllipse(s, 0, 8, 6, 8, rgb(230, 110, 0));
    fillEllipse(s, 16, 9, 3, 3, rgb(0, 0, 0));
    fillEllipse(s, 26, 6, 20, 12, rgb(160, 160, 160));
    fillEllipse(s, 24, 8, 6, 8, rgb(130, 130, 130));
    fillEllipse(s, 0, 24, 36, 36, rgb(200, 20, 20));
    fillEllipse(s, 8, 32, 20, 20, rgb(240, 60, 40));
    for (int32_t row = 0; row < 5; ++row) {
        int32_t top = 60 + row * SCENE_CW;
        uint16_t colour = rgb(60 + row * 40, 40 + row * 20, 120 - row * 20);
        fillEllipse(s, 2, top + 10, 20, 14, colour); // floor: on the lower half
        fillEllipse(s, 26, top, 20, 14, colour);     // ceiling: on the upper half
        for (int32_t x = 0; x < SCENE_CW; ++x) s->pixels[(top + 23) * 48 + x] = colour;
        for (int32_t x = 24; x < 48; ++x) s->pixels[top * 48 + x] = colour;
    }
    return s;
}

// Five round coverage masks of decreasing size, 16 x 16 each, stacked.
inline Surface* makeBubbles() {
    Surface* s = newSurface(16, 80);
    for (int32_t k = 0; k < 5; ++k) {
        double r = 7.5 - k * 1.2;
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                double d = std::sqrt((x - 7.5) * (x - 7.5) + (y - 7.5) * (y - 7.5));
                uint32_t coverage = d > r ? 0 : d > r - 1.5 ? 31 : x < 7 && y < 7 ? 24 : 6;
                s->pixels[(k * 16 + y) * 16 + x] = rgb(coverage * 8, coverage * 8, coverage * 8);
            }
    }
    return s;
}

inline void addBlit(ScenePlan* p, int kind, int picture, int32_t x, int32_t y, int32_t w, int32_t h,
                    int32_t srcX, int32_t srcY) {
    if (p->blitCount < SCENE_MAX_BLITS)
        p->blits[p->blitCount++] = SceneBlit{kind, picture, x, y, w, h, srcX, srcY};
}

inline void addText(ScenePlan* p, int32_t x, int32_t y, const char* text, int32_t align,
                    uint8_t wave) {
    if (p->textCount < SCENE_MAX_TEXTS)
        p->texts[p->textCount++] = SceneText{false, x, y, align, 0, 0, text, wave};
}

inline void addNumber(ScenePlan* p, int32_t x, int32_t y, int32_t value, int32_t align,
                      int32_t digits) {
    if (p->textCount < SCENE_MAX_TEXTS)
        p->texts[p->textCount++] = SceneText{true, x, y, align, value, digits, nullptr, 0};
}

inline void planHud(ScenePlan* p, int frame, int32_t W, int32_t H) {
    int32_t score = 7 * (40 + frame / 3);
    addNumber(p, 3, 3, score, ALIGN_LEFT, 5);
    addText(p, W - 3, 3, "New Record!", ALIGN_RIGHT, 0);
    addText(p, W / 2, H / 2 + 5, "Get ready!", ALIGN_CENTRE, 1);
    addNumber(p, W / 2 + 32, H / 2 - 80, 4321, ALIGN_LEFT, 6);
    addText(p, W / 2 + 32, H / 2 - 80, "Best score: ", ALIGN_RIGHT, 1);
    addNumber(p, W / 2 + 6, H / 2, score, ALIGN_LEFT, 6);
    addText(p, W / 2 + 6, H / 2, "Score: ", ALIGN_RIGHT, 1);
    addNumber(p, W / 2 - 26, H / 2 + 50, 73915208 + frame, ALIGN_LEFT, 8);
    addText(p, W / 2 - 26, H / 2 + 50, "Code: ", ALIGN_RIGHT, 1);
    addText(p, W / 2, H / 2 - 20, "Game Over...", ALIGN_CENTRE, 1);
}

} // namespace scene_detail

inline void makeScenePictures(ScenePictures* s) {
    s->pictures[PIC_WATER] = scene_detail::makeTexture(7, false);
    s->pictures[PIC_ROCK] = scene_detail::makeTexture(11, true);
    s->pictures[PIC_BUBBLES] = scene_detail::makeBubbles();
    s->pictures[PIC_SPRITES] = scene_detail::makeSpriteSheet();
}

inline void releaseScenePictures(ScenePictures* s) {
    for (Surface*& picture : s->pictures) {
        releaseSurface(picture);
        picture = nullptr;
    }
}

// The blits and texts of frame number frame on a W x H layout, in the order
// the game screen draws its layers.
inline void planSceneFrame(int frame, int32_t W, int32_t H, ScenePlan* p) {
    using namespace scene_detail;
    const int32_t cw = SCENE_CW;
    p->blitCount = p->textCount = 0;
    float f = static_cast<float>((frame * 37) % 100) / 100.0f;
    int32_t columnCount = 40 + frame / 3;
    float half = 0.2f;
    float centre[SCENE_RING];
    for (int k = 0; k < SCENE_RING; ++k)
        centre[k] = 0.12f * static_cast<float>(std::sin((columnCount + k) * 1.7 + frame * 0.01));
    auto column = [&](int i) { return columnCount + i; };
    auto left = [&](int i) { return static_cast<int32_t>(i * cw - cw * f); };
    auto ring = [&](int i) { return centre[column(i) % SCENE_RING]; };
    for (int i = 0; left(i) < W; ++i) {
        float m = ring(i);
        int32_t yBand = static_cast<int32_t>(H * 0.5 - (m + half) * H - cw / 2);
        int32_t hBand = static_cast<int32_t>((H * half) * 2.0 + cw);
        addBlit(p, SCENE_KEYED, PIC_WATER, left(i), yBand, cw, hBand, (column(i) % 10) * cw, yBand);
    }
    for (int i = 0; i < 12; ++i) {
        int32_t x = (frame * 3 + i * 53) % (W + 16) - 16;
        int32_t y = H - (frame * 2 + i * 71) % (H + 16);
        addBlit(p, SCENE_TINTED, PIC_BUBBLES, x, y, 16, 16, 0, 16 * (i % 5));
    }
    addBlit(p, SCENE_SMOOTH, PIC_SPRITES, left(3),
            static_cast<int32_t>(H * 0.5 - H * ring(3) - cw - 6.0), 36, 36, 0, 24);
    for (int i = 0; left(i) < W; ++i) {
        float m = ring(i);
        int32_t x = left(i), srcX = (column(i) % 10) * cw;
        int32_t yFloor = static_cast<int32_t>((half - m) * H + H * 0.5 + cw / 2);
        int32_t yCeil = static_cast<int32_t>(H * 0.5 - (m + half) * H - cw / 2 - 180.0);
        int style = column(i) % 3;
        addBlit(p, SCENE_KEYED, PIC_ROCK, x, yFloor, cw, 180, srcX, yFloor);
        addBlit(p, SCENE_KEYED, PIC_ROCK, x, yCeil, cw, 180, srcX, yCeil);
        addBlit(p, SCENE_SMOOTH, PIC_SPRITES, x, static_cast<int32_t>((half - m) * H + H * 0.5), cw,
                cw, 0, style * cw + 60);
        addBlit(p, SCENE_SMOOTH, PIC_SPRITES, x,
                static_cast<int32_t>(H * 0.5 - (m + half) * H - cw), cw, cw, 24,
                ((style + 1) % 3) * cw + 60);
    }
    for (int j = 0; j <= 15; j += 5) {
        double trail = 0.05 * std::sin((frame - (15 - j) * 2) * 0.1);
        addBlit(p, SCENE_SMOOTH, PIC_SPRITES, static_cast<int32_t>(cw * j * 0.166 - cw),
                static_cast<int32_t>(H * 0.5 - H * trail - cw * 0.5), cw, cw, 0, 0);
    }
    planHud(p, frame, W, H);
}

// Draws a planned frame into backBuffer with the game's blits and text, and
// presents it.
inline void drawScenePlan(const ScenePictures& s, const ScenePlan& p) {
    copyBuffer(&backBuffer, &blankBuffer);
    for (int i = 0; i < p.blitCount; ++i) {
        const SceneBlit& b = p.blits[i];
        const Surface* picture = s.pictures[b.picture];
        if (b.kind == SCENE_KEYED)
            blitKeyed(&backBuffer, b.x, b.y, b.w, b.h, picture, NO_COLOUR_KEY, b.srcX, b.srcY);
        else if (b.kind == SCENE_SMOOTH)
            blitKeyedSmooth(&backBuffer, b.x, b.y, b.w, b.h, picture, spriteKey, b.srcX, b.srcY);
        else
            blitTinted(&backBuffer, b.x, b.y, b.w, b.h, picture, 215, 230, 255, b.srcX, b.srcY);
    }
    for (int i = 0; i < p.textCount; ++i) {
        const SceneText& t = p.texts[i];
        if (t.number)
            drawNumber(t.x, t.y, t.value, t.align, t.digits, 255, 255, 255);
        else
            drawText(t.x, t.y, t.text, t.align, 255, 255, 255, t.wave);
    }
    presentFrame();
}

inline void drawSceneFrame(const ScenePictures& s, int frame, ScenePlan* scratch) {
    planSceneFrame(frame, screenWidth, screenHeight, scratch);
    drawScenePlan(s, *scratch);
}
