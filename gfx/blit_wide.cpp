// The AVX2 line kernels. The per-pixel arithmetic gives the portable walks'
// numbers in blit.cpp, lane by lane in 16-bit lanes: the channel blend
// rounded down, and the fifths of the smoothing as x * 205 shifted, taken
// from the high half of the product.
#include "gfx/blit_wide.h"

#include "gfx/blit.h"
#include "gfx/blit_wide512.h"

#ifdef REEFDART_WIDE_BLITS

#include <cstring>
#include <immintrin.h>

#define WIDE __attribute__((target("avx2")))

namespace {

constexpr int32_t V = WIDE_PIXELS;

WIDE inline __m256i load(const uint16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

WIDE inline void store(uint16_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

WIDE inline __m256i splat(int32_t v) {
    return _mm256_set1_epi16(static_cast<int16_t>(v));
}

WIDE inline __m256i laneIndex() {
    return _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

// All ones in the lanes below n.
WIDE inline __m256i lanesBelow(int32_t n) {
    return _mm256_cmpgt_epi16(splat(n), laneIndex());
}

// d + (c - d) * level / 32 for one channel, rounded down. The product lies
// within +-63 x 31, so its arithmetic shift rounds it down as the portable
// walk's biased shift does: ((x + 2048) >> 5) - 64 == x >> 5.
WIDE inline __m256i blendChannel(__m256i d, __m256i c, __m256i level) {
    return _mm256_add_epi16(
        d, _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(c, d), level), 5));
}

// Red and blue are blended as fields; green stays in place from bit 5, c.g
// with it: its step, (c - d) * 32 times level * 64 in the high half of the
// product, is the field's (c - d) * level / 32, rounded down.
struct Channels {
    __m256i r, g, b;
};

WIDE inline __m256i tint(__m256i d, const Channels& c, __m256i level) {
    __m256i r = blendChannel(_mm256_srli_epi16(d, 11), c.r, level);
    __m256i b = blendChannel(_mm256_and_si256(d, splat(31)), c.b, level);
    __m256i g = _mm256_and_si256(d, splat(0x07E0));
    __m256i step = _mm256_mulhi_epi16(_mm256_sub_epi16(c.g, g), _mm256_slli_epi16(level, 6));
    g = _mm256_add_epi16(g, _mm256_slli_epi16(step, 5));
    return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(r, 11), g), b);
}

// Sixteen pixels from d: level 0 lanes come out as they were, so a block
// whose levels are all 0 is not stored.
WIDE inline void tintBlock(uint16_t* d, const Channels& c, __m256i level) {
    if (!_mm256_testz_si256(level, level)) store(d, tint(load(d), c, level));
}

// A line of at least V pixels. The last block, which overlaps the one
// before it, is worked out from the old pixels before anything is stored
// and stored last.
WIDE inline void tintLongLine(uint16_t* d, const uint16_t* s, int32_t n, const Channels& c) {
    const __m256i levelMask = splat(31);
    const int32_t from = n - V;
    __m256i lastLevel = _mm256_and_si256(load(s + from), levelMask);
    __m256i last = tint(load(d + from), c, lastLevel);
    for (int32_t i = 0; i < from; i += V)
        tintBlock(d + i, c, _mm256_and_si256(load(s + i), levelMask));
    if (!_mm256_testz_si256(lastLevel, lastLevel)) store(d + from, last);
}

// A line of fewer than V pixels: one block, its lanes past the line at
// level 0. Without room after the line it goes through a copy.
WIDE inline void tintShortLine(uint16_t* d, const uint16_t* s, int32_t n, const Channels& c,
                               int64_t destRoom, int64_t srcRoom) {
    const __m256i lanes = lanesBelow(n);
    if (destRoom >= V && srcRoom >= V) {
        tintBlock(d, c, _mm256_and_si256(_mm256_and_si256(load(s), splat(31)), lanes));
        return;
    }
    uint16_t line[V] = {}, levels[V] = {};
    std::memcpy(line, d, static_cast<size_t>(n) * sizeof(uint16_t));
    std::memcpy(levels, s, static_cast<size_t>(n) * sizeof(uint16_t));
    tintBlock(line, c, _mm256_and_si256(_mm256_and_si256(load(levels), splat(31)), lanes));
    std::memcpy(d, line, static_cast<size_t>(n) * sizeof(uint16_t));
}

