// The blits: what they refuse by hand; clipping, keys, blending, smoothing and
// every layout and vector tier against the per-pixel rules written out below.
#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/blit_wide.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint16_t KEY = 0x8010;

struct SurfaceDeleter {
    void operator()(Surface* s) const { releaseSurface(s); }
};
typedef std::unique_ptr<Surface, SurfaceDeleter> SurfacePtr;

// The scalar blend (the clear screen's): from, toward, level, result.
TEST(BlendPixel, ThirtyTwoLevels) {
    const uint16_t cases[][4] = {{0x0000, 0xFFDF, 16, 0x7BEF}, {0x0000, 0xFFDF, 31, 0xF79E},
                                 {0xFFDF, 0x0000, 16, 0x7BEF}, {0x1234, 0x1234, 20, 0x1234},
                                 {0xABCD, 0x0000, 0, 0xABCD},  {0x0000, 0xF800, 8, 0x3800},
                                 {0xABCD, 0x0000, 32, 0x0000}};
    for (const auto& c : cases) {
        uint16_t pixel = c[0];
        STGapiBuffer b;
        b.cursor = &pixel;
        b.blendMode = 1;
        b.blendLevel = c[2];
        blendPixel(&b, c[1]);
        EXPECT_EQ(pixel, c[3]) << std::hex << c[0] << " toward " << c[1] << " at " << c[2];
    }
}

TEST(Blit, RefusalsAndScreenModes) {
    useGfxHost("qvga");
    std::vector<uint16_t> p(240 * 320);
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint16_t>(i + 1);
    SurfacePtr s(makeSurface(240, 320, p));
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 5, 5, nullptr, 0, 0), 0);
    Surface empty = {nullptr, 20, 20};
    EXPECT_EQ(blitKeyed(&backBuffer, 0, 0, 5, 5, &empty, KEY, 0, 0), 0);
    STGapiBuffer eightBit;
    eightBit.base = backBuffer.base;
    eightBit.props.cBPP = 8;
    EXPECT_EQ(blitOpaque(&eightBit, 0, 0, 5, 5, s.get(), 0, 0), 0);
    EXPECT_EQ(backScreen(), std::vector<uint16_t>(240 * 320, 0));
    // A translucent blit stores its level before it checks its arguments.
    EXPECT_EQ(blitTranslucent(&backBuffer, 0, 0, 0, 1, s.get(), 7, KEY, 0, 0), 0);
    EXPECT_EQ(backBuffer.blendLevel, 7);
    EXPECT_EQ(backBuffer.blendMode, 1u);

    // The screen modes' sizes and the blits clipped to them.
    setScreenMode(&backBuffer, SCREEN_MODE_RAW);
    EXPECT_EQ(screenWidth * 1000 + screenHeight, 240320);
    EXPECT_EQ(setScreenMode(&backBuffer, SCREEN_MODE_SQUARE), 1);
    blitOpaque(&backBuffer, 0, 0, 240, 320, s.get(), 0, 0);
    EXPECT_EQ(backPixel(0, 239), static_cast<uint16_t>(1 + 239 * 240));
    EXPECT_EQ(backPixel(0, 240), 0); // cut to the top 240 rows

    useGfxHost("qvga");
    EXPECT_EQ(setScreenMode(&backBuffer, SCREEN_MODE_SMALL), 1);
    EXPECT_EQ(screenWidth * 1000 + screenHeight, 176220);
    EXPECT_EQ(blitOpaque(&backBuffer, 200, 0, 10, 10, s.get(), 0, 0), 1);
    screenWidth = 240;
    screenHeight = 320;
    EXPECT_EQ(backScreen(), std::vector<uint16_t>(240 * 320, 0));
}

// The clipping and per-pixel rules written out plainly, to hold the blits' row walks against.
struct Reference {
    int width, height;
    std::vector<uint16_t> pixels;
    int32_t lastLevel = -1;
    int64_t lastX = -1, lastY = -1; // where a tinted or translucent blit leaves the cursor
};

enum RefKind { REF_OPAQUE, REF_KEYED, REF_SMOOTH, REF_TRANSLUCENT, REF_TINTED };

uint16_t refBlend(uint16_t d, uint16_t colour, uint32_t level) {
    auto spread = [](uint16_t p) { return (p | uint32_t{p} << 16) & 0x07E0F81Fu; };
    uint32_t a = spread(d), b = spread(colour);
    uint32_t r = (a + (((b - a) * level) >> 5)) & 0x07E0F81Fu;
    return static_cast<uint16_t>(r | r >> 16);
}

