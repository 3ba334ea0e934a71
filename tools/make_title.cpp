// Makes the front end's pictures:
//   bitmap_249.bmp  240 x 320  the title picture: the name plate at the top, the
//                              underwater scene with its fish, weed and the red
//                              spiky puffer, and calm mid-toned water where the
//                              black menu labels, the highlight and the white
//                              lines of the Controls and About screens go;
//   bitmap_248.bmp  157 x 244  the grey fish-body menu panel on the sprite
//                              purple, cut into four segments at rows 73, 124
//                              and 177 by three curved bands;
//   bitmap_302.bmp  176 x 135  the studio splash on black.
// All three are 8-bit and come out byte for byte the same on every run. The
// lettering is drawn with FreeType from the DejaVu fonts.
//
// Usage: make_title [output-folder]   (default: resources)
#include <ft2build.h>
#include FT_FREETYPE_H

#include "tools/bmp_writer.h"
#include "tools/canvas.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using art::Canvas;
using art::Colour;
using art::rgb;

const char* const BOLD_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const CONDENSED_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";

const bmp::Rgb PURPLE = {128, 0, 128};
const bmp::Rgb BLACK = {0, 0, 0};

constexpr float PI = 3.14159265f;

// ---------------------------------------------------------------- lettering

// Coverage 0..1 of some lettering, at picture resolution.
struct Mask {
    int width = 0, height = 0;
    std::vector<float> value;
    float at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0;
        return value[y * width + x];
    }
};

constexpr int TEXT_OVERSAMPLE = 4;

// The text drawn at pixelSize with extra tracking pixels between letters;
// each letter's baseline is raised by lift(i) pixels. Rendered at four times
// the size and averaged down.
template <typename Lift>
Mask renderText(FT_Face face, const char* text, float pixelSize, float tracking, Lift lift) {
    const int k = TEXT_OVERSAMPLE;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::lround(pixelSize * k)));
    int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    int descent = static_cast<int>(-face->size->metrics.descender >> 6);
    int pad = 8 * k;
    int n = static_cast<int>(std::strlen(text));
    int wide = pad * 2;
    for (int i = 0; i < n; ++i) {
        FT_Load_Char(face, static_cast<unsigned char>(text[i]), FT_LOAD_NO_HINTING);
        wide += static_cast<int>(face->glyph->advance.x >> 6) + static_cast<int>(tracking * k);
    }
    int high = ascent + descent + pad * 2;
    std::vector<float> big(static_cast<size_t>(wide) * high, 0.0f);
    int penX = pad;
    FT_UInt previous = 0;
    for (int i = 0; i < n; ++i) {
        FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(text[i]));
        if (previous && glyph) {
            FT_Vector kern;
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kern);
            penX += static_cast<int>(kern.x >> 6);
        }
        previous = glyph;
        FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
        const FT_Bitmap& b = face->glyph->bitmap;
        int top = pad + ascent - face->glyph->bitmap_top - static_cast<int>(lift(i) * k);
        int left = penX + face->glyph->bitmap_left;
        for (unsigned r = 0; r < b.rows; ++r)
            for (unsigned c = 0; c < b.width; ++c) {
                int x = left + static_cast<int>(c), y = top + static_cast<int>(r);
                if (x < 0 || y < 0 || x >= wide || y >= high) continue;
                float v = b.buffer[r * b.pitch + c] / 255.0f;
                big[y * wide + x] = std::max(big[y * wide + x], v);
            }
        penX += static_cast<int>(face->glyph->advance.x >> 6) + static_cast<int>(tracking * k);
    }
    // Average down, then trim to the ink.
    int w = wide / k, h = high / k;
    std::vector<float> small(static_cast<size_t>(w) * h, 0.0f);
    for (int y = 0; y < h * k; ++y)
        for (int x = 0; x < w * k; ++x) small[(y / k) * w + x / k] += big[y * wide + x] / (k * k);
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (small[y * w + x] > 0.004f) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    Mask m;
    if (x1 < 0) return m;
    m.width = x1 - x0 + 1;
    m.height = y1 - y0 + 1;
    m.value.resize(static_cast<size_t>(m.width) * m.height);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) m.value[y * m.width + x] = small[(y + y0) * w + x + x0];
    return m;
}

Mask renderText(FT_Face face, const char* text, float pixelSize, float tracking) {
    return renderText(face, text, pixelSize, tracking, [](int) { return 0.0f; });
}

// The mask grown by radius pixels (a soft round dilation), with a margin.
Mask grow(const Mask& m, int radius) {
    Mask g;
    g.width = m.width + 2 * radius;
    g.height = m.height + 2 * radius;
    g.value.assign(static_cast<size_t>(g.width) * g.height, 0.0f);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            float best = 0;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx) {
                    float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
                    float falloff = std::clamp(radius + 0.5f - d, 0.0f, 1.0f);
                    best = std::max(best, m.at(x - radius + dx, y - radius + dy) * falloff);
                }
            g.value[y * g.width + x] = std::min(1.0f, best * 1.4f);
        }
    return g;
}

// Lays a mask on the canvas with its top-left at (ox, oy).
template <typename Paint>
void paintMask(Canvas* c, const Mask& m, int ox, int oy, Paint paint, float opacity = 1.0f) {
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            float a = m.value[y * m.width + x];
            if (a > 0) c->blend(ox + x, oy + y, paint(x, y), a * opacity);
        }
}

