// The five blits and their two per-pixel helpers.
//
// Clipping is done once per call, in 64 bits so that no sum of arguments can
// overflow; the walks below then only step pointers.
#include "gfx/blit.h"

#include "gfx/blit_wide.h"

#include <algorithm>
#include <cstring>

bool blitWideVectors = true;

namespace {

constexpr uint32_t SPREAD_MASK = 0x07E0F81F;
constexpr int GO_ON = -1;

inline uint32_t spread(uint16_t p) {
    return (p | uint32_t{p} << 16) & SPREAD_MASK;
}

// d + (colour - d) * level / 32 per channel, colour in spread form.
inline uint16_t blend(uint16_t d, uint32_t spreadColour, uint32_t level) {
    uint32_t a = spread(d);
    uint32_t t = ((spreadColour - a) * level) >> 5;
    uint32_t r = (a + t) & SPREAD_MASK;
    return static_cast<uint16_t>(r | r >> 16);
}

struct Rect {
    int64_t x, y, w, h, srcX, srcY;
};

// What the walk needs once clipping is done.
struct Walk {
    uint16_t* dest;
    const uint16_t* src;
    int32_t w, h;
    int32_t xPitch, yPitch, srcPitch;
    const uint16_t* destEnd; // one past the destination block
    const uint16_t* srcEnd;  // one past the source pixels
    int64_t srcRow;          // the source row of the first line
    bool wide;               // the wide line kernels may be used
};

bool badArguments(const STGapiBuffer* d, const Surface* s, const Rect& r) {
    // Mended: fidelity M6.
    return !d || !d->base || !s || !s->pixels || r.w < 1 || r.h < 1 || r.srcX < 0 || r.srcY < 0;
}

void clipToSource(const Surface* s, Rect* r) {
    if (r->srcX + r->w > s->width) r->w = s->width - r->srcX;
    if (r->srcY + r->h > s->height) r->h = s->height - r->srcY;
}

void clipLeftTop(Rect* r) {
    if (r->x < 0) {
        r->w += r->x;
        r->srcX -= r->x;
        r->x = 0;
    }
    if (r->y < 0) {
        r->h += r->y;
        r->srcY -= r->y;
        r->y = 0;
    }
}

int64_t offsetOf(const STGapiBuffer* d, int64_t x, int64_t y) {
    return x * d->xPitch + y * d->yPitch;
}

// Right and bottom clip, depth check, and the walk's start. A rectangle that
// would reach outside the buffer's span (a buffer laid out for a smaller
// screen than the logical one) is refused rather than written past.
int finishClip(const STGapiBuffer* d, const Surface* s, Rect* clipped, Walk* walk) {
    clipped->w = std::min<int64_t>(clipped->w, screenWidth - clipped->x);
    clipped->h = std::min<int64_t>(clipped->h, screenHeight - clipped->y);
    const Rect& r = *clipped;
    if (d->props.cBPP != 16) return 0;
    *walk = Walk{};
    if (r.w <= 0 || r.h <= 0) return GO_ON;
    const int64_t corners[4] = {offsetOf(d, r.x, r.y), offsetOf(d, r.x + r.w - 1, r.y),
                                offsetOf(d, r.x, r.y + r.h - 1),
                                offsetOf(d, r.x + r.w - 1, r.y + r.h - 1)};
    for (int64_t c : corners)
        // Mended: fidelity M5.
        if (c < d->minOffset || c > d->maxOffset) return 0;
    walk->dest = d->base + corners[0];
    walk->src = s->pixels + r.srcY * s->width + r.srcX;
    walk->w = static_cast<int32_t>(r.w);
    walk->h = static_cast<int32_t>(r.h);
    walk->xPitch = d->xPitch;
    walk->yPitch = d->yPitch;
    walk->srcPitch = s->width;
    walk->destEnd = d->base + d->maxOffset + 1;
    walk->srcEnd = s->pixels + int64_t{s->width} * s->height;
    walk->srcRow = r.srcY;
    walk->wide = wideBlitsReady();
    return GO_ON;
}

// The order of the opaque and keyed copies: left and top first.
int clipLeftTopFirst(const STGapiBuffer* d, const Surface* s, Rect* r, Walk* walk) {
    clipLeftTop(r);
    if (badArguments(d, s, *r)) return 0;
    clipToSource(s, r);
    if (r->x > screenWidth || r->y > screenHeight) return 1;
    return finishClip(d, s, r, walk);
}

// The order of the other three: the source first.
int clipSourceFirst(const STGapiBuffer* d, const Surface* s, Rect* r, bool tinted, Walk* walk) {
    if (badArguments(d, s, *r)) return 0;
    clipToSource(s, r);
    if (r->x > screenWidth || r->y > screenHeight) return 1;
    clipLeftTop(r);
    if (tinted && (r->w < 0 || r->h < 0)) return 0;
    return finishClip(d, s, r, walk);
}

uint16_t* lastPixel(const Walk& k) {
    return k.dest + (k.w - 1) * k.xPitch + (k.h - 1) * k.yPitch;
}

// d + (c - d) * level / 32 for one 5- or 6-bit channel, rounded down. The
// blend of the spread form comes out as exactly this in every channel: the
// product of each channel's difference stays clear of the next channel. The
// bias of 2048 keeps the product positive (none is below -63 x 31), so all of
// it fits in 16 unsigned bits.
inline uint16_t blendChannel(uint16_t d, uint16_t c, uint16_t level) {
    uint16_t scaled = static_cast<uint16_t>(static_cast<uint16_t>((c - d) * level) + 2048);
    return static_cast<uint16_t>(d + (scaled >> 5) - 64);
}

inline uint16_t blend565(uint16_t d, uint16_t c, uint16_t level) {
    uint16_t r = blendChannel(d >> 11, c >> 11, level);
    uint16_t g = blendChannel((d >> 5) & 63, (c >> 5) & 63, level);
    uint16_t b = blendChannel(d & 31, c & 31, level);
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

// A destination line whose pixels are not side by side.
struct Strided {
    uint16_t* p;
    int32_t pitch;
    uint16_t& operator[](int32_t i) const { return p[i * pitch]; }
};

// The walks. Every per-pixel loop runs over adjacent source pixels, and over
// adjacent destination pixels where the layout has them: along destination
// rows when xPitch is 1, down destination columns when yPitch is 1 (the
// source column is first gathered into a short line), and with a strided
// destination otherwise. The loops hold no branch that the compiler cannot
// turn into a select, so they vectorise.
constexpr int32_t LINE = 512;
// Room after a gathered line for the wide kernels' reads past its end.
constexpr int32_t LINE_PAD = 32;

bool byColumns(const Walk& k) {
    return k.xPitch != 1 && k.yPitch == 1 && k.h <= LINE;
}

// Sets each pixel i of a destination line of n to pixel(i, its old value).
// Adjacent pixels go in blocks of eight through a loop of fixed length, which
// the compiler turns into vector code without a tail loop: the last, partial
// block is done again as a full block from the saved old values, and only
// its new pixels are kept.
template <typename Pixel> inline void overLine(uint16_t* d, int32_t n, Pixel pixel) {
    constexpr int32_t B = 8;
    if (n < B) {
        for (int32_t i = 0; i < n; ++i) d[i] = pixel(i, d[i]);
        return;
    }
    uint16_t last[B], in[B], out[B];
    std::memcpy(last, d + n - B, sizeof last);
    int32_t done = 0;
    for (; done + B <= n; done += B)
        for (int32_t i = 0; i < B; ++i) d[done + i] = pixel(done + i, d[done + i]);
    if (done == n) return;
    const int32_t from = n - B;
    std::memcpy(in, d + from, sizeof in);
    for (int32_t i = 0; i < B; ++i) {
        uint16_t fresh = pixel(from + i, last[i]);
        out[i] = from + i >= done ? fresh : in[i];
    }
    std::memcpy(d + from, out, sizeof out);
}

template <typename Pixel> inline void overLine(Strided d, int32_t n, Pixel pixel) {
    for (int32_t i = 0; i < n; ++i) d[i] = pixel(i, d[i]);
}

inline uint16_t* offsetBy(uint16_t* d, int32_t n) {
    return d + n;
}
inline Strided offsetBy(Strided d, int32_t n) {
    return Strided{d.p + n * d.pitch, d.pitch};
}

// span(destination line, source line, n, pixels readable from the source
// line's start) for pixels that do not depend on their neighbours.
template <typename Span> void walkPixels(const Walk& k, Span span) {
    if (byColumns(k)) {
        // Four source columns are gathered at a time, from adjacent pixels.
        uint16_t lines[4][LINE + LINE_PAD];
        for (int32_t i = 0; i < k.w; i += 4) {
            const int32_t count = std::min(4, k.w - i);
            const uint16_t* s = k.src + i;
            if (count == 4) {
                for (int32_t j = 0; j < k.h; ++j, s += k.srcPitch) {
                    lines[0][j] = s[0];
                    lines[1][j] = s[1];
                    lines[2][j] = s[2];
                    lines[3][j] = s[3];
                }
            } else {
                for (int32_t c = 0; c < count; ++c)
                    for (int32_t j = 0; j < k.h; ++j) lines[c][j] = s[j * k.srcPitch + c];
            }
            for (int32_t c = 0; c < count; ++c)
                span(k.dest + (i + c) * k.xPitch, lines[c], k.h, int64_t{LINE + LINE_PAD});
        }
        return;
    }
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        if (k.xPitch == 1)
            span(row, src, k.w, k.srcEnd - src);
        else
            span(Strided{row, k.xPitch}, src, k.w, k.srcEnd - src);
    }
}

// A row of up to 64 pixels is copied inline in blocks of eight (the last
// block overlapping the one before it) rather than through a library call.
inline void copyLine(uint16_t* d, const uint16_t* s, int32_t n) {
    constexpr int32_t B = 8;
    if (n < B || n > 8 * B) {
        std::memcpy(d, s, static_cast<size_t>(n) * sizeof(uint16_t));
        return;
    }
    uint16_t block[B];
    for (int32_t i = 0; i + B < n; i += B) {
        std::memcpy(block, s + i, sizeof block);
        std::memcpy(d + i, block, sizeof block);
    }
    std::memcpy(block, s + n - B, sizeof block);
    std::memcpy(d + n - B, block, sizeof block);
}

void copyRows(const Walk& k) {
    if (k.wide && k.xPitch == 1 && k.w >= 8 && k.w <= 4 * WIDE_PIXELS) {
        wideCopyRows(k.dest, k.yPitch, k.src, k.srcPitch, k.w, k.h);
        return;
    }
    if (k.xPitch == 1) {
        uint16_t* row = k.dest;
        const uint16_t* src = k.src;
        for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch)
            copyLine(row, src, k.w);
        return;
    }
    if (k.wide && k.yPitch == 1 && k.w >= 8 && k.h >= 8) {
        wideCopyColumns(k.dest, k.xPitch, k.src, k.srcPitch, k.w, k.h);
        return;
    }
    if (byColumns(k)) {
        // Four destination columns at a time, from four adjacent source pixels.
        int32_t i = 0;
        for (; i + 4 <= k.w; i += 4) {
            uint16_t* c0 = k.dest + i * k.xPitch;
            uint16_t *c1 = c0 + k.xPitch, *c2 = c1 + k.xPitch, *c3 = c2 + k.xPitch;
            const uint16_t* s = k.src + i;
            for (int32_t j = 0; j < k.h; ++j, s += k.srcPitch) {
                c0[j] = s[0];
                c1[j] = s[1];
                c2[j] = s[2];
                c3[j] = s[3];
            }
        }
        for (; i < k.w; ++i) {
            uint16_t* column = k.dest + i * k.xPitch;
            const uint16_t* s = k.src + i;
            for (int32_t j = 0; j < k.h; ++j) column[j] = s[j * k.srcPitch];
        }
        return;
    }
    walkPixels(k, [](auto d, const uint16_t* s, int32_t n, int64_t) {
        for (int32_t i = 0; i < n; ++i) d[i] = s[i];
    });
}