uint16_t refEdge(bool is565, uint16_t d, const uint16_t (&n)[4], uint16_t key) {
    if (!is565) return 0;
    auto channel = [](uint16_t p, int c) {
        return c == 0 ? (p >> 8) & 0xF8 : c == 1 ? (p >> 3) & 0xFC : (p & 31) << 3;
    };
    int sums[3];
    for (int c = 0; c < 3; ++c) {
        int k = 0, sum = 0;
        for (uint16_t p : n)
            if (p != key) {
                ++k;
                sum += channel(p, c);
            }
        sums[c] = ((5 - k) * channel(d, c) + sum) / 5;
    }
    return static_cast<uint16_t>((sums[0] >> 3) << 11 | (sums[1] & 0xF8) << 3 | (sums[2] >> 3));
}

struct RefArgs {
    RefKind kind;
    int64_t x, y, w, h, srcX, srcY;
    uint16_t key;
    int32_t level;
    uint16_t colour;
};

int refBlit(Reference* ref, bool is565, const Surface& s, RefArgs a) {
    auto leftTop = [&a] {
        if (a.x < 0) a.w += a.x, a.srcX -= a.x, a.x = 0;
        if (a.y < 0) a.h += a.y, a.srcY -= a.y, a.y = 0;
    };
    if (a.kind == REF_OPAQUE) a.key = NO_COLOUR_KEY;
    bool copyOrder = a.kind == REF_OPAQUE || a.kind == REF_KEYED;
    if (copyOrder) leftTop();
    if (a.w < 1 || a.h < 1 || a.srcX < 0 || a.srcY < 0) return 0;
    if (a.srcX + a.w > s.width) a.w = s.width - a.srcX;
    if (a.srcY + a.h > s.height) a.h = s.height - a.srcY;
    if (a.x > ref->width || a.y > ref->height) return 1;
    if (!copyOrder) leftTop();
    if (a.kind == REF_TINTED && (a.w < 0 || a.h < 0)) return 0;
    a.w = std::min<int64_t>(a.w, ref->width - a.x);
    a.h = std::min<int64_t>(a.h, ref->height - a.y);
    if (a.kind >= REF_TRANSLUCENT && a.w > 0 && a.h > 0)
        ref->lastX = a.x + a.w - 1, ref->lastY = a.y + a.h - 1;
    auto src = [&](int64_t i, int64_t j) { return s.pixels[(a.srcY + j) * s.width + a.srcX + i]; };
    for (int64_t j = 0; j < a.h; ++j)
        for (int64_t i = 0; i < a.w; ++i) {
            uint16_t& d = ref->pixels[(a.y + j) * ref->width + a.x + i];
            uint16_t v = src(i, j);
            bool keyed = a.key != NO_COLOUR_KEY && v == a.key;
            if (a.kind == REF_TINTED) {
                d = refBlend(d, a.colour, v & 31u);
                ref->lastLevel = v & 31;
            } else if (a.kind == REF_TRANSLUCENT) {
                if (!keyed) d = a.level < 0 || a.level > 31 ? v : refBlend(d, v, a.level);
            } else if (!keyed) {
                d = v;
            } else if (a.kind == REF_SMOOTH) {
                bool edgeI = i == 0 || i == a.w - 1, edgeJ = j == 0 || j == a.h - 1;
                if (edgeI && edgeJ) continue;
                uint16_t n[4] = {a.key, a.key, a.key, a.key};
                if (!edgeI) n[0] = src(i - 1, j), n[1] = src(i + 1, j);
                if (!edgeJ) n[2] = src(i, j - 1), n[3] = src(i, j + 1);
                d = refEdge(is565, d, n, a.key);
            }
        }
    return 1;
}

// The blit itself (the arguments are small enough for its 32 bits).
int runBlit(STGapiBuffer* b, const Surface* s, const RefArgs& a) {
    switch (a.kind) {
    case REF_OPAQUE:
        return blitOpaque(b, a.x, a.y, a.w, a.h, s, a.srcX, a.srcY);
    case REF_KEYED:
        return blitKeyed(b, a.x, a.y, a.w, a.h, s, a.key, a.srcX, a.srcY);
    case REF_SMOOTH:
        return blitKeyedSmooth(b, a.x, a.y, a.w, a.h, s, a.key, a.srcX, a.srcY);
    case REF_TRANSLUCENT:
        return blitTranslucent(b, a.x, a.y, a.w, a.h, s, a.level, a.key, a.srcX, a.srcY);
    default:
        return blitTinted(b, a.x, a.y, a.w, a.h, s, 0xC8, 0x64, 0x32, a.srcX, a.srcY);
    }
}