WIDE inline Channels channelsOf(uint16_t colour) {
    return Channels{splat(colour >> 11), splat(colour & 0x07E0), splat(colour & 31)};
}

WIDE void tintLineAvx2(uint16_t* d, const uint16_t* s, int32_t n, uint16_t colour, int64_t destRoom,
                       int64_t srcRoom) {
    const Channels c = channelsOf(colour);
    if (n < V)
        tintShortLine(d, s, n, c, destRoom, srcRoom);
    else
        tintLongLine(d, s, n, c);
}

WIDE void tintRowsAvx2(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                       int32_t h, uint16_t colour, const uint16_t* destEnd,
                       const uint16_t* srcEnd) {
    const Channels c = channelsOf(colour);
    for (int32_t j = 0; j < h; ++j, d += yPitch, s += srcPitch) {
        if (w < V)
            tintShortLine(d, s, w, c, destEnd - d, srcEnd - s);
        else
            tintLongLine(d, s, w, c);
    }
}

// v, or d where v is the key.
WIDE inline __m256i unlessKey(__m256i v, __m256i key, __m256i d) {
    return _mm256_blendv_epi8(v, d, _mm256_cmpeq_epi16(v, key));
}

// The smoothed keyed copy of sixteen pixels with their old values d, source
// pixels c and the four neighbours; in the lanes of alone (the ends of a
// line) the neighbours along the line count as the key whatever they are.
WIDE inline __m256i smoothBlock(__m256i d, __m256i c, __m256i left, __m256i right, __m256i up,
                                __m256i down, __m256i key, __m256i alone) {
    left = _mm256_blendv_epi8(left, d, _mm256_or_si256(_mm256_cmpeq_epi16(left, key), alone));
    right = _mm256_blendv_epi8(right, d, _mm256_or_si256(_mm256_cmpeq_epi16(right, key), alone));
    up = unlessKey(up, key, d);
    down = unlessKey(down, key, d);
    const __m256i greenMask = splat(0x07E0), blueMask = splat(31);
    __m256i red = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_srli_epi16(d, 11), _mm256_srli_epi16(left, 11)),
        _mm256_add_epi16(_mm256_add_epi16(_mm256_srli_epi16(right, 11), _mm256_srli_epi16(up, 11)),
                         _mm256_srli_epi16(down, 11)));
    __m256i green = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_and_si256(d, greenMask), _mm256_and_si256(left, greenMask)),
        _mm256_add_epi16(
            _mm256_add_epi16(_mm256_and_si256(right, greenMask), _mm256_and_si256(up, greenMask)),
            _mm256_and_si256(down, greenMask)));
    __m256i blue = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_and_si256(d, blueMask), _mm256_and_si256(left, blueMask)),
        _mm256_add_epi16(
            _mm256_add_epi16(_mm256_and_si256(right, blueMask), _mm256_and_si256(up, blueMask)),
            _mm256_and_si256(down, blueMask)));
    // The divisions by five, x * 205 >> 10 for red and blue and >> 11 for
    // green, from the high half of the product: 13120 is 205 << 6 (the sums
    // of red and blue are at most 155, so nothing is lost above bit 16), and
    // green's sum, still in place from bit 5, is 32 times its value.
    red = _mm256_slli_epi16(_mm256_mulhi_epu16(red, splat(13120)), 11);
    green = _mm256_slli_epi16(_mm256_mulhi_epu16(green, splat(205)), 6);
    blue = _mm256_mulhi_epu16(blue, splat(13120));
    __m256i smoothed = _mm256_or_si256(_mm256_or_si256(red, green), blue);
    return _mm256_blendv_epi8(c, smoothed, _mm256_cmpeq_epi16(c, key));
}
WIDE inline __m256i smoothBlock(__m256i d, __m256i c, __m256i left, __m256i right, __m256i up,
                                __m256i down, __m256i key) {
    return smoothBlock(d, c, left, right, up, down, key, _mm256_setzero_si256());
}