void copyKeyedRows(const Walk& k, uint16_t key) {
    walkPixels(k, [key](auto d, const uint16_t* s, int32_t n, int64_t) {
        overLine(d, n, [=](int32_t i, uint16_t old) { return s[i] != key ? s[i] : old; });
    });
}

template <bool KEYED> void blendRows(const Walk& k, uint16_t level, uint16_t key) {
    walkPixels(k, [=](auto d, const uint16_t* s, int32_t n, int64_t) {
        overLine(d, n, [=](int32_t i, uint16_t old) {
            uint16_t blended = blend565(old, s[i], level);
            return !KEYED || s[i] != key ? blended : old;
        });
    });
}

inline bool wideTint(const Walk& k, uint16_t* d, const uint16_t* s, int32_t n, uint16_t colour,
                     int64_t srcRoom) {
    if (!k.wide) return false;
    wideTintLine(d, s, n, colour, k.destEnd - d, srcRoom);
    return true;
}
inline bool wideTint(const Walk&, Strided, const uint16_t*, int32_t, uint16_t, int64_t) {
    return false;
}

// Level 0 leaves a pixel as it is, so every pixel can go through the blend,
// and a line of the mask that is level 0 throughout (the blank rows above and
// below a glyph) can be passed over.
void tintRows(const Walk& k, uint16_t colour) {
    if (k.wide && k.xPitch == 1) {
        wideTintRows(k.dest, k.yPitch, k.src, k.srcPitch, k.w, k.h, colour, k.destEnd, k.srcEnd);
        return;
    }
    if (k.wide && byColumns(k) && k.w >= 8 && k.h >= 8 && k.h <= WIDE_MAX_LINE) {
        wideTintColumns(k.dest, k.xPitch, k.src, k.srcPitch, k.w, k.h, colour, k.destEnd);
        return;
    }
    walkPixels(k, [&k, colour](auto d, const uint16_t* s, int32_t n, int64_t srcRoom) {
        if (wideTint(k, d, s, n, colour, srcRoom)) return;
        uint16_t levels = 0;
        for (int32_t i = 0; i < n; ++i) levels |= s[i];
        if ((levels & 31) == 0) return;
        overLine(d, n, [=](int32_t i, uint16_t old) { return blend565(old, colour, s[i] & 31); });
    });
}