// The test's random numbers: 0 .. range-1 from a fixed seed.
struct Lcg {
    uint32_t state;
    int64_t operator()(uint32_t range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int64_t>((state >> 8) % range);
    }
};

// The rectangle's arguments; key (none one time in keyOdds) and level drawn from next.
RefArgs refArgs(RefKind kind, const int64_t (&rect)[6], Lcg& next, uint32_t keyOdds,
                const STGapiBuffer& b) {
    uint16_t key = next(keyOdds) == 0 ? NO_COLOUR_KEY : KEY;
    int32_t level = static_cast<int32_t>(next(35)) - 1;
    return RefArgs{kind,    rect[0], rect[1], rect[2], rect[3],
                   rect[4], rect[5], key,     level,   convertColour(b.props.ffFormat, 0x3264C8)};
}

// The blit on b and on the reference agree: result, pixels, cursor, tinted level and mode.
void checkBlit(STGapiBuffer* b, Reference* ref, const Surface& s, const RefArgs& a,
               const std::string& where) {
    ref->lastLevel = ref->lastX = -1;
    ASSERT_EQ(runBlit(b, &s, a), refBlit(ref, (b->props.ffFormat & kfDirect565) != 0, s, a))
        << where;
    if (a.kind == REF_TINTED && ref->lastLevel >= 0) {
        EXPECT_EQ(b->blendLevel, ref->lastLevel) << where;
        EXPECT_EQ(b->blendMode, 1u) << where;
    }
    if (ref->lastX >= 0) {
        EXPECT_EQ(b->cursor, b->base + ref->lastX * b->xPitch + ref->lastY * b->yPitch) << where;
    }
    ASSERT_EQ(backScreen(*b), ref->pixels) << where << " kind " << a.kind;
}

// 300 random pictures at random places, partly or wholly off the screen and the
// source; a third of their pixels are the key, in every third one nearly all.
void compareWithReference(STGapiBuffer* b, uint32_t seed) {
    Lcg next{seed};
    Reference ref{screenWidth, screenHeight, backScreen(*b)};
    for (int round = 0; round < 300; ++round) {
        int w = 1 + static_cast<int>(next(48)), h = 1 + static_cast<int>(next(36));
        std::vector<uint16_t> p(static_cast<size_t>(w * h));
        const uint32_t keyed = round % 3 == 0 ? 19 : 1, outOf = round % 3 == 0 ? 20 : 3;
        for (uint16_t& v : p) v = next(outOf) < keyed ? KEY : static_cast<uint16_t>(next(65536));
        SurfacePtr s(makeSurface(w, h, p));
        const int64_t rect[6] = {next(ref.width + 60) - 30,
                                 next(ref.height + 60) - 30,
                                 next(56) - 2,
                                 next(44) - 2,
                                 next(w + 6) - 2,
                                 next(h + 6) - 2};
        RefArgs a = refArgs(static_cast<RefKind>(round % 5), rect, next, 4, *b);
        ASSERT_NO_FATAL_FAILURE(checkBlit(b, &ref, *s, a, "round " + std::to_string(round)));
    }
}

// Random pixels; in some pictures whole rows of key or of level 0, in others mostly key.
std::vector<uint16_t> edgePixels(Lcg& next, int w, int h) {
    std::vector<uint16_t> p(static_cast<size_t>(w * h));
    const int mix = static_cast<int>(next(4));
    for (int j = 0; j < h; ++j) {
        const int64_t rowKind = mix == 0 ? next(4) : -1;
        for (int i = 0; i < w; ++i) {
            uint32_t kind = rowKind >= 0 ? static_cast<uint32_t>(rowKind == 3 ? 0 : rowKind)
                                         : static_cast<uint32_t>(next(mix == 1 ? 8 : 4));
            if (mix == 1 && kind >= 4) kind = 0;                   // mostly key
            const uint32_t r = static_cast<uint32_t>(next(65536)); // key, full, none or any
            const uint16_t v[4] = {KEY, static_cast<uint16_t>((r & 0xFFE0) | 31),
                                   static_cast<uint16_t>(r & 0xFFE0), static_cast<uint16_t>(r)};
            p[static_cast<size_t>(j * w + i)] = v[kind % 4];
        }
    }
    return p;
}

// The blits' three tiers: the portable walks, 256-bit and 512-bit vectors.
enum Tier { PORTABLE, AVX2, AVX512 };

// Chooses a tier for its lifetime; the defaults come back after it.
struct TierSwitch {
    explicit TierSwitch(Tier tier) {
        blitWideVectors = tier != PORTABLE;
        blitWidestVectors = tier == AVX512;
    }
    ~TierSwitch() { blitWideVectors = blitWidestVectors = true; }
};