// ------------------------------------------------------------------ shapes

bool inRoundedRect(float px, float py, float x0, float y0, float x1, float y1, float r) {
    float cx = std::clamp(px, x0 + r, x1 - r), cy = std::clamp(py, y0 + r, y1 - r);
    float dx = px - cx, dy = py - cy;
    return px >= x0 && px <= x1 && py >= y0 && py <= y1 && dx * dx + dy * dy <= r * r;
}

void fillRoundedRect(Canvas* c, float x0, float y0, float x1, float y1, float r, Colour top,
                     Colour bottom, float opacity = 1.0f) {
    c->fillShape(
        static_cast<int>(x0) - 1, static_cast<int>(y0) - 1, static_cast<int>(x1) + 1,
        static_cast<int>(y1) + 1,
        [=](float px, float py) { return inRoundedRect(px, py, x0, y0, x1, y1, r); },
        [=](int, int y) {
            return art::mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.f, 1.f));
        },
        opacity);
}

// An ellipse shaded from light at the upper left to dark at the lower right.
void shadedEllipse(Canvas* c, float cx, float cy, float rx, float ry, Colour light, Colour dark) {
    c->fillShape(
        static_cast<int>(cx - rx) - 1, static_cast<int>(cy - ry) - 1, static_cast<int>(cx + rx) + 1,
        static_cast<int>(cy + ry) + 1,
        [=](float px, float py) {
            float dx = (px - cx) / rx, dy = (py - cy) / ry;
            return dx * dx + dy * dy <= 1.0f;
        },
        [=](int x, int y) {
            float dx = (x + 0.5f - cx) / rx + 0.45f, dy = (y + 0.5f - cy) / ry + 0.55f;
            float t = std::clamp(std::sqrt(dx * dx + dy * dy) / 1.9f, 0.0f, 1.0f);
            return art::mix(light, dark, t);
        });
}

void fillRing(Canvas* c, float cx, float cy, float r, float thickness, Colour colour,
              float opacity) {
    c->fillShape(
        static_cast<int>(cx - r) - 1, static_cast<int>(cy - r) - 1, static_cast<int>(cx + r) + 1,
        static_cast<int>(cy + r) + 1,
        [=](float px, float py) {
            float d = std::hypot(px - cx, py - cy);
            return d <= r && d >= r - thickness;
        },
        [=](int, int) { return colour; }, opacity);
}

// Fills the shape with colour at a coverage times alpha(x, y).
template <typename Test, typename Alpha>
void fillShapeAlpha(Canvas* c, float x0, float y0, float x1, float y1, Test test, Colour colour,
                    Alpha alpha) {
    for (int y = std::max(0, static_cast<int>(y0) - 1);
         y <= std::min(c->height - 1, static_cast<int>(y1) + 1); ++y)
        for (int x = std::max(0, static_cast<int>(x0) - 1);
             x <= std::min(c->width - 1, static_cast<int>(x1) + 1); ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    if (test(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4)) ++hits;
            if (hits) c->blend(x, y, colour, alpha(x, y) * hits / 16.0f);
        }
}

float smooth(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

void bubble(Canvas* c, float cx, float cy, float r) {
    c->fillEllipse(cx, cy, r, r, rgb(255, 255, 255), 0.16f);
    fillRing(c, cx, cy, r, std::max(1.0f, r * 0.22f), rgb(240, 255, 255), 0.75f);
    c->fillEllipse(cx - r * 0.38f, cy - r * 0.38f, r * 0.26f, r * 0.26f, rgb(255, 255, 255), 0.9f);
}

// A line through the points, its width going from w0 to w1 along it.
void strokePath(Canvas* c, const std::vector<float>& xy, float w0, float w1, Colour colour) {
    size_t n = xy.size() / 2;
    for (size_t i = 0; i + 1 < n; ++i) {
        float t = static_cast<float>(i) / static_cast<float>(n - 1);
        c->strokeLine(xy[2 * i], xy[2 * i + 1], xy[2 * i + 2], xy[2 * i + 3], w0 + (w1 - w0) * t,
                      colour);
    }
}

// ------------------------------------------------------------------- water

// sRGB relative luminance of a colour, 0..1.
float luminance(Colour c) {
    auto linear = [](float v) {
        v = std::clamp(v, 0.0f, 1.0f);
        return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
    };
    return 0.2126f * linear(c.r) + 0.7152f * linear(c.g) + 0.0722f * linear(c.b);
}

// The colour of the same hue and saturation with the given luminance.
Colour withLuminance(Colour c, float target) {
    auto linear = [](float v) {
        v = std::clamp(v, 0.0f, 1.0f);
        return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
    };
    auto encoded = [](float v) {
        v = std::clamp(v, 0.0f, 1.0f);
        return v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1 / 2.4f) - 0.055f;
    };
    float k = target / std::max(luminance(c), 1e-4f);
    return {encoded(linear(c.r) * k), encoded(linear(c.g) * k), encoded(linear(c.b) * k)};
}

// Where the name plate stands.
constexpr float PLATE_X0 = 6, PLATE_Y0 = 8, PLATE_X1 = 170, PLATE_Y1 = 80;