// Pixels i .. i+15 of the line, from their present destination values.
WIDE inline __m256i smoothAt(const uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                             const uint16_t* next, int32_t i, bool edgeLine, __m256i key) {
    __m256i up = edgeLine ? key : load(prev + i);
    __m256i down = edgeLine ? key : load(next + i);
    return smoothBlock(load(d + i), load(cur + i), load(cur + i - 1), load(cur + i + 1), up, down,
                       key);
}

// The pixels 1 .. n-2, for n >= 3.
WIDE inline void smoothInterior(uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                                const uint16_t* next, int32_t n, bool edgeLine, __m256i key) {
    const int32_t end = n - 1; // one past the last interior pixel
    if (end - 1 < V) {
        __m256i fresh = smoothAt(d, cur, prev, next, 1, edgeLine, key);
        store(d + 1, _mm256_blendv_epi8(load(d + 1), fresh, lanesBelow(end - 1)));
        return;
    }
    // The last block overlaps the one before it: it is worked out from the
    // old pixels first and stored last.
    const int32_t from = end - V;
    __m256i last = smoothAt(d, cur, prev, next, from, edgeLine, key);
    for (int32_t i = 1; i < from; i += V)
        store(d + i, smoothAt(d, cur, prev, next, i, edgeLine, key));
    store(d + from, last);
}

// Whether all n pixels of the line are the key.
WIDE inline bool allKey(const uint16_t* line, int32_t n, __m256i key) {
    if (n < V) {
        __m256i differs = _mm256_and_si256(_mm256_xor_si256(load(line), key), lanesBelow(n));
        return _mm256_testz_si256(differs, differs);
    }
    __m256i differs = _mm256_xor_si256(load(line + n - V), key);
    for (int32_t i = 0; i < n - V; i += V)
        differs = _mm256_or_si256(differs, _mm256_xor_si256(load(line + i), key));
    return _mm256_testz_si256(differs, differs);
}

// Clears the lowest green bit of the pixels first .. last-1.
WIDE inline void clearGreenBit(uint16_t* d, int32_t first, int32_t last) {
    const int32_t n = last - first;
    if (n <= 0) return;
    d += first;
    if (n < V) {
        // A block from d would reach past the line's end (an edge line of
        // 16 leaves 14 to clear from its second pixel on).
        for (int32_t i = 0; i < n; ++i) d[i] = static_cast<uint16_t>(d[i] & 0xFFDF);
        return;
    }
    const __m256i keep = splat(0xFFDF);
    __m256i tail = _mm256_and_si256(load(d + n - V), keep);
    for (int32_t i = 0; i < n - V; i += V) store(d + i, _mm256_and_si256(load(d + i), keep));
    store(d + n - V, tail);
}

// Two pixels in the first two lanes.
WIDE inline __m256i pair(uint16_t a, uint16_t b) {
    return _mm256_setr_epi16(static_cast<int16_t>(a), static_cast<int16_t>(b), 0, 0, 0, 0, 0, 0, 0,
                             0, 0, 0, 0, 0, 0, 0);
}

// The first and last pixels of the line: the corners of an edge line stay
// as they are; on other lines they see only the lines beside them.
WIDE inline void smoothEnds(uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                            const uint16_t* next, int32_t n, bool edgeLine, __m256i key) {
    const int32_t last = n - 1;
    if (edgeLine) {
        const uint16_t k = static_cast<uint16_t>(_mm256_extract_epi16(key, 0));
        if (cur[0] != k) d[0] = cur[0];
        if (cur[last] != k) d[last] = cur[last];
        return;
    }
    __m256i ends = smoothBlock(pair(d[0], d[last]), pair(cur[0], cur[last]), key, key,
                               pair(prev[0], prev[last]), pair(next[0], next[last]), key);
    d[last] = static_cast<uint16_t>(_mm256_extract_epi16(ends, 1));
    d[0] = static_cast<uint16_t>(_mm256_extract_epi16(ends, 0));
}

// The line shifted by one pixel toward its end, fill coming in at lane 0;
// and toward its start, fill coming in at lane 15.
WIDE inline __m256i shiftedUp(__m256i v, __m256i fill) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, fill, 0x02), 14);
}
WIDE inline __m256i shiftedDown(__m256i v, __m256i fill) {
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(v, fill, 0x21), v, 2);
}