// Narrows a clipped walk to the source rows top up to bottom; its height
// becomes 0 when it has none of them.
void keepRows(Walk* k, int64_t top, int64_t bottom) {
    const int64_t from = std::max<int64_t>(top - k->srcRow, 0);
    const int64_t to = std::min<int64_t>(bottom - k->srcRow, k->h);
    if (to <= from) {
        k->h = 0;
        return;
    }
    k->dest += from * k->yPitch;
    k->src += from * k->srcPitch;
    k->h = static_cast<int32_t>(to - from);
}

// The fifths of edgeAverage on a 5-6-5 display. Each neighbour equal to the
// key counts as another share of d, so five shares are always summed; the
// per-channel divisions by five of the 8-bit scale come out as divisions of
// the 5- and 6-bit sums by 5 and 10, done here as x * 205 >> 10 and >> 11,
// which are exact for every sum of five channel values.
inline uint16_t average565(uint16_t d, uint16_t left, uint16_t right, uint16_t up, uint16_t down,
                           uint16_t key) {
    left = left == key ? d : left;
    right = right == key ? d : right;
    up = up == key ? d : up;
    down = down == key ? d : down;
    // Every sum and product below fits in 16 bits (5 x 63 x 205 < 65536).
    uint16_t red =
        static_cast<uint16_t>((d >> 11) + (left >> 11) + (right >> 11) + (up >> 11) + (down >> 11));
    uint16_t green =
        static_cast<uint16_t>(((d >> 5) & 63) + ((left >> 5) & 63) + ((right >> 5) & 63) +
                              ((up >> 5) & 63) + ((down >> 5) & 63));
    uint16_t blue =
        static_cast<uint16_t>((d & 31) + (left & 31) + (right & 31) + (up & 31) + (down & 31));
    red = static_cast<uint16_t>(red * 205);
    green = static_cast<uint16_t>(green * 205);
    blue = static_cast<uint16_t>(blue * 205);
    return static_cast<uint16_t>((red >> 10) << 11 | (green >> 11) << 6 | (blue >> 10));
}

