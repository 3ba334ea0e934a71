// The AVX-512 line kernels: the per-pixel arithmetic of the AVX2 kernels in
// blit_wide.cpp, 32 pixels of 16 bits to a vector, with two steps written
// more shortly for the same numbers (the blend's biased shift as an
// arithmetic shift, the smoothing's divisions by five from the high half of
// the product). A line, or the last part of one, shorter than a vector is
// loaded and stored under a lane mask, so nothing outside the rectangle is
// read or written; the blocks of a line do not overlap and each depends only
// on its own old pixels.
#include "gfx/blit_wide512.h"

#include "gfx/blit.h"
#include "gfx/blit_wide.h"

bool blitWidestVectors = true;

#ifdef REEFDART_WIDE_BLITS

#include <immintrin.h>

#define WIDEST __attribute__((target("avx512bw,avx512vl,avx2")))

namespace {

constexpr int32_t V = 32;
typedef __mmask32 Lanes;

// The lanes below n: none for n <= 0, all for n >= V.
inline Lanes lanesBelow(int32_t n) {
    return n <= 0 ? 0 : n >= V ? ~Lanes{0} : static_cast<Lanes>((1u << n) - 1);
}

WIDEST inline __m512i splat(int32_t v) {
    return _mm512_set1_epi16(static_cast<int16_t>(v));
}

// The lanes in m from p, the others from fill (or 0); only the lanes in m
// are read.
WIDEST inline __m512i loadOr(__m512i fill, Lanes m, const uint16_t* p) {
    return _mm512_mask_loadu_epi16(fill, m, p);
}
WIDEST inline __m512i loadIn(Lanes m, const uint16_t* p) {
    return _mm512_maskz_loadu_epi16(m, p);
}

WIDEST inline void storeIn(uint16_t* p, Lanes m, __m512i v) {
    _mm512_mask_storeu_epi16(p, m, v);
}

// d + (c - d) * level / 32 for one channel, rounded down. The product lies
// within +-63 x 31, so its arithmetic shift is the AVX2 kernels' biased
// shift: ((x + 2048) >> 5) - 64 == x >> 5.
WIDEST inline __m512i blendChannel(__m512i d, __m512i c, __m512i level) {
    return _mm512_add_epi16(
        d, _mm512_srai_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(c, d), level), 5));
}

// Red and blue are blended as fields; green stays in place from bit 5, c.g
// with it: its step, (c - d) * 32 times level * 64 in the high half of the
// product, is the field's (c - d) * level / 32, rounded down.
struct Channels {
    __m512i r, g, b;
};

WIDEST inline Channels channelsOf(uint16_t colour) {
    return Channels{splat(colour >> 11), splat(colour & 0x07E0), splat(colour & 31)};
}

WIDEST inline __m512i tint(__m512i d, const Channels& c, __m512i level) {
    __m512i r = blendChannel(_mm512_srli_epi16(d, 11), c.r, level);
    __m512i b = blendChannel(_mm512_and_si512(d, splat(31)), c.b, level);
    __m512i g = _mm512_and_si512(d, splat(0x07E0));
    __m512i step = _mm512_mulhi_epi16(_mm512_sub_epi16(c.g, g), _mm512_slli_epi16(level, 6));
    g = _mm512_add_epi16(g, _mm512_slli_epi16(step, 5));
    return _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(r, 11), g), b);
}

// The levels of the source pixels.
WIDEST inline __m512i levelsOf(__m512i s) {
    return _mm512_and_si512(s, splat(31));
}

// Up to 32 pixels from d, the lanes in `in`: only those whose level is not 0
// are written.
WIDEST inline void tintBlock(uint16_t* d, const uint16_t* s, Lanes in, const Channels& c) {
    const __m512i level = levelsOf(loadIn(in, s));
    const Lanes drawn = _mm512_test_epi16_mask(level, level);
    if (drawn) storeIn(d, drawn, tint(loadIn(in, d), c, level));
}

