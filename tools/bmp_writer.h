// Writing Windows bitmaps from the resource generators: 1-, 4-, 8- and 24-bit,
// bottom-up rows padded to four bytes, a BITMAPINFOHEADER and, below 24 bits,
// a full palette. Everything is deterministic: the same pixels give the same
// bytes on every run and every machine.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bmp {

struct Rgb {
    uint8_t r, g, b;
    bool operator<(const Rgb& o) const { return r != o.r ? r < o.r : g != o.g ? g < o.g : b < o.b; }
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline void put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v & 0xFF));
    out->push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
inline void put32(std::vector<uint8_t>* out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The file for a picture of width x height at bits 1, 4, 8 or 24. For palette
// depths, pixel() gives the palette index of (x, y) and palette has at most
// 2^bits entries; for 24 bits, colour() gives the pixel's colour.
template <typename PixelFn>
std::vector<uint8_t> encode(int width, int height, int bits, const std::vector<Rgb>& palette,
                            PixelFn pixel) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4;
    const uint32_t colours = bits == 24 ? 0 : 1u << bits;
    const uint32_t offset = 14 + 40 + colours * 4;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(&out, offset + imageBytes);
    put32(&out, 0);
    put32(&out, offset);
    put32(&out, 40);
    put32(&out, static_cast<uint32_t>(width));
    put32(&out, static_cast<uint32_t>(height));
    put16(&out, 1);
    put16(&out, static_cast<uint32_t>(bits));
    put32(&out, 0);
    put32(&out, imageBytes);
    put32(&out, 3780); // 96 dpi
    put32(&out, 3780);
    put32(&out, colours);
    put32(&out, colours);
    for (uint32_t i = 0; i < colours; ++i) {
        Rgb c = i < palette.size() ? palette[i] : Rgb{0, 0, 0};
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    for (int y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            if (bits == 24) {
                Rgb c = pixel.colour(x, y);
                row[x * 3] = c.b;
                row[x * 3 + 1] = c.g;
                row[x * 3 + 2] = c.r;
                continue;
            }
            uint32_t index = pixel.index(x, y);
            int bit = x * bits;
            int shift = 8 - bits - bit % 8;
            row[bit / 8] |= static_cast<uint8_t>(index << shift);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

inline bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

struct IndexedPixels {
    int width;
    const std::vector<uint8_t>* indices;
    uint32_t index(int x, int y) const { return (*indices)[y * width + x]; }
    Rgb colour(int, int) const { return {0, 0, 0}; }
};

struct RgbPixels {
    int width;
    const std::vector<Rgb>* pixels;
    uint32_t index(int, int) const { return 0; }
    Rgb colour(int x, int y) const { return (*pixels)[y * width + x]; }
};

// A palette picture from indices (row-major, top row first).
inline bool writeIndexed(const std::string& path, int width, int height, int bits,
                         const std::vector<Rgb>& palette, const std::vector<uint8_t>& indices) {
    if (palette.size() > (1u << bits) || indices.size() != static_cast<size_t>(width) * height)
        return false;
    return writeFile(path, encode(width, height, bits, palette, IndexedPixels{width, &indices}));
}

// A 24-bit picture from colours (row-major, top row first).
inline bool write24(const std::string& path, int width, int height,
                    const std::vector<Rgb>& pixels) {
    if (pixels.size() != static_cast<size_t>(width) * height) return false;
    return writeFile(path, encode(width, height, 24, {}, RgbPixels{width, &pixels}));
}

// Median-cut reduction of colours to at most maxColours, deterministic. Keeps
// every colour listed in keep exactly (the transparent purple, pure black) and
// maps each pixel to its nearest palette entry.
class Quantizer {
  public:
    static std::vector<Rgb> palette(const std::vector<Rgb>& pixels, size_t maxColours,
                                    const std::vector<Rgb>& keep) {
        std::map<Rgb, uint32_t> counts;
        for (const Rgb& c : pixels) ++counts[c];
        std::vector<Rgb> result = keep;
        std::vector<std::pair<Rgb, uint32_t>> rest;
        for (const auto& e : counts)
            if (std::find(keep.begin(), keep.end(), e.first) == keep.end()) rest.push_back(e);
        size_t room = maxColours - keep.size();
        if (rest.size() <= room) {
            for (const auto& e : rest) result.push_back(e.first);
            return result;
        }
        std::vector<std::vector<std::pair<Rgb, uint32_t>>> boxes{rest};
        while (boxes.size() < room) {
            size_t best = 0;
            int bestRange = -1;
            int bestChannel = 0;
            for (size_t i = 0; i < boxes.size(); ++i) {
                if (boxes[i].size() < 2) continue;
                for (int ch = 0; ch < 3; ++ch) {
                    int lo = 255, hi = 0;
                    for (const auto& e : boxes[i]) {
                        int v = channel(e.first, ch);
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                    if (hi - lo > bestRange) {
                        bestRange = hi - lo;
                        best = i;
                        bestChannel = ch;
                    }
                }
            }
            if (bestRange <= 0) break;
            auto& box = boxes[best];
            std::stable_sort(box.begin(), box.end(), [bestChannel](const auto& a, const auto& b) {
                return channel(a.first, bestChannel) < channel(b.first, bestChannel);
            });
            uint64_t total = 0;
            for (const auto& e : box) total += e.second;
            uint64_t half = 0;
            size_t cut = 0;
            while (cut + 1 < box.size() && half + box[cut].second <= total / 2)
                half += box[cut++].second;
            if (cut == 0) cut = 1;
            std::vector<std::pair<Rgb, uint32_t>> upper(box.begin() + static_cast<long>(cut),
                                                        box.end());
            box.resize(cut);
            boxes.push_back(upper);
        }
        for (const auto& box : boxes) {
            uint64_t r = 0, g = 0, b = 0, n = 0;
            for (const auto& e : box) {
                r += uint64_t{e.first.r} * e.second;
                g += uint64_t{e.first.g} * e.second;
                b += uint64_t{e.first.b} * e.second;
                n += e.second;
            }
            result.push_back({static_cast<uint8_t>((r + n / 2) / n),
                              static_cast<uint8_t>((g + n / 2) / n),
                              static_cast<uint8_t>((b + n / 2) / n)});
        }
        return result;
    }

    static uint8_t nearest(const std::vector<Rgb>& palette, Rgb c) {
        size_t best = 0;
        int bestDistance = 1 << 30;
        for (size_t i = 0; i < palette.size(); ++i) {
            int dr = c.r - palette[i].r, dg = c.g - palette[i].g, db = c.b - palette[i].b;
            int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return static_cast<uint8_t>(best);
    }

  private:
    static int channel(Rgb c, int ch) { return ch == 0 ? c.r : ch == 1 ? c.g : c.b; }
};

// An 8-bit palette picture from colours: exact when it has at most 256 of
// them, otherwise reduced by median cut. Colours in keep stay exact.
inline bool write8(const std::string& path, int width, int height, const std::vector<Rgb>& pixels,
                   const std::vector<Rgb>& keep = {}) {
    if (pixels.size() != static_cast<size_t>(width) * height) return false;
    std::vector<Rgb> palette = Quantizer::palette(pixels, 256, keep);
    std::map<Rgb, uint8_t> cache;
    std::vector<uint8_t> indices(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        auto it = cache.find(pixels[i]);
        if (it == cache.end())
            it = cache.emplace(pixels[i], Quantizer::nearest(palette, pixels[i])).first;
        indices[i] = it->second;
    }
    return writeIndexed(path, width, height, 8, palette, indices);
}

} // namespace bmp
