// Makes the backdrop pictures and the plain pictures loaded at start-up:
//   bitmap_247.bmp  240 x 320, 8-bit: the underwater backdrop; its top-left
//                   64 x 5 pixels are the Settings volume bar
//   bitmap_336.bmp  240 x 320, 8-bit: the dark rock of the cave walls
//   bitmap_204.bmp  176 x 245, 8-bit: a portrait of the water with a fish
//   bitmap_222.bmp  180 x 24, 8-bit and bitmap_251.bmp 200 x 32, 8-bit: strips
//   bitmap_250.bmp  160 x 32, 8-bit: all the transparent purple
//   bitmap_253.bmp  175 x 23, 8-bit: "REEFDART" in white on black
//   bitmap_308.bmp  240 x 320, 1-bit: all black
// The game shows the water and the rock a 24-pixel column at a time, repeating
// every 240 pixels, so both wrap seamlessly from the right edge to the left:
// their noise wraps and every shape near an edge is drawn again one width over.
//
// Usage: make_backdrops [output-folder]   (default: resources)
#include "tools/canvas.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using art::Canvas;
using art::Colour;
using art::mix;
using art::rgb;
using art::scale;

constexpr float PI = 3.14159265f;
constexpr int SCREEN_W = 240;
constexpr int SCREEN_H = 320;
constexpr int BAR_W = 64;
constexpr int BAR_H = 5;