WIDEST inline void tintLine(uint16_t* d, const uint16_t* s, int32_t n, const Channels& c) {
    for (int32_t i = 0; i < n; i += V) tintBlock(d + i, s + i, lanesBelow(n - i), c);
}

// The low half from a, the high half from b; and the high half of v. (The
// masked forms keep GCC from warning about the undefined vectors that the
// plain forms start from.)
WIDEST inline __m512i halves(__m256i a, __m256i b) {
    const __m512i low = _mm512_castsi256_si512(a);
    return _mm512_mask_inserti64x4(low, 0xFF, low, b, 1);
}
WIDEST inline __m256i highHalf(__m512i v) {
    return _mm512_mask_extracti64x4_epi64(_mm256_setzero_si256(), 0xF, v, 1);
}

// Two rows of up to 16 pixels, the lanes in `in`, in the low and the high
// half of one vector.
WIDEST inline void tintTwoRows(uint16_t* d0, uint16_t* d1, const uint16_t* s0, const uint16_t* s1,
                               __mmask16 in, const Channels& c) {
    const __m512i level =
        levelsOf(halves(_mm256_maskz_loadu_epi16(in, s0), _mm256_maskz_loadu_epi16(in, s1)));
    const Lanes drawn = _mm512_test_epi16_mask(level, level);
    if (!drawn) return;
    // The old pixels are read in every lane of the glyph's rows, which does
    // not wait for the levels; only the drawn lanes are stored.
    const __m512i old = halves(_mm256_maskz_loadu_epi16(in, d0), _mm256_maskz_loadu_epi16(in, d1));
    const __m512i fresh = tint(old, c, level);
    storeIn(d0, static_cast<__mmask16>(drawn), fresh);
    _mm256_mask_storeu_epi16(d1, static_cast<__mmask16>(drawn >> 16), highHalf(fresh));
}

// v, or d where v is the key.
WIDEST inline __m512i unlessKey(__m512i v, __m512i key, __m512i d) {
    return _mm512_mask_mov_epi16(v, _mm512_cmpeq_epi16_mask(v, key), d);
}

WIDEST inline __m512i sum5(__m512i a, __m512i b, __m512i c, __m512i d, __m512i e) {
    return _mm512_add_epi16(_mm512_add_epi16(a, b), _mm512_add_epi16(_mm512_add_epi16(c, d), e));
}

// The fifths of d and its four neighbours, a neighbour that is the key
// counting as another share of d.
WIDEST inline __m512i fifths(__m512i d, __m512i left, __m512i right, __m512i up, __m512i down,
                             __m512i key) {
    left = unlessKey(left, key, d);
    right = unlessKey(right, key, d);
    up = unlessKey(up, key, d);
    down = unlessKey(down, key, d);
    const __m512i greenMask = splat(0x07E0), blueMask = splat(31);
    __m512i red =
        sum5(_mm512_srli_epi16(d, 11), _mm512_srli_epi16(left, 11), _mm512_srli_epi16(right, 11),
             _mm512_srli_epi16(up, 11), _mm512_srli_epi16(down, 11));
    __m512i green = sum5(_mm512_and_si512(d, greenMask), _mm512_and_si512(left, greenMask),
                         _mm512_and_si512(right, greenMask), _mm512_and_si512(up, greenMask),
                         _mm512_and_si512(down, greenMask));
    __m512i blue = sum5(_mm512_and_si512(d, blueMask), _mm512_and_si512(left, blueMask),
                        _mm512_and_si512(right, blueMask), _mm512_and_si512(up, blueMask),
                        _mm512_and_si512(down, blueMask));
    // The divisions by five, x * 205 >> 10 for red and blue and >> 11 for
    // green, taken from the high half of the product: 13120 is 205 << 6, and
    // green's sum, still in place from bit 5, is 32 times its value.
    red = _mm512_slli_epi16(_mm512_mulhi_epu16(red, splat(13120)), 11);
    green = _mm512_slli_epi16(_mm512_mulhi_epu16(green, splat(205)), 6);
    blue = _mm512_mulhi_epu16(blue, splat(13120));
    return _mm512_or_si512(_mm512_or_si512(red, green), blue);
}