// Pixels i .. i+15 of a line of n >= V, from their present destination
// values, the line's first and last pixels included: they see only the
// lines beside them, and on an edge line they are corners and keep their
// value where the source is the key.
WIDE inline __m256i smoothWhole(const uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                                const uint16_t* next, int32_t n, int32_t i, bool edgeLine,
                                __m256i key) {
    const __m256i c = load(cur + i);
    const __m256i keyed = _mm256_cmpeq_epi16(c, key);
    if (_mm256_testz_si256(keyed, keyed)) return c; // drawn throughout
    const __m256i old = load(d + i);
    const bool first = i == 0, last = i + V == n;
    __m256i left = first ? shiftedUp(c, key) : load(cur + i - 1);
    __m256i right = last ? shiftedDown(c, key) : load(cur + i + 1);
    __m256i up = edgeLine ? key : load(prev + i);
    __m256i down = edgeLine ? key : load(next + i);
    if (!first && !last) return smoothBlock(old, c, left, right, up, down, key);
    // The line's ends see neither neighbour along the line.
    __m256i ends = _mm256_setzero_si256();
    if (first) ends = _mm256_cmpeq_epi16(laneIndex(), _mm256_setzero_si256());
    if (last) ends = _mm256_or_si256(ends, _mm256_cmpeq_epi16(laneIndex(), splat(V - 1)));
    left = _mm256_blendv_epi8(left, key, ends);
    right = _mm256_blendv_epi8(right, key, ends);
    __m256i fresh = smoothBlock(old, c, left, right, up, down, key);
    if (edgeLine)
        fresh = _mm256_blendv_epi8(fresh, old, _mm256_and_si256(ends, _mm256_cmpeq_epi16(c, key)));
    return fresh;
}

// A whole line of n >= V pixels. The last block, which overlaps the ones
// before it, is worked out from the old pixels first and stored last.
WIDE inline void smoothLongLine(uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                                const uint16_t* next, int32_t n, bool edgeLine, __m256i key) {
    if (allKey(cur, n, key) && (edgeLine || (allKey(prev, n, key) && allKey(next, n, key)))) {
        clearGreenBit(d, edgeLine ? 1 : 0, edgeLine ? n - 1 : n);
        return;
    }
    const int32_t from = n - V;
    __m256i tail = smoothWhole(d, cur, prev, next, n, from, edgeLine, key);
    for (int32_t i = 0; i < from; i += V)
        store(d + i, smoothWhole(d, cur, prev, next, n, i, edgeLine, key));
    store(d + from, tail);
}

// A source row of V to 2V pixels in two blocks, pixels 0 .. 15 and w-16 ..
// w-1 (the same block when w is V), and whether it is the key throughout.
struct NarrowRow {
    __m256i head, tail;
    bool allKey;
};

WIDE inline NarrowRow narrowRow(const uint16_t* row, int32_t w, __m256i key) {
    const __m256i head = load(row), tail = load(row + w - V);
    const __m256i keyed =
        _mm256_and_si256(_mm256_cmpeq_epi16(head, key), _mm256_cmpeq_epi16(tail, key));
    return NarrowRow{head, tail, _mm256_movemask_epi8(keyed) == -1};
}

// The smoothed keyed copy of sixteen pixels, passing over the arithmetic
// where none of them is the key.
WIDE inline __m256i smoothDrawn(__m256i old, __m256i c, __m256i left, __m256i right, __m256i up,
                                __m256i down, __m256i key, __m256i alone) {
    const __m256i keyed = _mm256_cmpeq_epi16(c, key);
    if (_mm256_testz_si256(keyed, keyed)) return c;
    return smoothBlock(old, c, left, right, up, down, key, alone);
}

// The lanes of the head and tail blocks that hold the row's first and last
// pixels.
struct RowEnds {
    __m256i head, tail;
};