// The menu and the lines of the Controls and About screens run over the same
// rows in one layout or another, black labels on the title and Settings
// screens, white lines on the others. From just below the name plate to just
// above the seabed the water's luminance is therefore held at CALM_LUMINANCE,
// where black and white stand out from it about equally, 4.2 to 4.5 to 1 as
// drawn; the rays there change its hue only. Above, the water lightens
// towards the surface; below, it deepens a little towards the sand, and at
// the sides, beyond the menu, it is darker for depth.
constexpr float CALM_TOP = 82, CALM_BOTTOM = 284, SEABED = 306;
constexpr float CALM_LUMINANCE = 0.180f;

// How deep the plate's soft shadow on the water below it is, 0..1: it ends
// before the first black label of the small layout.
float plateShadow(int x, int y) {
    float across = smooth((x - PLATE_X0 + 4) / 12.0f) * smooth((PLATE_X1 + 18 - x) / 20.0f);
    float down = y < PLATE_Y1 ? smooth((y - 44.0f) / (PLATE_Y1 - 44.0f))
                              : 1.0f - smooth((y - PLATE_Y1 - 6) / 20.0f);
    return across * down;
}

// How much darker than the calm water the sides are, 0..1.
float sideShade(int x) {
    return 0.3f * smooth((18.0f - x) / 18.0f) + 0.3f * smooth((x - 180.0f) / 60.0f);
}

Colour waterAt(int x, int y) {
    float t = y / 319.0f;
    Colour top = rgb(70, 176, 216), middle = rgb(28, 136, 172), deep = rgb(18, 112, 138);
    Colour c =
        t < 0.5f ? art::mix(top, middle, t / 0.5f) : art::mix(middle, deep, (t - 0.5f) / 0.5f);
    // Slanting rays of light from the surface.
    const float rays[] = {30, 92, 150, 205, 262};
    float light = 0;
    for (float r : rays) {
        float along = x - (r - y * 0.32f);
        float width = 9.0f + y * 0.05f;
        light += std::exp(-along * along / (2 * width * width));
    }
    light *= std::max(0.0f, 1.0f - y / 300.0f);
    c = art::mix(c, rgb(200, 244, 240), std::min(light * 0.45f, 0.55f));
    // Faint ripples of light near the surface.
    float ripple = art::fractalNoise(x / 14.0f, y / 6.0f, 41, 3);
    float surface = std::max(0.0f, 1.0f - y / 80.0f);
    c = art::mix(c, rgb(225, 250, 255), std::max(0.0f, ripple - 0.55f) * surface * 0.8f);
    // The luminance: free near the surface, held in the calm water, falling
    // towards the seabed.
    float calm = CALM_LUMINANCE * (1.0f - sideShade(x));
    float held;
    if (y < CALM_TOP) {
        float free = std::max(luminance(c), calm);
        held = free + (calm - free) * smooth((y - 50.0f) / (CALM_TOP - 50.0f));
    } else if (y < CALM_BOTTOM) {
        held = calm;
    } else {
        held = calm * (1.0f - 0.2f * smooth((y - CALM_BOTTOM) / (SEABED - CALM_BOTTOM)));
    }
    return withLuminance(c, held * (1.0f - 0.3f * plateShadow(x, y)));
}

// The sand lies low in the middle, below the About screen's last line, and
// rises towards the rocks at the sides.
void drawSand(Canvas* c) {
    for (int y = 290; y < c->height; ++y)
        for (int x = 0; x < c->width; ++x) {
            float side = smooth((36.0f - x) / 30.0f) + smooth((x - 200.0f) / 30.0f);
            float edge = 314.0f - 11.0f * side + 1.5f * std::sin(x / 23.0f) +
                         1.0f * std::sin(x / 9.0f + 1.0f);
            float a = std::clamp(y + 0.5f - edge, 0.0f, 1.0f);
            float grain = art::fractalNoise(x / 3.0f, y / 2.0f, 77, 2);
            Colour sand = art::mix(rgb(226, 204, 150), rgb(188, 160, 108), grain);
            sand = art::mix(sand, rgb(160, 132, 90), std::clamp((y - edge) / 30.0f, 0.0f, 0.5f));
            c->blend(x, y, sand, a);
        }
}

void drawRock(Canvas* c, float cx, float cy, float rx, float ry, uint32_t seed) {
    c->fillShape(
        static_cast<int>(cx - rx) - 2, static_cast<int>(cy - ry) - 2, static_cast<int>(cx + rx) + 2,
        static_cast<int>(cy + ry) + 2,
        [=](float px, float py) {
            float dx = (px - cx) / rx, dy = (py - cy) / ry;
            float wobble = 0.12f * (art::valueNoise(px / 6.0f, py / 6.0f, seed) - 0.5f);
            return dx * dx + dy * dy <= 1.0f + wobble && py <= cy + ry * 0.6f;
        },
        [=](int x, int y) {
            float n = art::fractalNoise(x / 5.0f, y / 5.0f, seed + 9, 3);
            float shade = std::clamp((y - (cy - ry)) / (ry * 1.6f), 0.0f, 1.0f);
            Colour rock = art::mix(rgb(132, 124, 136), rgb(70, 66, 84), shade);
            return art::mix(rock, rgb(96, 112, 110), n * 0.5f);
        });
}