// One line of the smoothed keyed copy: cur is the source line, prev and next
// the source lines beside it (read only when edgeLine is false). Along the
// line the neighbours are cur[i - 1] and cur[i + 1]. The smoothing treats
// the four neighbours alike, so a line may be a row (prev and next above and
// below) or a column (prev and next to the left and right): either way a
// pixel on the rectangle's border sees only its neighbours along the border,
// and a corner stays as it is.
template <bool EDGE_LINE, typename Dest>
void smoothInterior(Dest d, const uint16_t* cur, const uint16_t* prev, const uint16_t* next,
                    int32_t n, uint16_t key) {
    if (n < 3) return;
    overLine(offsetBy(d, 1), n - 2, [=](int32_t at, uint16_t old) {
        const int32_t i = at + 1;
        uint16_t across0 = EDGE_LINE ? key : prev[i];
        uint16_t across1 = EDGE_LINE ? key : next[i];
        uint16_t smoothed = average565(old, cur[i - 1], cur[i + 1], across0, across1, key);
        return cur[i] != key ? cur[i] : smoothed;
    });
}

bool allKey(const uint16_t* line, int32_t n, uint16_t key) {
    uint16_t differs = 0;
    for (int32_t i = 0; i < n; ++i) differs |= static_cast<uint16_t>(line[i] ^ key);
    return differs == 0;
}