// One row of V to 2V pixels, its source blocks and those of the rows above
// and below at hand (an edge row takes the key for those). The head's left
// neighbours and the tail's right ones come from the blocks themselves, the
// two others are read from the row; the row's first and last pixels see
// neither neighbour along it. Both blocks are worked out from the old pixels
// before either is stored. A row of the key with only the key above and
// below changes each pixel to five fifths of itself, which is the old value
// less its lowest green bit (an edge row's corners keep theirs).
template <bool EDGE>
WIDE inline void smoothNarrowRow(uint16_t* d, const uint16_t* row, int32_t w, const NarrowRow& cur,
                                 const NarrowRow& up, const NarrowRow& down, const RowEnds& ends,
                                 __m256i key) {
    const int32_t from = w - V;
    const __m256i oldHead = load(d), oldTail = load(d + from);
    if (cur.allKey && (EDGE || (up.allKey && down.allKey))) {
        const __m256i keep = splat(0xFFDF);
        store(d, _mm256_and_si256(oldHead, EDGE ? _mm256_or_si256(keep, ends.head) : keep));
        store(d + from, _mm256_and_si256(oldTail, EDGE ? _mm256_or_si256(keep, ends.tail) : keep));
        return;
    }
    const __m256i right = from == 0 ? shiftedDown(cur.head, key) : load(row + 1);
    __m256i head = smoothDrawn(oldHead, cur.head, shiftedUp(cur.head, key), right,
                               EDGE ? key : up.head, EDGE ? key : down.head, key, ends.head);
    if (EDGE)
        head = _mm256_blendv_epi8(head, oldHead,
                                  _mm256_and_si256(ends.head, _mm256_cmpeq_epi16(cur.head, key)));
    if (from == 0) {
        store(d, head);
        return;
    }
    __m256i tail = smoothDrawn(oldTail, cur.tail, load(row + from - 1), shiftedDown(cur.tail, key),
                               EDGE ? key : up.tail, EDGE ? key : down.tail, key, ends.tail);
    if (EDGE)
        tail = _mm256_blendv_epi8(tail, oldTail,
                                  _mm256_and_si256(ends.tail, _mm256_cmpeq_epi16(cur.tail, key)));
    store(d, head);
    store(d + from, tail);
}

// Rows of V to 2V pixels, h >= 3: each source row is loaded once and kept
// for the rows beside it. (The key comes in as a number: a function that
// takes a vector is left without the vzeroupper at its end.)
WIDE void smoothNarrowRows(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch,
                           int32_t w, int32_t h, uint16_t keyValue) {
    const __m256i key = splat(keyValue);
    const __m256i first = _mm256_cmpeq_epi16(laneIndex(), _mm256_setzero_si256());
    const __m256i last = _mm256_cmpeq_epi16(laneIndex(), splat(V - 1));
    const RowEnds ends = w == V
                             ? RowEnds{_mm256_or_si256(first, last), _mm256_or_si256(first, last)}
                             : RowEnds{first, last};
    NarrowRow cur = narrowRow(s, w, key), down = narrowRow(s + srcPitch, w, key);
    smoothNarrowRow<true>(d, s, w, cur, cur, cur, ends, key);
    int32_t j = 1;
    for (; j < h - 1; ++j) {
        const uint16_t* row = s + int64_t{j} * srcPitch;
        const NarrowRow up = cur;
        cur = down;
        down = narrowRow(row + srcPitch, w, key);
        smoothNarrowRow<false>(d + int64_t{j} * yPitch, row, w, cur, up, down, ends, key);
    }
    smoothNarrowRow<true>(d + int64_t{j} * yPitch, s + int64_t{j} * srcPitch, w, down, down, down,
                          ends, key);
}

WIDE void smoothRowsAvx2(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch,
                         int32_t w, int32_t h, uint16_t keyValue) {
    if (w <= 2 * V && h >= 3) {
        smoothNarrowRows(d, yPitch, s, srcPitch, w, h, keyValue);
        return;
    }
    const __m256i key = splat(keyValue);
    for (int32_t j = 0; j < h; ++j, d += yPitch, s += srcPitch) {
        const bool edge = j == 0 || j == h - 1;
        smoothLongLine(d, s, edge ? s : s - srcPitch, edge ? s : s + srcPitch, w, edge, key);
    }
}