// A pointed leaf from (x, y) along angle.
void drawLeaf(Canvas* c, float x, float y, float angle, float length, float width, Colour colour) {
    float ux = std::cos(angle), uy = std::sin(angle), vx = -uy, vy = ux;
    std::vector<float> xy;
    const int n = 8;
    for (int i = 0; i <= n; ++i) {
        float t = static_cast<float>(i) / n, w = width * std::sin(t * PI);
        xy.push_back(x + ux * length * t + vx * w);
        xy.push_back(y + uy * length * t + vy * w);
    }
    for (int i = n - 1; i > 0; --i) {
        float t = static_cast<float>(i) / n, w = width * std::sin(t * PI) * 0.6f;
        xy.push_back(x + ux * length * t - vx * w);
        xy.push_back(y + uy * length * t - vy * w);
    }
    c->fillPolygon(xy, colour);
}

// A frond of weed growing from (x, baseY), height tall, swaying by sway.
void drawWeed(Canvas* c, float x, float baseY, float height, float sway, float width, Colour colour,
              float phase) {
    std::vector<float> path;
    const int steps = 24;
    for (int i = 0; i <= steps; ++i) {
        float t = static_cast<float>(i) / steps;
        path.push_back(x + sway * std::sin(t * 2.6f * PI / 2 + phase) * t);
        path.push_back(baseY - height * t);
    }
    strokePath(c, path, width, width * 0.35f, colour);
    Colour leaf = art::mix(colour, rgb(150, 210, 90), 0.3f);
    for (int i = 3; i < steps; i += 3) {
        float px = path[2 * i], py = path[2 * i + 1];
        float side = (i / 3) % 2 ? 1.0f : -1.0f;
        float t = static_cast<float>(i) / steps;
        float size = width * (2.6f - 1.4f * t);
        float angle = -PI / 2 + side * (0.75f + 0.25f * std::sin(i * 1.7f + phase));
        drawLeaf(c, px, py, angle, std::min(size * 1.9f, 15.0f), size * 0.5f,
                 i % 2 ? leaf : colour);
    }
}

void drawWeeds(Canvas* c) {
    struct Frond {
        float x, base, height, sway, width;
        Colour colour;
        float phase;
    };
    const Frond fronds[] = {
        // Left side, in both layouts.
        {4, 322, 190, 8, 7, rgb(46, 128, 70), 0.0f},
        {11, 322, 130, 6, 5, rgb(70, 150, 62), 1.3f},
        {30, 322, 84, 5, 5, rgb(38, 110, 76), 2.2f},
        {-2, 322, 250, 12, 6, rgb(34, 104, 72), 0.7f},
        // Right side, beyond the small layout.
        {232, 322, 210, -10, 7, rgb(46, 128, 70), 0.4f},
        {220, 322, 150, -8, 6, rgb(70, 150, 62), 1.9f},
        {242, 322, 270, -9, 6, rgb(34, 104, 72), 2.8f},
        {207, 322, 80, -5, 5, rgb(58, 138, 66), 0.9f},
        // Short tufts along the bottom.
        {60, 322, 12, 3, 4, rgb(58, 138, 66), 0.3f},
        {66, 322, 9, -3, 3, rgb(46, 128, 70), 1.1f},
        {150, 322, 12, 3, 4, rgb(46, 128, 70), 2.0f},
        {157, 322, 9, -2, 3, rgb(70, 150, 62), 0.6f},
        {108, 322, 8, 2, 3, rgb(58, 138, 66), 1.6f},
    };
    for (const Frond& f : fronds)
        drawWeed(c, f.x, f.base, f.height, f.sway, f.width, f.colour, f.phase);
}

// ---------------------------------------------------------------- creatures

