// The five blits and their two per-pixel helpers.
//
// Clipping is done once per call, in 64 bits so that no sum of arguments can
// overflow; the walk then only steps pointers: by xPitch along a destination
// row and by one pixel along a source row.
#include "gfx/blit.h"

#include <algorithm>
#include <cstring>

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
};

bool badArguments(const STGapiBuffer* d, const Surface* s, const Rect& r) {
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
int finishClip(const STGapiBuffer* d, const Surface* s, Rect r, Walk* walk) {
    r.w = std::min<int64_t>(r.w, screenWidth - r.x);
    r.h = std::min<int64_t>(r.h, screenHeight - r.y);
    if (d->props.cBPP != 16) return 0;
    walk->w = walk->h = 0;
    if (r.w <= 0 || r.h <= 0) return GO_ON;
    const int64_t corners[4] = {offsetOf(d, r.x, r.y), offsetOf(d, r.x + r.w - 1, r.y),
                                offsetOf(d, r.x, r.y + r.h - 1),
                                offsetOf(d, r.x + r.w - 1, r.y + r.h - 1)};
    for (int64_t c : corners)
        if (c < d->minOffset || c > d->maxOffset) return 0;
    walk->dest = d->base + corners[0];
    walk->src = s->pixels + r.srcY * s->width + r.srcX;
    walk->w = static_cast<int32_t>(r.w);
    walk->h = static_cast<int32_t>(r.h);
    walk->xPitch = d->xPitch;
    walk->yPitch = d->yPitch;
    walk->srcPitch = s->width;
    return GO_ON;
}

// The order of the opaque and keyed copies: left and top first.
int clipLeftTopFirst(const STGapiBuffer* d, const Surface* s, Rect r, Walk* walk) {
    clipLeftTop(&r);
    if (badArguments(d, s, r)) return 0;
    clipToSource(s, &r);
    if (r.x > screenWidth || r.y > screenHeight) return 1;
    return finishClip(d, s, r, walk);
}

// The order of the other three: the source first.
int clipSourceFirst(const STGapiBuffer* d, const Surface* s, Rect r, bool tinted, Walk* walk) {
    if (badArguments(d, s, r)) return 0;
    clipToSource(s, &r);
    if (r.x > screenWidth || r.y > screenHeight) return 1;
    clipLeftTop(&r);
    if (tinted && (r.w < 0 || r.h < 0)) return 0;
    return finishClip(d, s, r, walk);
}

uint16_t* lastPixel(const Walk& k) {
    return k.dest + (k.w - 1) * k.xPitch + (k.h - 1) * k.yPitch;
}

void copyRows(const Walk& k) {
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        if (k.xPitch == 1) {
            std::memcpy(row, src, static_cast<size_t>(k.w) * sizeof(uint16_t));
            continue;
        }
        uint16_t* p = row;
        for (int32_t i = 0; i < k.w; ++i, p += k.xPitch) *p = src[i];
    }
}

void copyKeyedRows(const Walk& k, uint16_t key) {
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        uint16_t* p = row;
        for (int32_t i = 0; i < k.w; ++i, p += k.xPitch) {
            uint16_t v = src[i];
            if (v != key) *p = v;
        }
    }
}

// edgeAverage for a 5-6-5 destination. Each neighbour equal to the key counts
// as another share of d, so five shares are always summed; the per-channel
// divisions by five of the 8-bit scale come out as these 5- and 6-bit ones.
inline uint16_t average565(uint16_t d, uint16_t left, uint16_t right, uint16_t up, uint16_t down,
                           uint16_t key) {
    if (left == key && right == key && up == key && down == key) return d & 0xFFDF;
    const uint16_t shares[5] = {d, left == key ? d : left, right == key ? d : right,
                                up == key ? d : up, down == key ? d : down};
    uint32_t red = 0, green = 0, blue = 0;
    for (uint16_t p : shares) {
        red += p >> 11;
        green += (p >> 5) & 63;
        blue += p & 31;
    }
    return static_cast<uint16_t>((red / 5) << 11 | (green / 10) << 6 | (blue / 5));
}