// Room for the wide kernels: the pixels from d to the end of the block and
// those readable from the start of each source line.
struct Room {
    const Walk& walk;
    int64_t src;
};

inline bool wideSmooth(Room room, uint16_t* d, const uint16_t* cur, const uint16_t* prev,
                       const uint16_t* next, int32_t n, bool edgeLine, uint16_t key) {
    return room.walk.wide &&
           wideSmoothLine(d, cur, prev, next, n, edgeLine, key, room.walk.destEnd - d, room.src);
}
inline bool wideSmooth(Room, Strided, const uint16_t*, const uint16_t*, const uint16_t*, int32_t,
                       bool, uint16_t) {
    return false;
}

template <typename Dest>
void smoothLine(Dest d, const uint16_t* cur, const uint16_t* prev, const uint16_t* next, int32_t n,
                bool edgeLine, uint16_t key, Room room) {
    if (wideSmooth(room, d, cur, prev, next, n, edgeLine, key)) return;
    if (allKey(cur, n, key) && (edgeLine || (allKey(prev, n, key) && allKey(next, n, key)))) {
        // Nothing drawn on or beside the line: each pixel's own five shares
        // keep it, less the lowest green bit; the corners stay as they are.
        int32_t first = edgeLine ? 1 : 0, last = edgeLine ? n - 1 : n;
        for (int32_t i = first; i < last; ++i) d[i] = static_cast<uint16_t>(d[i] & 0xFFDF);
        return;
    }
    if (edgeLine)
        smoothInterior<true>(d, cur, prev, next, n, key);
    else
        smoothInterior<false>(d, cur, prev, next, n, key);
    for (int32_t i : {int32_t{0}, n - 1}) {
        if (cur[i] != key)
            d[i] = cur[i];
        else if (!edgeLine)
            d[i] = average565(d[i], key, key, prev[i], next[i], key);
        if (n == 1) break;
    }
}

// The largest rectangle, each way, whose columns smoothColumnsAsRows takes.
constexpr int32_t SMOOTH_TILE = 64;

// The smoothing is the same across as along the lines: a rectangle whose
// destination columns are lines of adjacent pixels smooths as the rows of
// its transpose, with the columns gathered into those rows first. That lets
// the wide kernels walk a tile of a rotated display in one go.
bool smoothColumnsAsRows(const Walk& k, uint16_t key) {
    if (!k.wide || k.w < 8 || k.w > SMOOTH_TILE || k.h < WIDE_PIXELS || k.h > SMOOTH_TILE)
        return false;
    // Source pixel (i, j) goes to row i, column j of the tile.
    uint16_t tile[SMOOTH_TILE * SMOOTH_TILE];
    wideCopyColumns(tile, k.h, k.src, k.srcPitch, k.w, k.h);
    wideSmoothRows(k.dest, k.xPitch, tile, k.h, k.h, k.w, key);
    return true;
}