// A friendly cartoon fish, facing right when dir is 1 and left when -1.
void drawFish(Canvas* c, float cx, float cy, float length, float dir, Colour body, Colour belly) {
    float rx = length * 0.36f, ry = length * 0.26f;
    Colour edge = art::scale(body, 0.55f);
    Colour fin = art::mix(body, rgb(255, 90, 40), 0.35f);
    auto X = [=](float u) { return cx + dir * u; };
    // Tail, with a notch.
    float back = rx * 0.8f, tip = rx + length * 0.27f;
    c->fillPolygon({X(-back), cy, X(-tip), cy - ry * 1.0f, X(-tip + length * 0.08f), cy, X(-tip),
                    cy + ry * 1.0f},
                   edge);
    c->fillPolygon({X(-back + 1), cy, X(-tip + 1.5f), cy - ry * 0.8f, X(-tip + length * 0.09f), cy,
                    X(-tip + 1.5f), cy + ry * 0.8f},
                   fin);
    // Dorsal fin.
    c->fillPolygon({X(-rx * 0.5f), cy - ry * 0.75f, X(-rx * 0.1f), cy - ry * 1.45f, X(rx * 0.35f),
                    cy - ry * 0.8f},
                   fin);
    // Body with a dark rim, a lighter belly and a white stripe.
    c->fillEllipse(cx, cy, rx + 1.2f, ry + 1.2f, edge);
    shadedEllipse(c, cx, cy, rx, ry, art::mix(body, rgb(255, 255, 200), 0.35f), body);
    auto inBody = [=](float px, float py, float k) {
        float dx = (px - cx) / rx, dy = (py - cy) / ry;
        return dx * dx + dy * dy <= k;
    };
    // The belly fades in below the middle.
    fillShapeAlpha(
        c, cx - rx, cy - ry, cx + rx, cy + ry,
        [=](float px, float py) { return inBody(px, py, 0.9f); }, belly,
        [=](int, int y) { return 0.85f * smooth((y + 0.5f - cy) / (ry * 0.7f) + 0.1f); });
    // A white stripe behind the eye, with darker edges.
    auto stripe = [=](float px, float py, float from, float to) {
        float dy = (py - cy) / ry;
        float u = dir * (px - cx) / rx + 0.1f * dy * dy;
        return inBody(px, py, 0.98f) && u > from && u < to;
    };
    c->fillShape(
        static_cast<int>(cx - rx), static_cast<int>(cy - ry), static_cast<int>(cx + rx) + 1,
        static_cast<int>(cy + ry) + 1,
        [=](float px, float py) { return stripe(px, py, -0.07f, 0.27f); },
        [=](int, int) { return edge; }, 0.6f);
    c->fillShape(
        static_cast<int>(cx - rx), static_cast<int>(cy - ry), static_cast<int>(cx + rx) + 1,
        static_cast<int>(cy + ry) + 1,
        [=](float px, float py) { return stripe(px, py, -0.02f, 0.22f); },
        [=](int, int) { return rgb(255, 252, 244); });
    // Side fin.
    c->fillPolygon({X(-rx * 0.05f), cy + ry * 0.2f, X(-rx * 0.45f), cy + ry * 0.55f, X(-rx * 0.1f),
                    cy + ry * 0.6f},
                   art::mix(fin, edge, 0.4f));
    // Eye and smile.
    float ex = X(rx * 0.5f), ey = cy - ry * 0.22f, er = ry * 0.4f;
    c->fillEllipse(ex, ey, er + 0.8f, er + 0.8f, edge);
    c->fillEllipse(ex, ey, er, er, rgb(255, 255, 255));
    c->fillEllipse(ex + dir * er * 0.3f, ey + er * 0.1f, er * 0.55f, er * 0.6f, rgb(20, 24, 40));
    c->fillEllipse(ex + dir * er * 0.1f, ey - er * 0.25f, er * 0.2f, er * 0.2f, rgb(255, 255, 255));
    float lw = std::max(1.2f, length * 0.035f);
    float mx = X(rx * 0.9f), my = cy + ry * 0.22f;
    c->strokeLine(mx, my, X(rx * 0.78f), my + ry * 0.2f, lw, edge);
    c->strokeLine(X(rx * 0.78f), my + ry * 0.2f, X(rx * 0.62f), my + ry * 0.2f, lw, edge);
}

// The red spiky puffer, facing left.
void drawPuffer(Canvas* c, float cx, float cy, float r) {
    Colour dark = rgb(140, 18, 24), red = rgb(226, 44, 40), light = rgb(255, 140, 110);
    std::vector<float> star;
    const int spikes = 15;
    for (int i = 0; i < spikes * 2; ++i) {
        float a = PI * i / spikes - PI / 2;
        float rr = i % 2 ? r * 0.92f : r * 1.42f;
        star.push_back(cx + rr * std::cos(a));
        star.push_back(cy + rr * std::sin(a));
    }
    c->fillPolygon(star, dark);
    // Tail fin on the right.
    c->fillPolygon(
        {cx + r * 0.8f, cy, cx + r * 1.55f, cy - r * 0.55f, cx + r * 1.55f, cy + r * 0.55f}, dark);
    c->fillPolygon(
        {cx + r * 0.85f, cy, cx + r * 1.45f, cy - r * 0.4f, cx + r * 1.45f, cy + r * 0.4f}, red);
    c->fillEllipse(cx, cy, r + 1, r + 1, dark);
    shadedEllipse(c, cx, cy, r, r, light, red);
    c->fillEllipse(cx, cy + r * 0.45f, r * 0.7f, r * 0.4f, rgb(255, 200, 170), 0.6f);
    // Two big eyes looking left, and a little round mouth.
    for (float side : {-0.42f, 0.22f}) {
        float ex = cx + side * r, ey = cy - r * 0.22f, er = r * 0.3f;
        c->fillEllipse(ex, ey, er + 0.8f, er + 0.8f, dark);
        c->fillEllipse(ex, ey, er, er, rgb(255, 255, 255));
        c->fillEllipse(ex - er * 0.3f, ey + er * 0.1f, er * 0.55f, er * 0.6f, rgb(20, 20, 30));
        c->fillEllipse(ex - er * 0.45f, ey - er * 0.25f, er * 0.18f, er * 0.18f,
                       rgb(255, 255, 255));
    }
    c->fillEllipse(cx - r * 0.2f, cy + r * 0.36f, r * 0.16f, r * 0.12f, dark);
}

// A five-armed starfish lying on the sand.
void drawStarfish(Canvas* c, float cx, float cy, float r, float turn) {
    std::vector<float> outer, inner;
    for (int i = 0; i < 10; ++i) {
        float a = turn + PI * i / 5 - PI / 2;
        float rr = i % 2 ? r * 0.42f : r;
        outer.push_back(cx + rr * std::cos(a));
        outer.push_back(cy + rr * 0.7f * std::sin(a));
        inner.push_back(cx + rr * 0.72f * std::cos(a));
        inner.push_back(cy + rr * 0.72f * 0.7f * std::sin(a) - 0.5f);
    }
    c->fillPolygon(outer, rgb(196, 72, 40));
    c->fillPolygon(inner, rgb(250, 140, 80));
    c->fillEllipse(cx, cy - 0.5f, r * 0.16f, r * 0.12f, rgb(255, 200, 150));
}