void smoothKeyedRows(const Walk& k, uint16_t key, bool is565) {
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        const bool rowEdge = j == 0 || j == k.h - 1;
        uint16_t* p = row;
        for (int32_t i = 0; i < k.w; ++i, p += k.xPitch) {
            uint16_t v = src[i];
            if (v != key) {
                *p = v;
                continue;
            }
            const bool columnEdge = i == 0 || i == k.w - 1;
            if (rowEdge && columnEdge) continue;
            uint16_t left = columnEdge ? key : src[i - 1];
            uint16_t right = columnEdge ? key : src[i + 1];
            uint16_t up = rowEdge ? key : src[i - k.srcPitch];
            uint16_t down = rowEdge ? key : src[i + k.srcPitch];
            *p = is565 ? average565(*p, left, right, up, down, key) : 0;
        }
    }
}

template <bool KEYED> void blendRows(const Walk& k, uint32_t level, uint16_t key) {
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        uint16_t* p = row;
        for (int32_t i = 0; i < k.w; ++i, p += k.xPitch) {
            uint16_t v = src[i];
            if (!KEYED || v != key) *p = blend(*p, spread(v), level);
        }
    }
}

// Returns the level of the last pixel walked.
uint32_t tintRows(const Walk& k, uint32_t spreadColour) {
    uint16_t* row = k.dest;
    const uint16_t* src = k.src;
    uint32_t level = 0;
    for (int32_t j = 0; j < k.h; ++j, row += k.yPitch, src += k.srcPitch) {
        uint16_t* p = row;
        for (int32_t i = 0; i < k.w; ++i, p += k.xPitch) {
            level = src[i] & 31u;
            if (level) *p = blend(*p, spreadColour, level);
        }
    }
    return level;
}

} // namespace

int blitOpaque(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
               int32_t srcX, int32_t srcY) {
    return blitKeyed(d, x, y, w, h, s, NO_COLOUR_KEY, srcX, srcY);
}

int blitKeyed(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
              uint16_t key, int32_t srcX, int32_t srcY) {
    Walk walk;
    int result = clipLeftTopFirst(d, s, Rect{x, y, w, h, srcX, srcY}, &walk);
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
    int result = clipSourceFirst(d, s, Rect{x, y, w, h, srcX, srcY}, false, &walk);
    if (result != GO_ON) return result;
    if (key == NO_COLOUR_KEY)
        copyRows(walk);
    else
        smoothKeyedRows(walk, key, (d->props.ffFormat & kfDirect565) != 0);
    return 1;
}

int blitTranslucent(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
                    int32_t level, uint16_t key, int32_t srcX, int32_t srcY) {
    if (!d) return 0;
    d->blendLevel = level;
    d->blendMode = 1;
    Walk walk;
    int result = clipSourceFirst(d, s, Rect{x, y, w, h, srcX, srcY}, false, &walk);
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
            blendRows<false>(walk, static_cast<uint32_t>(level), key);
        else
            blendRows<true>(walk, static_cast<uint32_t>(level), key);
    }
    d->cursor = lastPixel(walk);
    return 1;
}

int blitTinted(STGapiBuffer* d, int32_t x, int32_t y, int32_t w, int32_t h, const Surface* s,
               int32_t r, int32_t g, int32_t b, int32_t srcX, int32_t srcY) {
    if (!d) return 0;
    uint32_t rgb = (r & 0xFFu) | (g & 0xFFu) << 8 | (b & 0xFFu) << 16;
    uint16_t colour = convertColour(d->props.ffFormat, rgb);
    Walk walk;
    int result = clipSourceFirst(d, s, Rect{x, y, w, h, srcX, srcY}, true, &walk);
    if (result != GO_ON) return result;
    if (walk.w <= 0 || walk.h <= 0) return 1;
    d->blendMode = 1;
    d->blendLevel = static_cast<int32_t>(tintRows(walk, spread(colour)));
    d->cursor = lastPixel(walk);
    return 1;
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