// v moved one lane up, fill's lane 0 coming in at lane 0.
WIDEST inline __m512i shiftedUp(__m512i v, __m512i fill) {
    alignas(64) static const uint16_t from[V] = {32, 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                                 21, 22, 23, 24, 25, 26, 27, 28, 29, 30};
    return _mm512_permutex2var_epi16(v, _mm512_load_si512(from), fill);
}

// A source line and the lines beside it, which an edge line does not read.
struct Line {
    const uint16_t *cur, *prev, *next;
    int32_t n;
    bool edge;
};

// The lanes of the block from i that hold the line's first and last pixels.
inline Lanes endsOf(int32_t n, int32_t i) {
    const int32_t last = n - 1 - i;
    return (i == 0 ? 1u : 0u) | (last < V ? 1u << last : 0u);
}

// Pixels i .. i+31 of the line (those below n), whose source pixels c and
// those across the line, up and down, are at hand. A drawn source pixel is
// copied; a keyed one takes the fifths of its old value and its neighbours,
// the key standing in for those outside the rectangle: across the line on an
// edge line, and along it at its first and last pixels, which see only the
// lines beside them. On an edge line those two are corners and keep their
// value where the source is the key. The block is worked out in full; rows
// of one block take the shortcut of smoothNarrowRow when nothing is drawn on
// or beside them, while passing over blocks without the key measured no
// faster.
WIDEST inline void smoothBlock(uint16_t* d, const Line& l, int32_t i, __m512i c, __m512i up,
                               __m512i down, __m512i key) {
    const Lanes in = lanesBelow(l.n - i);
    const Lanes keyed = _mm512_mask_cmpeq_epi16_mask(in, c, key);
    const Lanes ends = endsOf(l.n, i), along = in & ~ends;
    // The first block takes its left neighbours from c: the pixel before the
    // line is not read.
    const __m512i left = i == 0 ? _mm512_mask_mov_epi16(shiftedUp(c, key), ends, key)
                                : loadOr(key, along, l.cur + i - 1);
    const __m512i right = loadOr(key, along, l.cur + i + 1);
    if (l.edge) up = down = key;
    const __m512i old = loadIn(in, d + i);
    const __m512i fresh = fifths(old, left, right, up, down, key);
    const Lanes written = l.edge ? in & ~(ends & keyed) : in;
    storeIn(d + i, written, _mm512_mask_mov_epi16(c, keyed, fresh));
}

WIDEST inline void smoothLine(uint16_t* d, const Line& l, __m512i key) {
    for (int32_t i = 0; i < l.n; i += V) {
        const Lanes in = lanesBelow(l.n - i);
        smoothBlock(d, l, i, loadOr(key, in, l.cur + i), l.edge ? key : loadOr(key, in, l.prev + i),
                    l.edge ? key : loadOr(key, in, l.next + i), key);
    }
}

// One row of up to 32 pixels as smoothBlock would do it. A row of the key
// with only the key above and below it changes each pixel to five fifths of
// itself, which is the old value less its lowest green bit (an edge row's
// two corners keep theirs), and skips the arithmetic.
WIDEST inline void smoothNarrowRow(uint16_t* d, const uint16_t* row, int32_t w, bool edge,
                                   __m512i cur, __m512i up, __m512i down, __m512i key) {
    const Lanes in = lanesBelow(w);
    const Lanes quiet = _mm512_mask_cmpeq_epi16_mask(
        _mm512_mask_cmpeq_epi16_mask(_mm512_mask_cmpeq_epi16_mask(in, cur, key), up, key), down,
        key);
    if (quiet == in) {
        const Lanes written = edge ? in & ~endsOf(w, 0) : in;
        storeIn(d, written, _mm512_and_si512(loadIn(in, d), splat(~0x0020)));
        return;
    }
    smoothBlock(d, Line{row, row, row, w, edge}, 0, cur, up, down, key);
}