// ------------------------------------------------------------- title plate

void drawPlate(Canvas* c, FT_Face condensed) {
    fillRoundedRect(c, PLATE_X0 + 2, PLATE_Y0 + 4, PLATE_X1 + 2, PLATE_Y1 + 4, 17, rgb(20, 60, 90),
                    rgb(20, 60, 90), 0.35f);
    fillRoundedRect(c, PLATE_X0, PLATE_Y0, PLATE_X1, PLATE_Y1, 17, rgb(8, 34, 70), rgb(8, 34, 70));
    // The light rim darkens towards the foot, where the small layout's first
    // white lines cross it.
    fillRoundedRect(c, PLATE_X0 + 2, PLATE_Y0 + 2, PLATE_X1 - 2, PLATE_Y1 - 2, 15,
                    rgb(150, 228, 236), rgb(36, 112, 150));
    fillRoundedRect(c, PLATE_X0 + 5, PLATE_Y0 + 5, PLATE_X1 - 5, PLATE_Y1 - 5, 12, rgb(24, 92, 150),
                    rgb(12, 48, 100));
    // A band of waves across the lower part of the plate.
    c->fillShape(
        static_cast<int>(PLATE_X0), 50, static_cast<int>(PLATE_X1), static_cast<int>(PLATE_Y1),
        [](float px, float py) {
            float crest = 62.0f + 3.0f * std::sin(px / 7.0f);
            return py > crest && inRoundedRect(px, py, PLATE_X0 + 5, PLATE_Y0 + 5, PLATE_X1 - 5,
                                               PLATE_Y1 - 5, 12);
        },
        [](int, int y) { return art::mix(rgb(40, 130, 180), rgb(20, 80, 140), (y - 60) / 15.0f); });
    // Sparkles and bubbles in the plate's corners.
    bubble(c, 20, 24, 4);
    bubble(c, 27, 35, 2.5f);
    bubble(c, 157, 26, 3.5f);
    bubble(c, 150, 18, 2);
    // The name on a gentle wave, outlined, with a shadow.
    Mask name = renderText(condensed, "Reefdart", 32, 0.5f,
                           [](int i) { return 2.2f * std::sin(i * 0.9f); });
    Mask outline = grow(name, 2);
    int ox = static_cast<int>(std::lround((PLATE_X0 + PLATE_X1) / 2 - name.width / 2.0f));
    // Set a little high, clear of the white lines below it.
    int oy = static_cast<int>(std::lround((PLATE_Y0 + PLATE_Y1) / 2 - name.height / 2.0f)) - 4;
    paintMask(
        c, outline, ox - 2 + 2, oy - 2 + 3, [](int, int) { return rgb(0, 14, 34); }, 0.7f);
    paintMask(c, outline, ox - 2, oy - 2, [](int, int) { return rgb(6, 22, 48); });
    float h = static_cast<float>(name.height);
    paintMask(c, name, ox, oy, [h](int, int y) {
        float t = y / h;
        Colour top = rgb(255, 246, 150), mid = rgb(255, 206, 50), low = rgb(246, 120, 24);
        return t < 0.5f ? art::mix(top, mid, t * 2) : art::mix(mid, low, (t - 0.5f) * 2);
    });
}

// ------------------------------------------------------------------ output

// The canvas as 8-bit colour, with a little ordered noise so that the palette
// reduction does not leave bands in the smooth gradients.
std::vector<bmp::Rgb> dithered(const Canvas& c, uint32_t seed, float amount) {
    art::Random random(seed);
    std::vector<bmp::Rgb> out(static_cast<size_t>(c.width) * c.height);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            Colour p = c.at(x, y);
            float n = (random.uniform() - 0.5f) * amount / 255.0f;
            out[y * c.width + x] = {Canvas::level(p.r + n), Canvas::level(p.g + n),
                                    Canvas::level(p.b + n)};
        }
    return out;
}

bool writeTitle(const std::string& path, FT_Face condensed) {
    Canvas c(240, 320, rgb(0, 0, 0));
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) c.at(x, y) = waterAt(x, y);
    drawRock(&c, 18, 318, 34, 26, 5);
    drawRock(&c, 226, 316, 30, 30, 8);
    drawSand(&c);
    drawWeeds(&c);
    drawStarfish(&c, 60, 317, 7, 0.2f);
    drawStarfish(&c, 182, 318, 5, 0.9f);
    drawPlate(&c, condensed);
    // Top right (large layout only): a fish calling out bubbles.
    drawFish(&c, 206, 52, 50, -1, rgb(250, 140, 30), rgb(255, 220, 90));
    bubble(&c, 182, 40, 3.5f);
    bubble(&c, 186, 28, 2.5f);
    bubble(&c, 181, 17, 4.5f);
    // Left, in both layouts: a small fish among the weed, in the one gap
    // between the white lines of the small layout.
    drawFish(&c, 16, 86, 24, 1, rgb(255, 180, 30), rgb(255, 236, 130));
    bubble(&c, 33, 84, 1.8f);
    bubble(&c, 38, 81, 1.4f);
    // Right middle (large layout only): a third fish, beyond the lines.
    drawFish(&c, 220, 195, 38, -1, rgb(250, 120, 36), rgb(255, 210, 100));
    bubble(&c, 207, 178, 2.5f);
    bubble(&c, 211, 172, 1.8f);
    // Bottom right: the red spiky puffer on its rock.
    drawPuffer(&c, 214, 268, 13);
    return bmp::write8(path, c.width, c.height, dithered(c, 249, 3.0f));
}