WIDE bool smoothLineAvx2(uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                         const uint16_t* next, int32_t n, bool edgeLine, uint16_t keyValue,
                         int64_t destRoom, int64_t srcRoom) {
    const __m256i key = splat(keyValue);
    if (n >= V) {
        smoothLongLine(d, cur, prev, next, n, edgeLine, key);
        return true;
    }
    if (destRoom < V + 2 || srcRoom < V + 2) return false;
    if (allKey(cur, n, key) && (edgeLine || (allKey(prev, n, key) && allKey(next, n, key)))) {
        // Nothing drawn on or beside the line: each pixel keeps its own five
        // shares, less the lowest green bit; the corners stay as they are.
        clearGreenBit(d, edgeLine ? 1 : 0, edgeLine ? n - 1 : n);
        return true;
    }
    if (n >= 3) smoothInterior(d, cur, prev, next, n, edgeLine, key);
    smoothEnds(d, cur, prev, next, n, edgeLine, key);
    return true;
}

// Rows of at least 16 pixels copy in two overlapping blocks or more, rows
// of 17 to 24 in a block and a half block, and rows of 8 to 15 in two
// overlapping halves. (The half block touches fewer cache lines than a
// second whole one: a strip of 24 copies about a quarter faster.)
WIDE void copyRowsAvx2(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                       int32_t h) {
    if (w < V) {
        const int32_t half = V / 2;
        for (int32_t j = 0; j < h; ++j, d += yPitch, s += srcPitch) {
            __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
            __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + w - half));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), head);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w - half), tail);
        }
        return;
    }
    if (w > V && w <= V + V / 2) {
        const int32_t half = V / 2;
        for (int32_t j = 0; j < h; ++j, d += yPitch, s += srcPitch) {
            __m256i head = load(s);
            __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + w - half));
            store(d, head);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w - half), tail);
        }
        return;
    }
    for (int32_t j = 0; j < h; ++j, d += yPitch, s += srcPitch) {
        __m256i tail = load(s + w - V);
        for (int32_t i = 0; i < w - V; i += V) store(d + i, load(s + i));
        store(d + w - V, tail);
    }
}

// Eight source rows of eight pixels into eight destination columns.
WIDE __attribute__((always_inline)) inline void
transposeBlock(uint16_t* d, int32_t xPitch, const uint16_t* s, int32_t srcPitch) {
    __m128i a[8], u[8];
    for (int r = 0; r < 8; ++r)
        a[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + r * srcPitch));
    for (int r = 0; r < 8; r += 2) {
        u[r] = _mm_unpacklo_epi16(a[r], a[r + 1]);
        u[r + 1] = _mm_unpackhi_epi16(a[r], a[r + 1]);
    }
    // u: columns 0-3 and 4-7 of each pair of rows.
    __m128i v[8] = {_mm_unpacklo_epi32(u[0], u[2]), _mm_unpackhi_epi32(u[0], u[2]),
                    _mm_unpacklo_epi32(u[1], u[3]), _mm_unpackhi_epi32(u[1], u[3]),
                    _mm_unpacklo_epi32(u[4], u[6]), _mm_unpackhi_epi32(u[4], u[6]),
                    _mm_unpacklo_epi32(u[5], u[7]), _mm_unpackhi_epi32(u[5], u[7])};
    // v[k] (k < 4): columns 2k and 2k+1 of rows 0-3; v[k + 4] of rows 4-7.
    for (int k = 0; k < 4; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * k * xPitch),
                         _mm_unpacklo_epi64(v[k], v[k + 4]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + (2 * k + 1) * xPitch),
                         _mm_unpackhi_epi64(v[k], v[k + 4]));
    }
}

// Blocks of eight by eight; the last block of a row or column of blocks
// overlaps the one before it and copies some pixels again.
WIDE void copyColumnsAvx2(uint16_t* d, int32_t xPitch, const uint16_t* s, int32_t srcPitch,
                          int32_t w, int32_t h) {
    for (int32_t i = 0; i < w; i += 8) {
        const int32_t x = i + 8 <= w ? i : w - 8;
        for (int32_t j = 0; j < h; j += 8) {
            const int32_t y = j + 8 <= h ? j : h - 8;
            transposeBlock(d + x * xPitch + y, xPitch, s + y * srcPitch + x, srcPitch);
        }
    }
}