void smoothKeyedRows565(const Walk& k, uint16_t key) {
    if (byColumns(k) && smoothColumnsAsRows(k, key)) return;
    if (byColumns(k)) {
        // The source column and the two beside it, gathered into lines; each
        // step on gathers only the next column.
        uint16_t lines[3][LINE + LINE_PAD];
        uint16_t *before = lines[0], *column = lines[1], *after = lines[2];
        auto gather = [&](int32_t i, uint16_t* line) {
            for (int32_t j = 0; j < k.h; ++j) line[j] = k.src[j * k.srcPitch + i];
        };
        gather(0, column);
        if (k.w > 1) gather(1, after);
        for (int32_t i = 0; i < k.w; ++i) {
            const bool edge = i == 0 || i == k.w - 1;
            if (i > 0) {
                uint16_t* spent = before;
                before = column;
                column = after;
                after = spent;
                if (i + 1 < k.w) gather(i + 1, after);
            }
            smoothLine(k.dest + i * k.xPitch, column, before, after, k.h, edge, key,
                       Room{k, LINE + LINE_PAD});
        }
        return;
    }
    if (k.wide && k.xPitch == 1 && k.w >= WIDE_PIXELS) {
        wideSmoothRows(k.dest, k.yPitch, k.src, k.srcPitch, k.w, k.h, key);
        return;
    }
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        const bool edge = j == 0 || j == k.h - 1;
        const uint16_t* above = edge ? src : src - k.srcPitch;
        const uint16_t* below = edge ? src : src + k.srcPitch;
        const Room room{k, k.srcEnd - below};
        if (k.xPitch == 1)
            smoothLine(row, src, above, below, k.w, edge, key, room);
        else
            smoothLine(Strided{row, k.xPitch}, src, above, below, k.w, edge, key, room);
    }
}

// Any other display format: left-out pixels next to the sprite become 0.
void smoothKeyedRowsOther(const Walk& k, uint16_t key) {
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        const bool edgeRow = j == 0 || j == k.h - 1;
        uint16_t* p = row;
        for (int32_t i = 0; i < k.w; ++i, p += k.xPitch) {
            if (src[i] != key)
                *p = src[i];
            else if (!(edgeRow && (i == 0 || i == k.w - 1)))
                *p = 0;
        }
    }
}

} // namespace

int blitOpaque(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
               int32_t srcX, int32_t srcY) {
    return blitKeyed(d, x, y, w, h, s, NO_COLOUR_KEY, srcX, srcY);
}

int blitKeyed(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
              uint16_t key, int32_t srcX, int32_t srcY) {
    Walk walk;
    Rect rect{x, y, w, h, srcX, srcY};
    int result = clipLeftTopFirst(d, s, &rect, &walk);
    if (result != GO_ON) return result;
    if (key == NO_COLOUR_KEY)
        copyRows(walk);
    else
        copyKeyedRows(walk, key);
    return 1;
}

int blitKeyedSmooth(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
                    uint16_t key, int32_t srcX, int32_t srcY) {
    Walk walk;
    Rect rect{x, y, w, h, srcX, srcY};
    int result = clipSourceFirst(d, s, &rect, false, &walk);
    if (result != GO_ON) return result;
    if (key == NO_COLOUR_KEY)
        copyRows(walk);
    else if (d->props.ffFormat & kfDirect565)
        smoothKeyedRows565(walk, key);
    else
        smoothKeyedRowsOther(walk, key);
    return 1;
}

int blitTranslucent(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
                    int32_t level, uint16_t key, int32_t srcX, int32_t srcY) {
    if (!d) return 0;
    d->blendLevel = level;
    d->blendMode = 1;
    Walk walk;
    Rect rect{x, y, w, h, srcX, srcY};
    int result = clipSourceFirst(d, s, &rect, false, &walk);
    if (result != GO_ON) return result;
    if (walk.w <= 0 || walk.h <= 0) return 1;
    if (level < 0 || level > 31) {
        if (key == NO_COLOUR_KEY)
            copyRows(walk);
        else
            copyKeyedRows(walk, key);
    } else if (level > 0) {
        // Level 0 leaves every pixel as it is, so it needs no walk.
        if (key == NO_COLOUR_KEY)
            blendRows<false>(walk, static_cast<uint16_t>(level), key);
        else
            blendRows<true>(walk, static_cast<uint16_t>(level), key);
    }
    d->cursor = lastPixel(walk);
    return 1;
}

int blitTinted(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
               int32_t r, int32_t g, int32_t b, int32_t srcX, int32_t srcY) {
    return blitTintedRows(d, x, y, w, h, s, r, g, b, srcX, srcY, 0, INT32_MAX);
}