float smooth(float a, float b, float v) {
    float t = std::clamp((v - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// ---------------------------------------------------------------- helpers

// Distances from (u, v) to the nearest and the second nearest point of a
// jittered grid of one point a cell; the grid wraps every period cells in u.
void cellDistances(float u, float v, int period, uint32_t seed, float* f1, float* f2) {
    int cu = static_cast<int>(std::floor(u)), cv = static_cast<int>(std::floor(v));
    float d1 = 1e9f, d2 = 1e9f;
    for (int dv = -1; dv <= 1; ++dv)
        for (int du = -1; du <= 1; ++du) {
            int gx = cu + du, gy = cv + dv;
            int wx = ((gx % period) + period) % period;
            float px = gx + 0.1f + 0.8f * art::latticeValue(wx, gy, seed);
            float py = gy + 0.1f + 0.8f * art::latticeValue(wx, gy, seed + 7);
            float d = (u - px) * (u - px) + (v - py) * (v - py);
            if (d < d1) {
                d2 = d1;
                d1 = d;
            } else if (d < d2) {
                d2 = d;
            }
        }
    *f1 = std::sqrt(d1);
    *f2 = std::sqrt(d2);
}

// A polygon drawn three times, one canvas width apart, so a shape crossing an
// edge comes back in on the other side.
void fillWrapped(Canvas* c, const std::vector<float>& xy, Colour colour, float opacity) {
    float minX = 1e9f, maxX = -1e9f;
    for (size_t i = 0; i < xy.size(); i += 2) {
        minX = std::min(minX, xy[i]);
        maxX = std::max(maxX, xy[i]);
    }
    for (int k = -1; k <= 1; ++k) {
        float shift = static_cast<float>(k * c->width);
        if (maxX + shift < -1 || minX + shift > c->width + 1) continue;
        std::vector<float> moved = xy;
        for (size_t i = 0; i < moved.size(); i += 2) moved[i] += shift;
        c->fillPolygon(moved, colour, opacity);
    }
}

void dotWrapped(Canvas* c, float x, float y, float r, Colour colour, float opacity) {
    for (int k = -1; k <= 1; ++k) {
        float cx = x + static_cast<float>(k * c->width);
        if (cx + r < -1 || cx - r > c->width + 1) continue;
        c->fillEllipse(cx, y, r, r, colour, opacity);
    }
}

// A faint luminance noise of about +-amount levels against banding once the
// picture is cut down to 256 colours.
void dither(Canvas* c, float amount, uint32_t seed) {
    for (int y = 0; y < c->height; ++y)
        for (int x = 0; x < c->width; ++x) {
            float d = (art::latticeValue(x, y, seed) + art::latticeValue(x, y, seed + 1) - 1.0f) *
                      amount / 255.0f;
            Colour& p = c->at(x, y);
            p = {p.r + d, p.g + d, p.b + d};
        }
}

// Cuts the picture down to 256 colours by median cut and spreads each pixel's
// rounding error over its neighbours (Floyd-Steinberg), which keeps smooth
// gradients free of bands. Colours in keep stay exact, and pixels for which
// exact() holds are neither dithered nor pass error on; when reserveKeep is
// set, only those pixels may use the kept colours. The rows from firstRow to
// lastRow (the open water of the backdrop, say) get first call on colours
// palette entries, so that large smooth areas are not starved by the many
// colours of small details.
struct PaletteShare {
    int firstRow = 0, lastRow = -1;
    size_t colours = 0;
    bool reserveKeep = false;
};

uint8_t nearestFrom(const std::vector<bmp::Rgb>& palette, size_t first, bmp::Rgb c) {
    std::vector<bmp::Rgb> rest(palette.begin() + static_cast<long>(first), palette.end());
    return static_cast<uint8_t>(first + bmp::Quantizer::nearest(rest, c));
}

template <typename Exact>
bool save8(const std::string& path, const Canvas& c, const std::vector<bmp::Rgb>& keep, Exact exact,
           PaletteShare share = {}) {
    std::vector<bmp::Rgb> colours = c.toRgb();
    std::vector<bmp::Rgb> palette = keep;
    if (share.colours > 0) {
        std::vector<bmp::Rgb> rows(colours.begin() + static_cast<long>(share.firstRow) * c.width,
                                   colours.begin() +
                                       static_cast<long>(share.lastRow + 1) * c.width);
        palette = bmp::Quantizer::palette(rows, keep.size() + share.colours, keep);
    }
    palette = bmp::Quantizer::palette(colours, 256, palette);
    const size_t first = share.reserveKeep ? keep.size() : 0;
    const int w = c.width, h = c.height;
    std::vector<float> work(colours.size() * 3);
    for (size_t i = 0; i < colours.size(); ++i) {
        work[i * 3] = colours[i].r;
        work[i * 3 + 1] = colours[i].g;
        work[i * 3 + 2] = colours[i].b;
    }
    std::vector<uint8_t> indices(colours.size());
    auto spread = [&](int x, int y, const float* err, float k) {
        if (x < 0 || x >= w || y >= h || exact(x, y)) return;
        for (int ch = 0; ch < 3; ++ch)
            work[(static_cast<size_t>(y) * w + x) * 3 + ch] += err[ch] * k;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            size_t i = static_cast<size_t>(y) * w + x;
            if (exact(x, y)) {
                indices[i] = bmp::Quantizer::nearest(palette, colours[i]);
                continue;
            }
            float want[3];
            for (int ch = 0; ch < 3; ++ch) want[ch] = std::clamp(work[i * 3 + ch], 0.0f, 255.0f);
            indices[i] = nearestFrom(palette, first,
                                     {static_cast<uint8_t>(std::lround(want[0])),
                                      static_cast<uint8_t>(std::lround(want[1])),
                                      static_cast<uint8_t>(std::lround(want[2]))});
            const bmp::Rgb& got = palette[indices[i]];
            // Large errors (at hard edges) are cut back, or they would throw
            // stray dots of unrelated colours.
            const float have[3] = {float(got.r), float(got.g), float(got.b)};
            float err[3];
            for (int ch = 0; ch < 3; ++ch) err[ch] = std::clamp(want[ch] - have[ch], -12.0f, 12.0f);
            spread(x + 1, y, err, 7 / 16.0f);
            spread(x - 1, y + 1, err, 3 / 16.0f);
            spread(x, y + 1, err, 5 / 16.0f);
            spread(x + 1, y + 1, err, 1 / 16.0f);
        }
    bool ok = bmp::writeIndexed(path, w, h, 8, palette, indices);
    if (!ok) std::fprintf(stderr, "make_backdrops: cannot write %s\n", path.c_str());
    return ok;
}

bool save8(const std::string& path, const Canvas& c, const std::vector<bmp::Rgb>& keep = {}) {
    return save8(path, c, keep, [](int, int) { return false; });
}

// ---------------------------------------------------------------- water

const Colour WATER_TOP = rgb(96, 190, 192);
const Colour WATER_MID = rgb(30, 116, 132);
const Colour WATER_DEEP = rgb(7, 42, 62);
const Colour LIGHT = rgb(200, 246, 236);

void paintWaterBody(Canvas* c, uint32_t seed) {
    for (int y = 0; y < c->height; ++y) {
        float t = y / (c->height - 1.0f);
        Colour base = t < 0.42f ? mix(WATER_TOP, WATER_MID, smooth(0, 0.42f, t))
                                : mix(WATER_MID, WATER_DEEP, (t - 0.42f) / 0.58f);
        for (int x = 0; x < c->width; ++x) {
            float n = art::fractalNoise(x * 5.0f / c->width, y / 46.0f, seed, 3, 5);
            c->at(x, y) = scale(base, 0.9f + 0.2f * n);
        }
    }
}

// A web of bright lines near the surface, flattened and fading with depth.
void paintCaustics(Canvas* c, uint32_t seed) {
    const int big = 12, small = 20;
    int rows = std::min(c->height, 140);
    for (int y = 0; y < rows; ++y) {
        float fade = std::exp(-y / 34.0f) * (1 - y / static_cast<float>(rows));
        for (int x = 0; x < c->width; ++x) {
            float fx = x / static_cast<float>(c->width);
            float wu = art::fractalNoise(fx * 16, y / 9.0f, seed + 3, 2, 16) - 0.5f;
            float wv = art::fractalNoise(fx * 16, y / 9.0f, seed + 4, 2, 16) - 0.5f;
            float f1, f2;
            cellDistances(fx * big + wu * 1.1f, y / 10.0f + wv * 1.1f, big, seed, &f1, &f2);
            float line = 1 - smooth(0.0f, 0.13f, f2 - f1);
            cellDistances(fx * small + wu * 1.4f, y / 6.0f + wv * 1.4f, small, seed + 11, &f1, &f2);
            float fine = 1 - smooth(0.0f, 0.14f, f2 - f1);
            float light = (0.8f * line + 0.35f * fine) * fade;
            c->blend(x, y, LIGHT, 0.55f * light);
        }
    }
}

// Soft slanted shafts of light from the surface. Along the slant the pattern
// repeats every picture width, so every row wraps.
void paintRays(Canvas* c, uint32_t seed) {
    int rows = static_cast<int>(c->height * 0.85f);
    for (int y = 0; y < rows; ++y) {
        float fade = (1 - y / static_cast<float>(rows));
        fade *= fade;
        for (int x = 0; x < c->width; ++x) {
            float u = (x + 0.32f * y) / c->width;
            float n = art::fractalNoise(u * 9, y / 220.0f, seed, 2, 9);
            float ray = smooth(0.56f, 0.8f, n);
            c->blend(x, y, LIGHT, 0.26f * ray * fade);
        }
    }
}

void paintMotes(Canvas* c, uint32_t seed, int count) {
    art::Random random(seed);
    for (int i = 0; i < count; ++i) {
        float x = random.range(0, static_cast<float>(c->width));
        float y = random.range(0, static_cast<float>(c->height));
        float r = random.range(0.45f, 1.05f);
        float a = random.range(0.18f, 0.5f) * (1 - 0.4f * y / c->height);
        dotWrapped(c, x, y, r, rgb(210, 240, 226), a);
    }
}

// ---------------------------------------------------------------- weed

enum WeedKind { LEAFY, RIBBON, GRASS };

struct Frond {
    WeedKind kind;
    float x, y;   // root
    float dir;    // +1 hangs down from the top, -1 grows up from the bottom
    float length; // pixels
    float width;  // at the root
    float sway, waves, phase, lean;
    Colour colour;
    float opacity;
};

struct Point {
    float x, y;
};

std::vector<Point> spine(const Frond& f) {
    const int steps = 30;
    std::vector<Point> out;
    for (int i = 0; i <= steps; ++i) {
        float t = i / static_cast<float>(steps);
        float bend = f.sway * std::sin(f.phase + t * f.waves * PI) - f.sway * std::sin(f.phase);
        out.push_back({f.x + f.lean * f.length * t + bend * t, f.y + f.dir * f.length * t});
    }
    return out;
}

Point tangentAt(const std::vector<Point>& s, size_t i) {
    size_t a = i > 0 ? i - 1 : i, b = i + 1 < s.size() ? i + 1 : i;
    float dx = s[b].x - s[a].x, dy = s[b].y - s[a].y, len = std::hypot(dx, dy);
    return {dx / len, dy / len};
}

// The outline of a strip along the points, half-width halfWidth(t) at t in 0..1.
template <typename Half> std::vector<float> strip(const std::vector<Point>& s, Half halfWidth) {
    std::vector<float> left, right;
    for (size_t i = 0; i < s.size(); ++i) {
        float t = i / (s.size() - 1.0f), half = halfWidth(t);
        Point g = tangentAt(s, i);
        left.insert(left.end(), {s[i].x - g.y * half, s[i].y + g.x * half});
        right.insert(right.end(), {s[i].x + g.y * half, s[i].y - g.x * half});
    }
    for (size_t i = right.size(); i >= 2; i -= 2)
        left.insert(left.end(), {right[i - 2], right[i - 1]});
    return left;
}

// A thin lighter line down the middle of a strip.
void midrib(Canvas* c, const std::vector<Point>& s, size_t count, Colour colour, float opacity) {
    std::vector<Point> part(s.begin(), s.begin() + static_cast<long>(std::min(count, s.size())));
    if (part.size() >= 2) fillWrapped(c, strip(part, [](float) { return 0.4f; }), colour, opacity);
}

// A long blade leaving the stem at p in direction d and drooping toward the
// stem's own direction g as it goes, widest a third of the way out.
std::vector<Point> bladeSpine(Point p, Point d, Point g, float length) {
    std::vector<Point> out;
    for (int i = 0; i <= 12; ++i) {
        float s = i / 12.0f;
        out.push_back({p.x + (d.x * s + g.x * s * s * 0.7f) * length,
                       p.y + (d.y * s + g.y * s * s * 0.7f) * length});
    }
    return out;
}

Colour lighter(Colour c, float t) {
    return mix(c, rgb(200, 240, 150), t);
}

void drawLeafy(Canvas* c, const Frond& f, const std::vector<Point>& s, art::Random* random) {
    int blades = static_cast<int>(f.length / 6.5f) + 2;
    for (int k = 0; k < blades; ++k) {
        float t = 0.1f + 0.88f * k / blades;
        size_t i = static_cast<size_t>(t * (s.size() - 1));
        Point g = tangentAt(s, i);
        float angle = (k % 2 ? 1.0f : -1.0f) * random->range(0.45f, 0.8f);
        Point d = {g.x * std::cos(angle) - g.y * std::sin(angle),
                   g.x * std::sin(angle) + g.y * std::cos(angle)};
        float length = f.width * random->range(3.2f, 4.8f) * (1 - 0.4f * t) + 3;
        float width = f.width * random->range(0.9f, 1.3f) + 0.9f;
        std::vector<Point> b = bladeSpine(s[i], d, g, length);
        Colour shade =
            scale(lighter(f.colour, random->range(0.0f, 0.2f)), random->range(0.85f, 1.05f));
        fillWrapped(
            c,
            strip(b, [width](float u) { return 0.5f * width * std::sin(PI * std::pow(u, 0.6f)); }),
            shade, f.opacity);
        midrib(c, b, 9, lighter(shade, 0.35f), 0.3f * f.opacity);
    }
    float w = f.width;
    fillWrapped(c, strip(s, [w](float t) { return 0.5f * (w * (1 - 0.7f * t) + 0.5f); }),
                scale(f.colour, 0.8f), f.opacity);
}

// A broad strap with rippled edges.
void drawRibbon(Canvas* c, const Frond& f, const std::vector<Point>& s) {
    float w = f.width, phase = f.phase;
    auto half = [w, phase](float t) {
        float taper = t < 0.12f ? 0.45f + 0.55f * t / 0.12f : 1 - 0.55f * (t - 0.12f) / 0.88f;
        return 0.5f * w * taper * (1 + 0.18f * std::sin(t * 38 + phase)) + 0.3f;
    };
    fillWrapped(c, strip(s, half), f.colour, f.opacity);
    // A shaded side gives the strap a little twist.
    fillWrapped(c, strip(s, [&half](float t) { return half(t) * 0.45f; }), scale(f.colour, 0.85f),
                0.5f * f.opacity);
    midrib(c, s, s.size() * 4 / 5, lighter(f.colour, 0.4f), 0.35f * f.opacity);
}

void drawGrass(Canvas* c, const Frond& f, const std::vector<Point>& s) {
    float w = f.width;
    fillWrapped(c, strip(s, [w](float t) { return 0.5f * w * (1 - t) + 0.15f; }), f.colour,
                f.opacity);
}

void drawFrond(Canvas* c, const Frond& f, art::Random* random) {
    std::vector<Point> s = spine(f);
    if (f.kind == LEAFY) drawLeafy(c, f, s, random);
    if (f.kind == RIBBON) drawRibbon(c, f, s);
    if (f.kind == GRASS) drawGrass(c, f, s);
}

const Colour BACK_GREENS[] = {rgb(24, 84, 62), rgb(30, 96, 64), rgb(22, 76, 70), rgb(34, 90, 56)};
const Colour FRONT_GREENS[] = {rgb(50, 142, 64), rgb(74, 160, 62), rgb(38, 122, 72),
                               rgb(92, 170, 72), rgb(58, 150, 92), rgb(104, 150, 56)};

// One row of weed across the picture, evenly spread with some jitter.
void drawWeedRow(Canvas* c, art::Random* random, int count, bool top, bool front, float minLength,
                 float maxLength) {
    for (int i = 0; i < count; ++i) {
        Frond f;
        float pick = random->uniform();
        f.kind = pick < 0.55f ? LEAFY : pick < 0.8f ? RIBBON : GRASS;
        f.x = (i + random->range(0.1f, 0.9f)) * c->width / count;
        f.dir = top ? 1.0f : -1.0f;
        f.y = top ? -3.0f : c->height + 3.0f;
        f.length = random->range(minLength, maxLength);
        if (random->uniform() < 0.15f) f.length *= 1.25f; // the odd long one
        f.width = random->range(2.0f, 3.2f);
        if (f.kind == RIBBON) f.width = random->range(4.5f, 6.5f);
        if (f.kind == GRASS) f.width = random->range(1.8f, 2.6f);
        if (!front) f.width *= 0.85f;
        f.sway = random->range(3.0f, 8.0f) * (random->uniform() < 0.5f ? -1.0f : 1.0f);
        f.waves = random->range(0.8f, 1.6f);
        f.phase = random->range(0.0f, PI);
        f.lean = random->range(-0.15f, 0.15f);
        f.colour = front ? FRONT_GREENS[random->next() % 6] : BACK_GREENS[random->next() % 4];
        f.opacity = front ? 0.95f : 0.72f;
        drawFrond(c, f, random);
        // Grass comes in tufts.
        for (int k = 0; f.kind == GRASS && k < 2; ++k) {
            f.x += random->range(-4.0f, 4.0f);
            f.length *= random->range(0.55f, 0.9f);
            f.sway = -f.sway * random->range(0.6f, 1.2f);
            drawFrond(c, f, random);
        }
    }
}

void paintWeed(Canvas* c, uint32_t seed, float topLength, float bottomLength) {
    art::Random random(seed);
    int n = std::max(4, c->width / 26);
    drawWeedRow(c, &random, n, true, false, topLength * 0.5f, topLength * 1.05f);
    drawWeedRow(c, &random, n - 2, true, true, topLength * 0.35f, topLength * 0.95f);
    drawWeedRow(c, &random, n + 1, false, false, bottomLength * 0.5f, bottomLength * 1.1f);
    drawWeedRow(c, &random, n, false, true, bottomLength * 0.35f, bottomLength);
}

void paintWater(Canvas* c, uint32_t seed, float topWeed, float bottomWeed) {
    paintWaterBody(c, seed);
    paintRays(c, seed + 1);
    paintCaustics(c, seed + 2);
    paintMotes(c, seed + 3, c->width * c->height / 520);
    paintWeed(c, seed + 4, topWeed, bottomWeed);
    dither(c, 1.0f, seed + 5);
}

// The Settings volume bar: dark green to bright cyan-green in 16 steps of four
// pixels, with a lighter top edge and a darker foot.
Colour volumeBarColour(int x, int y) {
    float t = (x / 4) / 15.0f;
    Colour fill = mix(rgb(16, 84, 44), rgb(96, 242, 196), t);
    if (y == 0) return mix(fill, rgb(235, 255, 245), 0.45f);
    if (y == BAR_H - 1) return scale(fill, 0.78f);
    return fill;
}

bool inVolumeBar(int x, int y) {
    return x < BAR_W && y < BAR_H;
}

// The bar, with a soft shadow just outside it so it sits in the corner as a
// small plate rather than a stray stripe.
void paintVolumeBar(Canvas* c, std::vector<bmp::Rgb>* colours) {
    for (int y = 0; y <= BAR_H; ++y) c->blend(BAR_W, y, rgb(6, 30, 34), 0.55f);
    for (int x = 0; x < BAR_W; ++x) c->blend(x, BAR_H, rgb(6, 30, 34), 0.55f);
    for (int y = 0; y < BAR_H; ++y)
        for (int x = 0; x < BAR_W; ++x) {
            c->at(x, y) = volumeBarColour(x, y);
            Colour p = c->at(x, y);
            bmp::Rgb exact = {Canvas::level(p.r), Canvas::level(p.g), Canvas::level(p.b)};
            if (std::find(colours->begin(), colours->end(), exact) == colours->end())
                colours->push_back(exact);
        }
}

// ---------------------------------------------------------------- rock

const Colour STONES[] = {rgb(60, 50, 46), rgb(46, 52, 64), rgb(54, 54, 58),
                         rgb(50, 40, 36), rgb(42, 46, 54), rgb(64, 56, 50)};

Colour stratumColour(int band, uint32_t seed) {
    float h = art::latticeValue(band, 3, seed);
    return scale(STONES[static_cast<int>(h * 5.999f)],
                 0.85f + 0.3f * art::latticeValue(band, 5, seed));
}

// Strata of differently coloured stone, broken into rounded lumps lit from
// above, with dark joints between the lumps.
void paintStone(Canvas* c, uint32_t seed) {
    const int cells = 8, lumps = 7;
    auto relief = [&](int x, int y) {
        float fx = x / static_cast<float>(c->width);
        float n =
            art::fractalNoise(fx * cells, y * static_cast<float>(cells) / c->width, seed, 5, cells);
        float wu = art::fractalNoise(fx * 8, y / 30.0f, seed + 2, 3, 8) - 0.5f;
        float wv = art::fractalNoise(fx * 8, y / 30.0f, seed + 5, 3, 8) - 0.5f;
        float f1, f2;
        cellDistances(fx * lumps + wu * 1.6f, y / 24.0f + wv * 1.6f, lumps, seed + 3, &f1, &f2);
        float dome = 1 - smooth(0.0f, 0.8f, f1);
        float mask = smooth(0.4f, 0.65f, art::valueNoise(fx * 5, y / 50.0f, seed + 6, 5));
        return Point{0.7f * n + 0.3f * dome, (f2 - f1) / std::max(mask, 0.01f)};
    };
    for (int y = 0; y < c->height; ++y)
        for (int x = 0; x < c->width; ++x) {
            float fx = x / static_cast<float>(c->width);
            float warp = art::fractalNoise(fx * 4, y / 90.0f, seed + 1, 3, 4) - 0.5f;
            float s = y / 34.0f + warp * 1.6f + 0.35f * std::sin(2 * PI * fx);
            int band = static_cast<int>(std::floor(s));
            float f = s - band;
            Colour col = mix(stratumColour(band, seed), stratumColour(band + 1, seed),
                             smooth(0.75f, 1.0f, f));
            Point here = relief(x, y), below = relief(x, std::min(c->height - 1, y + 2));
            float light = 0.7f + 0.5f * here.x + 2.2f * (here.x - below.x);
            float joint = 1 - smooth(0.0f, 0.05f, here.y);
            float lip = smooth(0.05f, 0.08f, below.y) *
                        (1 - smooth(0.0f, 0.06f, relief(x, std::max(0, y - 2)).y));
            light *= (1 - 0.6f * joint) * (1 + 0.15f * lip);
            // A soft seam where one stratum gives way to the next, lit below.
            light *= 0.7f + 0.3f * smooth(0.0f, 0.06f, f);
            light *= 1 + 0.12f * smooth(0.06f, 0.1f, f) * (1 - smooth(0.1f, 0.2f, f));
            c->at(x, y) = scale(col, std::clamp(light, 0.35f, 1.45f));
        }
}

// Dim patches of moss and coral crumbs.
void paintMossAndCoral(Canvas* c, uint32_t seed) {
    const Colour moss[] = {rgb(58, 92, 50), rgb(48, 82, 58), rgb(70, 100, 52)};
    const Colour coral[] = {rgb(132, 70, 56), rgb(118, 84, 62), rgb(150, 96, 70)};
    art::Random random(seed);
    for (int i = 0; i < 2600; ++i) {
        float x = random.range(0, static_cast<float>(c->width));
        float y = random.range(0, static_cast<float>(c->height));
        float r = random.range(0.5f, 1.3f);
        bool isCoral = random.uniform() < 0.28f;
        Colour col = isCoral ? coral[random.next() % 3] : moss[random.next() % 3];
        float a = random.range(0.35f, 0.75f);
        float fx = x / c->width;
        float patch = art::fractalNoise(fx * 6, y / 40.0f, seed + (isCoral ? 31 : 17), 2, 6);
        if (patch < (isCoral ? 0.62f : 0.56f)) continue;
        dotWrapped(c, x, y, r, col, a);
    }
}

void paintRock(Canvas* c, uint32_t seed) {
    paintStone(c, seed);
    paintMossAndCoral(c, seed + 2);
}

// ---------------------------------------------------------------- the plain pictures

void paintFishSilhouette(Canvas* c, float cx, float cy, float size) {
    const Colour dark = rgb(8, 38, 54);
    c->fillEllipse(cx, cy, size, size * 0.45f, dark, 0.85f);
    c->fillPolygon({cx + size * 0.8f, cy, cx + size * 1.55f, cy - size * 0.55f, cx + size * 1.35f,
                    cy, cx + size * 1.55f, cy + size * 0.55f},
                   dark, 0.85f);
    c->fillPolygon({cx - size * 0.3f, cy - size * 0.35f, cx + size * 0.1f, cy - size * 0.8f,
                    cx + size * 0.45f, cy - size * 0.3f},
                   dark, 0.85f);
    c->fillPolygon({cx - size * 0.05f, cy + size * 0.35f, cx + size * 0.25f, cy + size * 0.7f,
                    cx + size * 0.35f, cy + size * 0.3f},
                   dark, 0.85f);
    for (int i = 0; i < 4; ++i) {
        float bx = cx - size * 1.15f - i * 3.0f, by = cy - size * 0.2f - i * size * 0.45f;
        float r = 1.5f + i * 0.8f;
        c->fillEllipse(bx, by, r, r, LIGHT, 0.55f);
        c->fillEllipse(bx, by, r * 0.55f, r * 0.55f, mix(WATER_TOP, WATER_MID, 0.5f), 0.6f);
    }
}

bool makePortrait(const std::string& path) {
    Canvas c(176, 245, WATER_MID);
    paintWater(&c, 0x2040u, 40, 52);
    paintFishSilhouette(&c, 84, 118, 30);
    return save8(path, c);
}

// A rounded bar of water colours with a lit top edge, on deep blue.
void paintBar(Canvas* c, float inset, uint32_t seed) {
    float w = static_cast<float>(c->width), h = static_cast<float>(c->height);
    float radius = (h - 2 * inset) / 2;
    auto inside = [=](float px, float py) {
        float dx = std::max(std::fabs(px - w / 2) - (w / 2 - inset - radius), 0.0f);
        float dy = std::fabs(py - h / 2);
        return dx * dx + dy * dy <= radius * radius;
    };
    c->fillShape(
        0, 0, c->width - 1, c->height - 1, inside,
        [=](int x, int y) {
            float t = (y - inset) / (h - 2 * inset);
            Colour col = mix(WATER_TOP, WATER_DEEP, std::clamp(t, 0.0f, 1.0f));
            float wave = std::sin(x * 0.22f + std::sin(x * 0.05f) * 2) * 0.5f + 0.5f;
            float n = art::valueNoise(x / 9.0f, y / 5.0f, seed);
            return mix(col, LIGHT, 0.18f * wave * (1 - t) + 0.06f * n);
        },
        1.0f);
    for (int x = 0; x < c->width; ++x) {
        float y = inset + 1.5f;
        if (inside(x + 0.5f, y)) c->blend(x, static_cast<int>(y), rgb(230, 255, 248), 0.5f);
    }
}

bool makeStrip(const std::string& path, int width, int height, uint32_t seed) {
    Canvas c(width, height, rgb(6, 26, 40));
    paintBar(&c, height > 24 ? 3.0f : 2.0f, seed);
    art::Random random(seed);
    for (int i = 0; i < width / 14; ++i) {
        float x = random.range(12, width - 12.0f), y = random.range(height * 0.35f, height * 0.7f);
        float r = random.range(1.2f, height / 10.0f);
        c.fillEllipse(x, y, r, r, LIGHT, 0.45f);
        c.fillEllipse(x - r * 0.3f, y - r * 0.3f, r * 0.35f, r * 0.35f, rgb(255, 255, 255), 0.5f);
    }
    dither(&c, 1.5f, seed + 1);
    return save8(path, c);
}

// The letters of the banner as strokes in a box one unit tall.
struct Letter {
    float width;
    std::vector<std::vector<Point>> strokes;
};

std::vector<Point> arc(float cx, float cy, float rx, float ry, float from, float to) {
    std::vector<Point> out;
    for (int i = 0; i <= 12; ++i) {
        float a = (from + (to - from) * i / 12.0f) * PI / 180;
        out.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return out;
}

std::vector<Point> join(std::vector<Point> a, const std::vector<Point>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Letter letterFor(char ch) {
    switch (ch) {
    case 'R':
        return {0.72f,
                {join(join({{0, 1}, {0, 0}, {0.42f, 0}}, arc(0.42f, 0.25f, 0.27f, 0.25f, -90, 90)),
                      {{0, 0.5f}}),
                 {{0.36f, 0.5f}, {0.72f, 1}}}};
    case 'E':
        return {0.62f, {{{0.62f, 0}, {0, 0}, {0, 1}, {0.62f, 1}}, {{0, 0.48f}, {0.5f, 0.48f}}}};
    case 'F':
        return {0.6f, {{{0.6f, 0}, {0, 0}, {0, 1}}, {{0, 0.48f}, {0.5f, 0.48f}}}};
    case 'D':
        return {0.74f,
                {join(join({{0, 0}, {0, 1}, {0.3f, 1}}, arc(0.3f, 0.5f, 0.44f, 0.5f, 90, -90)),
                      {{0, 0}})}};
    case 'A':
        return {0.78f, {{{0, 1}, {0.39f, 0}, {0.78f, 1}}, {{0.15f, 0.64f}, {0.63f, 0.64f}}}};
    default: // 'T'
        return {0.76f, {{{0, 0}, {0.76f, 0}}, {{0.38f, 0}, {0.38f, 1}}}};
    }
}

bool makeBanner(const std::string& path) {
    Canvas c(175, 23, rgb(0, 0, 0));
    const char* text = "REEFDART";
    const float em = 15.0f, xScale = 20.0f, gap = 6.0f, slant = 2.5f, stroke = 2.7f;
    float total = -gap;
    for (const char* p = text; *p; ++p) total += letterFor(*p).width * xScale + gap;
    float left = (c.width - total) / 2, top = (c.height - em) / 2;
    for (const char* p = text; *p; ++p) {
        Letter l = letterFor(*p);
        for (const auto& s : l.strokes)
            for (size_t i = 0; i + 1 < s.size(); ++i) {
                auto at = [&](Point q) {
                    return Point{left + q.x * xScale + (1 - q.y) * slant, top + q.y * em};
                };
                Point a = at(s[i]), b = at(s[i + 1]);
                c.strokeLine(a.x, a.y, b.x, b.y, stroke, rgb(255, 255, 255));
            }
        left += l.width * xScale + gap;
    }
    return save8(path, c, {{0, 0, 0}, {255, 255, 255}});
}

bool makeFlat(const std::string& path, int width, int height, Colour colour) {
    return save8(path, Canvas(width, height, colour));
}

bool makeBlack1(const std::string& path) {
    std::vector<uint8_t> indices(static_cast<size_t>(SCREEN_W) * SCREEN_H, 0);
    bool ok = bmp::writeIndexed(path, SCREEN_W, SCREEN_H, 1, {{0, 0, 0}, {255, 255, 255}}, indices);
    if (!ok) std::fprintf(stderr, "make_backdrops: cannot write %s\n", path.c_str());
    return ok;
}

bool makeWater(const std::string& path) {
    Canvas c(SCREEN_W, SCREEN_H, WATER_MID);
    paintWater(&c, 0x5eedu, 50, 60);
    std::vector<bmp::Rgb> barColours;
    paintVolumeBar(&c, &barColours);
    return save8(path, c, barColours, inVolumeBar, {20, 255, 140, true});
}

bool makeRock(const std::string& path) {
    Canvas c(SCREEN_W, SCREEN_H, STONES[0]);
    paintRock(&c, 0x0c0ffeeu);
    return save8(path, c);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc > 1 && argv[1][0] == '-')) {
        bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fprintf(help ? stdout : stderr,
                     "usage: make_backdrops [output-folder]\n"
                     "Draws bitmaps 204, 222, 247, 250, 251, 253, 308 and 336 into the folder\n"
                     "(default resources).\n");
        return help ? 0 : 2;
    }
    std::string folder = argc > 1 ? argv[1] : "resources";
    auto out = [&folder](const char* name) { return folder + "/" + name; };
    bool ok = makeWater(out("bitmap_247.bmp"));
    ok = makeRock(out("bitmap_336.bmp")) && ok;
    ok = makePortrait(out("bitmap_204.bmp")) && ok;
    ok = makeStrip(out("bitmap_222.bmp"), 180, 24, 0x222u) && ok;
    ok = makeStrip(out("bitmap_251.bmp"), 200, 32, 0x251u) && ok;
    ok = makeFlat(out("bitmap_250.bmp"), 160, 32, rgb(128, 0, 128)) && ok;
    ok = makeBanner(out("bitmap_253.bmp")) && ok;
    ok = makeBlack1(out("bitmap_308.bmp")) && ok;
    return ok ? 0 : 1;
}