// Eight source columns at a time are turned into lines through the block
// transpose; the last group overlaps the one before it and tints only its
// new columns.
WIDE void tintColumnsAvx2(uint16_t* d, int32_t xPitch, const uint16_t* s, int32_t srcPitch,
                          int32_t w, int32_t h, uint16_t colour, const uint16_t* destEnd) {
    constexpr int32_t STRIDE = WIDE_MAX_LINE + 2 * V;
    uint16_t lines[8][STRIDE];
    const Channels c = channelsOf(colour);
    for (int32_t i = 0; i < w; i += 8) {
        const int32_t x = i + 8 <= w ? i : w - 8;
        for (int32_t j = 0; j < h; j += 8) {
            const int32_t y = j + 8 <= h ? j : h - 8;
            transposeBlock(&lines[0][y], STRIDE, s + y * srcPitch + x, srcPitch);
        }
        for (int32_t col = i - x; col < 8; ++col) {
            uint16_t* line = d + (x + col) * xPitch;
            if (h < V)
                tintShortLine(line, lines[col], h, c, destEnd - line, STRIDE);
            else
                tintLongLine(line, lines[col], h, c);
        }
    }
}

} // namespace

bool wideBlitsReady() {
    static const bool cpuHasAvx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
    return blitWideVectors && cpuHasAvx2;
}

void wideTintLine(uint16_t* d, const uint16_t* s, int32_t n, uint16_t colour, int64_t destRoom,
                  int64_t srcRoom) {
    if (widestBlitsReady())
        tintLine512(d, s, n, colour);
    else
        tintLineAvx2(d, s, n, colour, destRoom, srcRoom);
}

void wideTintRows(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                  int32_t h, uint16_t colour, const uint16_t* destEnd, const uint16_t* srcEnd) {
    if (widestBlitsReady())
        tintRows512(d, yPitch, s, srcPitch, w, h, colour);
    else
        tintRowsAvx2(d, yPitch, s, srcPitch, w, h, colour, destEnd, srcEnd);
}

bool wideSmoothLine(uint16_t* d, const uint16_t* cur, const uint16_t* prev, const uint16_t* next,
                    int32_t n, bool edgeLine, uint16_t key, int64_t destRoom, int64_t srcRoom) {
    if (!widestBlitsReady())
        return smoothLineAvx2(d, cur, prev, next, n, edgeLine, key, destRoom, srcRoom);
    smoothLine512(d, cur, prev, next, n, edgeLine, key);
    return true;
}

void wideCopyRows(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                  int32_t h) {
    // Masked 512-bit copies of these short rows measured slower than the
    // overlapping 256-bit blocks, so the copies stay in AVX2.
    copyRowsAvx2(d, yPitch, s, srcPitch, w, h);
}

void wideCopyColumns(uint16_t* d, int32_t xPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                     int32_t h) {
    copyColumnsAvx2(d, xPitch, s, srcPitch, w, h);
}

void wideTintColumns(uint16_t* d, int32_t xPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                     int32_t h, uint16_t colour, const uint16_t* destEnd) {
    tintColumnsAvx2(d, xPitch, s, srcPitch, w, h, colour, destEnd);
}

void wideSmoothRows(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                    int32_t h, uint16_t key) {
    if (widestBlitsReady())
        smoothRows512(d, yPitch, s, srcPitch, w, h, key);
    else
        smoothRowsAvx2(d, yPitch, s, srcPitch, w, h, key);
}

#else

bool wideBlitsReady() {
    return false;
}

void wideTintLine(uint16_t*, const uint16_t*, int32_t, uint16_t, int64_t, int64_t) {}

void wideTintRows(uint16_t*, int32_t, const uint16_t*, int32_t, int32_t, int32_t, uint16_t,
                  const uint16_t*, const uint16_t*) {}

bool wideSmoothLine(uint16_t*, const uint16_t*, const uint16_t*, const uint16_t*, int32_t, bool,
                    uint16_t, int64_t, int64_t) {
    return false;
}

void wideCopyRows(uint16_t*, int32_t, const uint16_t*, int32_t, int32_t, int32_t) {}

void wideCopyColumns(uint16_t*, int32_t, const uint16_t*, int32_t, int32_t, int32_t) {}

void wideTintColumns(uint16_t*, int32_t, const uint16_t*, int32_t, int32_t, int32_t, uint16_t,
                     const uint16_t*) {}

void wideSmoothRows(uint16_t*, int32_t, const uint16_t*, int32_t, int32_t, int32_t, uint16_t) {}

#endif