// Rows of up to 32 pixels, one block a row, h >= 3: each source row is
// loaded once and kept for the rows beside it.
WIDEST inline void smoothNarrowRows(uint16_t* d, int32_t yPitch, const uint16_t* s,
                                    int32_t srcPitch, int32_t w, int32_t h, __m512i key) {
    const Lanes in = lanesBelow(w);
    // The lines across come in as vectors, so each Line names only its row.
    __m512i cur = loadOr(key, in, s), down = loadOr(key, in, s + srcPitch);
    smoothNarrowRow(d, s, w, true, cur, key, key, key);
    for (int32_t j = 1; j < h; ++j) {
        const uint16_t* row = s + int64_t{j} * srcPitch;
        const __m512i up = cur;
        cur = down;
        const bool edge = j == h - 1;
        if (!edge) down = loadOr(key, in, row + srcPitch);
        smoothNarrowRow(d + int64_t{j} * yPitch, row, w, edge, cur, edge ? key : up,
                        edge ? key : down, key);
    }
}

} // namespace

bool widestBlitsReady() {
    static const bool cpuHasAvx512 = (__builtin_cpu_init(), __builtin_cpu_supports("avx512bw") &&
                                                                __builtin_cpu_supports("avx512vl"));
    return blitWideVectors && blitWidestVectors && cpuHasAvx512;
}

WIDEST void tintLine512(uint16_t* d, const uint16_t* s, int32_t n, uint16_t colour) {
    tintLine(d, s, n, channelsOf(colour));
}

// Rows of up to 16 pixels go two to a vector; a last odd row, and longer
// rows, one at a time.
WIDEST void tintRows512(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                        int32_t h, uint16_t colour) {
    const Channels c = channelsOf(colour);
    int32_t j = 0;
    if (w <= V / 2) {
        const __mmask16 in = static_cast<__mmask16>(lanesBelow(w));
        for (; j + 1 < h; j += 2) {
            uint16_t* row = d + int64_t{j} * yPitch;
            const uint16_t* src = s + int64_t{j} * srcPitch;
            tintTwoRows(row, row + yPitch, src, src + srcPitch, in, c);
        }
    }
    for (; j < h; ++j) tintLine(d + int64_t{j} * yPitch, s + int64_t{j} * srcPitch, w, c);
}

WIDEST void smoothLine512(uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                          const uint16_t* next, int32_t n, bool edgeLine, uint16_t key) {
    smoothLine(d, Line{cur, prev, next, n, edgeLine}, splat(key));
}

WIDEST void smoothRows512(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch,
                          int32_t w, int32_t h, uint16_t keyValue) {
    const __m512i key = splat(keyValue);
    if (w <= V && h >= 3) {
        smoothNarrowRows(d, yPitch, s, srcPitch, w, h, key);
        return;
    }
    for (int32_t j = 0; j < h; ++j) {
        const uint16_t* cur = s + int64_t{j} * srcPitch;
        const bool edge = j == 0 || j == h - 1;
        const Line l{cur, edge ? cur : cur - srcPitch, edge ? cur : cur + srcPitch, w, edge};
        smoothLine(d + int64_t{j} * yPitch, l, key);
    }
}

#else

bool widestBlitsReady() {
    return false;
}

void tintLine512(uint16_t*, const uint16_t*, int32_t, uint16_t) {}

void tintRows512(uint16_t*, int32_t, const uint16_t*, int32_t, int32_t, int32_t, uint16_t) {}

void smoothLine512(uint16_t*, const uint16_t*, const uint16_t*, const uint16_t*, int32_t, bool,
                   uint16_t) {}

void smoothRows512(uint16_t*, int32_t, const uint16_t*, int32_t, int32_t, int32_t, uint16_t) {}

#endif