namespace {

uint16_t tintColour(const STGapiBuffer* d, int32_t r, int32_t g, int32_t b) {
    uint32_t rgb = (r & 0xFFu) | (g & 0xFFu) << 8 | (b & 0xFFu) << 16;
    return convertColour(d->props.ffFormat, rgb);
}

// The tinted blit's work once the walk is clipped: the cursor and blendLevel
// of the whole rectangle, then the walk over its inked rows.
void tintClipped(STGapiBuffer* d, Walk* walk, uint16_t colour, int32_t inkTop, int32_t inkBottom) {
    d->blendMode = 1;
    d->blendLevel =
        static_cast<int32_t>(walk->src[(walk->h - 1) * walk->srcPitch + walk->w - 1] & 31u);
    d->cursor = lastPixel(*walk);
    keepRows(walk, inkTop, inkBottom);
    if (walk->h > 0) tintRows(*walk, colour);
}

// Whether every pixel of the logical screen lies inside the buffer's span,
// so that a rectangle inside the screen needs no check of its corners.
bool screenInsideSpan(const STGapiBuffer* d) {
    const int64_t right = screenWidth - 1, bottom = screenHeight - 1;
    for (int64_t c : {offsetOf(d, 0, 0), offsetOf(d, right, 0), offsetOf(d, 0, bottom),
                      offsetOf(d, right, bottom)})
        if (c < d->minOffset || c > d->maxOffset) return false;
    return true;
}

} // namespace

int blitTintedRows(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
                   int32_t r, int32_t g, int32_t b, int32_t srcX, int32_t srcY, int32_t inkTop,
                   int32_t inkBottom) {
    if (!d) return 0;
    const uint16_t colour = tintColour(d, r, g, b);
    Walk walk;
    Rect rect{x, y, w, h, srcX, srcY};
    int result = clipSourceFirst(d, s, &rect, true, &walk);
    if (result != GO_ON) return result;
    if (walk.w <= 0 || walk.h <= 0) return 1;
    tintClipped(d, &walk, colour, inkTop, inkBottom);
    return 1;
}

void blitTintedGlyphs(STGapiBuffer* d, const TintedGlyph* glyphs, int count, int32_t h,
                      const Surface* s, int32_t r, int32_t g, int32_t b) {
    const bool plain = d && d->base && s && s->pixels && d->props.cBPP == 16 && h >= 1 &&
                       screenWidth > 0 && screenHeight > 0 && screenInsideSpan(d);
    if (!plain) {
        for (int i = 0; i < count; ++i)
            blitTintedRows(d, glyphs[i].x, glyphs[i].y, glyphs[i].w, h, s, r, g, b, glyphs[i].srcX,
                           0, glyphs[i].inkTop, glyphs[i].inkBottom);
        return;
    }
    // A glyph inside the source and the screen comes through the clipping
    // unchanged but for its height, so it is walked at once; any other goes
    // the whole way.
    const uint16_t colour = tintColour(d, r, g, b);
    const int32_t rows = std::min(h, s->height);
    Walk walk{};
    walk.h = rows;
    walk.xPitch = d->xPitch;
    walk.yPitch = d->yPitch;
    walk.srcPitch = s->width;
    walk.destEnd = d->base + d->maxOffset + 1;
    walk.srcEnd = s->pixels + int64_t{s->width} * s->height;
    walk.wide = wideBlitsReady();
    for (int i = 0; i < count; ++i) {
        const TintedGlyph& q = glyphs[i];
        const bool inside = q.w >= 1 && q.srcX >= 0 && q.srcX <= s->width - q.w && q.x >= 0 &&
                            q.y >= 0 && q.x <= screenWidth - q.w && q.y <= screenHeight - rows;
        if (!inside) {
            blitTintedRows(d, q.x, q.y, q.w, h, s, r, g, b, q.srcX, 0, q.inkTop, q.inkBottom);
            continue;
        }
        Walk glyph = walk;
        glyph.dest = d->base + offsetOf(d, q.x, q.y);
        glyph.src = s->pixels + q.srcX;
        glyph.w = q.w;
        tintClipped(d, &glyph, colour, q.inkTop, q.inkBottom);
    }
}

void blendPixel(STGapiBuffer* buffer, uint16_t colour) {
    if (!buffer || !buffer->cursor) return;
    int32_t level = buffer->blendLevel;
    if (buffer->blendMode != 1 || level < 0 || level > 31) {
        *buffer->cursor = colour;
        return;
    }
    *buffer->cursor = blend(*buffer->cursor, spread(colour), static_cast<uint32_t>(level));
}

uint16_t edgeAverage(const STGapiBuffer* buffer, uint16_t d, uint16_t left, uint16_t right,
                     uint16_t up, uint16_t down, uint16_t key) {
    if (!buffer || !(buffer->props.ffFormat & kfDirect565)) return 0;
    return average565(d, left, right, up, down, key);
}
