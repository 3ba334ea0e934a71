// A small floating-point drawing surface for the picture generators: colours in
// 0..1, shapes filled with anti-aliased edges by supersampling a point test,
// value noise, and a seeded random generator. All of it is deterministic.
#pragma once

#include "tools/bmp_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace art {

struct Colour {
    float r, g, b;
};

inline Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Colour scale(Colour a, float k) {
    return {a.r * k, a.g * k, a.b * k};
}
inline Colour rgb(int r, int g, int b) {
    return {r / 255.0f, g / 255.0f, b / 255.0f};
}

// xorshift32: small, fast and the same everywhere.
class Random {
  public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    float uniform() { return static_cast<float>(next() >> 8) / 16777216.0f; }
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }

  private:
    uint32_t state_;
};

// Smooth value noise on an integer lattice, in 0..1; period (0 = none) makes it
// wrap horizontally every period lattice cells.
inline float latticeValue(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}
inline float valueNoise(float x, float y, uint32_t seed, int period = 0) {
    int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    float fx = x - x0, fy = y - y0;
    auto wrap = [period](int v) { return period > 0 ? ((v % period) + period) % period : v; };
    float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    float a = latticeValue(wrap(x0), y0, seed), b = latticeValue(wrap(x0 + 1), y0, seed);
    float c = latticeValue(wrap(x0), y0 + 1, seed), d = latticeValue(wrap(x0 + 1), y0 + 1, seed);
    return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}
// Several octaves of value noise, in 0..1. With period > 0 the result wraps
// horizontally every period units of x.
inline float fractalNoise(float x, float y, uint32_t seed, int octaves, int period = 0) {
    float sum = 0, amplitude = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * valueNoise(x, y, seed + static_cast<uint32_t>(i) * 101u, period);
        total += amplitude;
        amplitude *= 0.5f;
        x *= 2;
        y *= 2;
        period *= 2;
    }
    return sum / total;
}

class Canvas {
  public:
    Canvas(int width, int height, Colour fill)
        : width(width), height(height), pixels_(width * height, fill) {}

    const int width, height;

    Colour& at(int x, int y) { return pixels_[y * width + x]; }
    Colour at(int x, int y) const { return pixels_[y * width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    void blend(int x, int y, Colour c, float alpha) {
        if (!inside(x, y) || alpha <= 0) return;
        at(x, y) = mix(at(x, y), c, std::min(alpha, 1.0f));
    }

    // Fills the shape for which test(px, py) is true (pixel centres at x + 0.5)
    // within the box, with 4 x 4 supersampled coverage as the alpha. colour(x, y)
    // may vary over the shape.
    template <typename Test, typename Paint>
    void fillShape(int x0, int y0, int x1, int y1, Test test, Paint colour, float opacity = 1.0f) {
        for (int y = std::max(0, y0); y <= std::min(height - 1, y1); ++y)
            for (int x = std::max(0, x0); x <= std::min(width - 1, x1); ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        if (test(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4)) ++hits;
                if (hits) blend(x, y, colour(x, y), opacity * hits / 16.0f);
            }
    }

    void fillEllipse(float cx, float cy, float rx, float ry, Colour c, float opacity = 1.0f) {
        fillShape(
            static_cast<int>(cx - rx) - 1, static_cast<int>(cy - ry) - 1,
            static_cast<int>(cx + rx) + 1, static_cast<int>(cy + ry) + 1,
            [=](float px, float py) {
                float dx = (px - cx) / rx, dy = (py - cy) / ry;
                return dx * dx + dy * dy <= 1.0f;
            },
            [=](int, int) { return c; }, opacity);
    }

    // A filled polygon (even-odd rule), points as x, y pairs.
    void fillPolygon(const std::vector<float>& xy, Colour c, float opacity = 1.0f) {
        float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
        for (size_t i = 0; i + 1 < xy.size(); i += 2) {
            minX = std::min(minX, xy[i]);
            maxX = std::max(maxX, xy[i]);
            minY = std::min(minY, xy[i + 1]);
            maxY = std::max(maxY, xy[i + 1]);
        }
        fillShape(
            static_cast<int>(minX) - 1, static_cast<int>(minY) - 1, static_cast<int>(maxX) + 1,
            static_cast<int>(maxY) + 1,
            [&xy](float px, float py) { return insidePolygon(xy, px, py); },
            [=](int, int) { return c; }, opacity);
    }

    // A line of the given width with round ends.
    void strokeLine(float ax, float ay, float bx, float by, float lineWidth, Colour c,
                    float opacity = 1.0f) {
        float r = lineWidth / 2;
        fillShape(
            static_cast<int>(std::min(ax, bx) - r) - 1, static_cast<int>(std::min(ay, by) - r) - 1,
            static_cast<int>(std::max(ax, bx) + r) + 1, static_cast<int>(std::max(ay, by) + r) + 1,
            [=](float px, float py) {
                float dx = bx - ax, dy = by - ay;
                float len2 = dx * dx + dy * dy;
                float t = len2 > 0
                              ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0f, 1.0f)
                              : 0.0f;
                float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
                return ex * ex + ey * ey <= r * r;
            },
            [=](int, int) { return c; }, opacity);
    }

    static bool insidePolygon(const std::vector<float>& xy, float px, float py) {
        bool in = false;
        size_t n = xy.size() / 2;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
    }

    // The picture in 8-bit colour, rounded to the nearest level.
    std::vector<bmp::Rgb> toRgb() const {
        std::vector<bmp::Rgb> out(pixels_.size());
        for (size_t i = 0; i < pixels_.size(); ++i)
            out[i] = {level(pixels_[i].r), level(pixels_[i].g), level(pixels_[i].b)};
        return out;
    }

    static uint8_t level(float v) {
        return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    }

  private:
    std::vector<Colour> pixels_;
};

} // namespace art