// -------------------------------------------------------------- menu panel

constexpr int PANEL_WIDTH = 157, PANEL_HEIGHT = 244;
constexpr float PANEL_CENTRE = PANEL_WIDTH / 2.0f;
// The rows where the segments meet: the highlight draws the rows between two
// of them behind one menu item.
constexpr float SEGMENT_ROWS[3] = {73, 124, 177};

// Half the panel's width at row y: a rounded head, a full body, a narrowing
// tail stem and a forked tail fin.
float panelHalfWidth(float y) {
    const float full = 77.0f, stem = 47.0f;
    if (y < 1.5f || y > PANEL_HEIGHT - 1.5f) return 0;
    if (y < 70) {
        float t = (70 - y) / 68.5f;
        return full * std::sqrt(std::max(0.0f, 1 - t * t));
    }
    if (y < 138) return full;
    if (y < 214) return full - (full - stem) * smooth((y - 138) / 76);
    return stem + (full - stem) * smooth((y - 214) / 26);
}

bool inPanel(float px, float py) {
    float dx = std::fabs(px - PANEL_CENTRE);
    if (dx > panelHalfWidth(py)) return false;
    // The fork of the tail.
    float fork = (py - 226) / 16.0f;
    return !(fork > 0 && dx < 30 * fork);
}

// The centre line of the band that ends segment k: lowest in the middle,
// curving up towards the sides.
float bandRow(int k, float px) {
    float u = (px - PANEL_CENTRE) / 77.0f;
    return SEGMENT_ROWS[k] - 2.5f - 7.0f * u * u;
}

// How far (px, py) is from the panel's edge, up to limit, looking along eight
// directions.
float edgeDistance(float px, float py, float limit) {
    for (float r = 0.5f; r < limit; r += 0.5f)
        for (int i = 0; i < 8; ++i) {
            float a = PI * i / 4;
            if (!inPanel(px + r * std::cos(a), py + r * std::sin(a))) return r;
        }
    return limit;
}

Colour panelColour(float px, float py) {
    float hw = std::max(1.0f, panelHalfWidth(py));
    float u = (px - PANEL_CENTRE) / hw;
    // Lighter in the middle and a little to the left, darker at the sides.
    Colour c =
        art::mix(rgb(232, 234, 238), rgb(168, 173, 182), std::pow(std::fabs(u + 0.15f), 2.2f));
    // Each segment a shade lighter at its top.
    float top = 0, bottom = PANEL_HEIGHT;
    for (int k = 0; k < 3; ++k) {
        float row = bandRow(k, px);
        if (py < row) {
            bottom = row;
            break;
        }
        top = row;
    }
    float t = std::clamp((py - top) / std::max(1.0f, bottom - top), 0.0f, 1.0f);
    c = art::mix(c, art::scale(c, 0.9f), t * t);
    // The bands: a dark groove with a light lip below it.
    for (int k = 0; k < 3; ++k) {
        float d = py - bandRow(k, px);
        if (std::fabs(d) < 2.0f)
            c = art::mix(c, rgb(120, 126, 138), 1 - std::fabs(d) / 2.6f);
        else if (d >= 2.0f && d < 4.0f)
            c = art::mix(c, rgb(250, 252, 255), 0.6f);
    }
    // A dark rim inside the edge.
    float e = edgeDistance(px, py, 3.5f);
    if (e < 3.5f) c = art::mix(c, rgb(104, 110, 122), std::clamp((3.5f - e) / 2.0f, 0.0f, 1.0f));
    return c;
}

// Every pixel is either panel or exact purple: the edge is hard, so no
// purple-tinted greys appear around it.
bool writePanel(const std::string& path) {
    std::vector<bmp::Rgb> pixels(static_cast<size_t>(PANEL_WIDTH) * PANEL_HEIGHT, PURPLE);
    art::Random random(248);
    for (int y = 0; y < PANEL_HEIGHT; ++y)
        for (int x = 0; x < PANEL_WIDTH; ++x) {
            int hits = 0;
            Colour sum = {0, 0, 0};
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    float px = x + (sx + 0.5f) / 4, py = y + (sy + 0.5f) / 4;
                    if (!inPanel(px, py)) continue;
                    Colour c = panelColour(px, py);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                    ++hits;
                }
            float n = (random.uniform() - 0.5f) * 2.0f / 255.0f;
            if (hits < 8) continue;
            Colour c = art::scale(sum, 1.0f / hits);
            pixels[y * PANEL_WIDTH + x] = {Canvas::level(c.r + n), Canvas::level(c.g + n),
                                           Canvas::level(c.b + n)};
        }
    return bmp::write8(path, PANEL_WIDTH, PANEL_HEIGHT, pixels, {PURPLE});
}

// ------------------------------------------------------------------ splash

constexpr float EMBLEM_X = 88, EMBLEM_Y = 50, EMBLEM_R = 37;

bool inDisc(float px, float py, float r) {
    return std::hypot(px - EMBLEM_X, py - EMBLEM_Y) <= r;
}