// Pixels against an inaccessible page, so that a kernel reading past them faults at
// once (the address checker does not see masked vector loads).
struct GuardedPixels {
    GuardedPixels(size_t count, bool againstTheEnd)
        : page(static_cast<size_t>(sysconf(_SC_PAGESIZE))),
          bytes((count * sizeof(uint16_t) + page - 1) / page * page),
          memory(static_cast<char*>(
              mmap(nullptr, bytes + 2 * page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))) {
        EXPECT_EQ(mprotect(memory + page, bytes, PROT_READ | PROT_WRITE), 0);
        pixels = reinterpret_cast<uint16_t*>(
            memory + page + (againstTheEnd ? bytes - count * sizeof(uint16_t) : 0));
    }
    ~GuardedPixels() { munmap(memory, bytes + 2 * page); }
    const size_t page, bytes;
    char* const memory;
    uint16_t* pixels;
};

// Every width and height from 1 to 40 in every blit, a whole picture in each corner of
// the screen, the picture against a guard page.
void compareEveryLength(STGapiBuffer* display, bool againstTheEnd, uint32_t seed) {
    Lcg next{seed};
    Reference ref{screenWidth, screenHeight, backScreen(*display)};
    for (int w = 1; w <= 40; ++w)
        for (int corner = 0; corner < 4; ++corner)
            for (int kind = REF_OPAQUE; kind <= REF_TINTED; ++kind) {
                const int h = 1 + (w * 7 + corner * 11 + kind * 3) % 40;
                const std::vector<uint16_t> p = edgePixels(next, w, h);
                GuardedPixels picture(p.size(), againstTheEnd);
                std::copy(p.begin(), p.end(), picture.pixels);
                const Surface guarded{picture.pixels, w, h};
                const int64_t x = corner % 2 ? screenWidth - w : 0;
                const int64_t y = corner / 2 ? screenHeight - h : 0;
                RefArgs a =
                    refArgs(static_cast<RefKind>(kind), {x, y, w, h, 0, 0}, next, 5, *display);
                ASSERT_NO_FATAL_FAILURE(checkBlit(display, &ref, guarded, a,
                                                  std::to_string(w) + "x" + std::to_string(h) +
                                                      " corner " + std::to_string(corner)));
            }
}

// The layouts the blits walk: the devices' portrait, rotated and small ones,
// and a mirrored one (x runs right to left, so neither rows nor columns are
// adjacent pixels) in 5-6-5 and in 5-5-5, which smooths to 0.
struct Walk {
    const char* device;
    DWORD format; // the mirrored layout's; 0: the device's own layout
};
const Walk WALKS[] = {
    {"qvga", 0}, {"qvga-rotated", 0}, {"small", 0}, {"qvga", kfDirect565}, {"qvga", kfDirect555}};

// Each tier the processor runs, on every layout, the display against a guard page.
TEST(BlitWalks, EveryTierMatchesTheRulesOnEveryLayoutAndAtEveryWidth) {
    for (Tier tier : {PORTABLE, AVX2, AVX512}) {
        TierSwitch path(tier);
        if (tier != PORTABLE && // the processor lacks the tier's instructions
            !(tier == AVX2 ? wideBlitsReady() && !widestBlitsReady() : widestBlitsReady()))
            continue;
        for (const Walk& walk : WALKS)
            for (bool againstTheEnd : {true, false}) {
                SCOPED_TRACE(std::string(walk.device) + " tier " + std::to_string(tier) +
                             " format " + std::to_string(walk.format) +
                             (againstTheEnd ? " end" : " start"));
                useGfxHost(walk.device);
                STGapiBuffer display;
                display.props = backBuffer.props;
                display.xPitch = walk.format ? -1 : backBuffer.xPitch;
                display.yPitch = walk.format ? 240 : backBuffer.yPitch;
                display.minOffset = walk.format ? -239 : backBuffer.minOffset;
                display.maxOffset = walk.format ? 319 * 240 : backBuffer.maxOffset;
                if (walk.format) display.props.ffFormat = walk.format;
                const int64_t span = int64_t{display.maxOffset} - display.minOffset + 1;
                GuardedPixels block(static_cast<size_t>(span), againstTheEnd);
                display.base = block.pixels - display.minOffset;
                for (int64_t i = 0; i < span; ++i) block.pixels[i] = 0x39E7;
                if (againstTheEnd) compareWithReference(&display, 23 + walk.format);
                compareEveryLength(&display, againstTheEnd, 31);
                if (::testing::Test::HasFatalFailure()) return;
            }
    }
}

} // namespace