// The studio mark: a round badge with a wave rolling through it, a kelp frond
// and a small fish above the water.
void drawEmblem(Canvas* c) {
    const float cx = EMBLEM_X, cy = EMBLEM_Y, r = EMBLEM_R;
    int x0 = static_cast<int>(cx - r) - 2, y0 = static_cast<int>(cy - r) - 2;
    int x1 = static_cast<int>(cx + r) + 2, y1 = static_cast<int>(cy + r) + 2;
    c->fillShape(
        x0, y0, x1, y1, [=](float px, float py) { return inDisc(px, py, r); },
        [=](int, int y) {
            return art::mix(rgb(120, 230, 230), rgb(30, 120, 190), (y - y0) / (2 * r));
        });
    c->fillShape(
        x0, y0, x1, y1, [=](float px, float py) { return inDisc(px, py, r - 3.5f); },
        [=](int, int y) { return art::mix(rgb(16, 54, 96), rgb(4, 18, 44), (y - y0) / (2 * r)); });
    auto wave = [=](float px, float lift, float phase) {
        return cy + 6 - lift + 5.5f * std::sin((px - cx) / 9.0f + phase);
    };
    c->fillShape(
        x0, y0, x1, y1,
        [=](float px, float py) { return inDisc(px, py, r - 6) && py > wave(px, 0, 0.6f); },
        [=](int, int y) { return art::mix(rgb(90, 210, 226), rgb(20, 110, 170), (y - cy) / r); });
    c->fillShape(
        x0, y0, x1, y1,
        [=](float px, float py) { return inDisc(px, py, r - 6) && py > wave(px, -10, 2.4f); },
        [=](int, int y) { return art::mix(rgb(40, 150, 200), rgb(12, 70, 130), (y - cy) / r); });
    // White foam along the first crest.
    c->fillShape(
        x0, y0, x1, y1,
        [=](float px, float py) {
            float d = py - wave(px, 0, 0.6f);
            return inDisc(px, py, r - 6) && d > -0.2f && d < 2.0f;
        },
        [](int, int) { return rgb(235, 255, 255); });
    // A kelp frond from the bottom of the badge.
    std::vector<float> frond;
    for (int i = 0; i <= 16; ++i) {
        float t = i / 16.0f;
        frond.push_back(cx - 16 + 5 * std::sin(t * 4.0f));
        frond.push_back(cy + r - 7 - 40 * t);
    }
    strokePath(c, frond, 4.0f, 1.5f, rgb(110, 200, 90));
    // A small fish leaping over the wave, and a star.
    drawFish(c, cx + 9, cy - 14, 22, 1, rgb(255, 160, 40), rgb(255, 230, 120));
    c->fillPolygon({cx - 14, cy - 26, cx - 12.8f, cy - 22.2f, cx - 9, cy - 21, cx - 12.8f,
                    cy - 19.8f, cx - 14, cy - 16, cx - 15.2f, cy - 19.8f, cx - 19, cy - 21,
                    cx - 15.2f, cy - 22.2f},
                   rgb(255, 250, 210));
}

bool writeSplash(const std::string& path, FT_Face bold) {
    Canvas c(176, 135, rgb(0, 0, 0));
    drawEmblem(&c);
    Mask name = renderText(bold, "Kelpline Works", 16, 0.6f);
    int ox = static_cast<int>(std::lround(88 - name.width / 2.0f));
    float h = static_cast<float>(name.height);
    paintMask(&c, name, ox, 98,
              [h](int, int y) { return art::mix(rgb(240, 250, 255), rgb(150, 220, 235), y / h); });
    int lineY = 98 + name.height + 5;
    c.fillShape(
        ox, lineY - 1, ox + name.width, lineY + 1,
        [=](float px, float py) {
            return py >= lineY && py <= lineY + 1.2f && px >= ox + 6 && px <= ox + name.width - 6;
        },
        [=](int x, int) {
            float t = std::fabs((x - 88.0f) / (name.width / 2.0f));
            return art::mix(rgb(90, 210, 226), rgb(0, 0, 0), t * t);
        });
    std::vector<bmp::Rgb> pixels = c.toRgb();
    return bmp::write8(path, c.width, c.height, pixels, {BLACK});
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc > 1 && argv[1][0] == '-')) {
        bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fprintf(help ? stdout : stderr,
                     "usage: make_title [output-folder]\n"
                     "Draws the title picture bitmap_249.bmp, the menu panel bitmap_248.bmp and\n"
                     "the splash bitmap_302.bmp into the folder (default resources).\n");
        return help ? 0 : 2;
    }
    std::string folder = argc > 1 ? argv[1] : "resources";
    FT_Library library;
    FT_Face bold, condensed;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, BOLD_FONT, 0, &bold) ||
        FT_New_Face(library, CONDENSED_FONT, 0, &condensed)) {
        std::fprintf(stderr, "make_title: cannot open the DejaVu fonts\n");
        return 1;
    }
    bool ok = writeTitle(folder + "/bitmap_249.bmp", condensed) &&
              writePanel(folder + "/bitmap_248.bmp") &&
              writeSplash(folder + "/bitmap_302.bmp", bold);
    FT_Done_Face(condensed);
    FT_Done_Face(bold);
    FT_Done_FreeType(library);
    if (!ok) {
        std::fprintf(stderr, "make_title: cannot write the pictures into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
