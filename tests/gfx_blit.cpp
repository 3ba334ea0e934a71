// The blits: clipping and bad arguments by hand; keys, blending, smoothing and
// every layout against the per-pixel rules written out plainly below.
#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/blit_wide.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint16_t KEY = 0x8010;

struct SurfaceDeleter {
    void operator()(Surface* s) const { releaseSurface(s); }
};
typedef std::unique_ptr<Surface, SurfaceDeleter> SurfacePtr;

// w x h pixels numbered 1, 2, 3, ... row by row.
SurfacePtr numbered(int w, int h) {
    std::vector<uint16_t> p(static_cast<size_t>(w * h));
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint16_t>(i + 1);
    return SurfacePtr(makeSurface(w, h, p));
}

class Blit : public ::testing::Test {
  protected:
    void SetUp() override { useGfxHost("qvga"); }
};

TEST_F(Blit, SourceAndScreenBoundsAndInvalidArguments) {
    SurfacePtr s = numbered(20, 20);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 5, 5, s.get(), 20, 0), 1); // beyond the source
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 0, 5, s.get(), 0, 0), 0);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 5, 5, nullptr, 0, 0), 0);
    EXPECT_EQ(blitOpaque(&backBuffer, 240, 0, 5, 5, s.get(), 0, 0), 1);
    EXPECT_EQ(blitOpaque(&backBuffer, 241, 0, 5, 5, s.get(), 0, 0), 1);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 321, 5, 5, s.get(), 0, 0), 1);
    EXPECT_EQ(blitKeyed(&backBuffer, 0, 0, 5, 5, s.get(), KEY, -1, 0), 0);
    EXPECT_EQ(blitTinted(&backBuffer, -30, 0, 20, 5, s.get(), 255, 255, 255, 0, 0), 0);
    EXPECT_EQ(backScreen(), std::vector<uint16_t>(240 * 320, 0));

    Surface empty = {nullptr, 20, 20};
    EXPECT_EQ(blitKeyed(&backBuffer, 0, 0, 5, 5, &empty, KEY, 0, 0), 0);
    // Right and bottom clip: a 20 x 20 picture at (230, 310) keeps 10 x 10.
    EXPECT_EQ(blitOpaque(&backBuffer, 230, 310, 20, 20, s.get(), 0, 0), 1);
    EXPECT_EQ(backPixel(239, 319), 10 + 9 * 20);
    // The left clip takes the later source columns.
    fillBackBuffer(0);
    EXPECT_EQ(blitOpaque(&backBuffer, -5, 0, 20, 1, s.get(), 0, 0), 1);
    EXPECT_EQ(backPixel(0, 0), 6);
    EXPECT_EQ(backPixel(14, 0), 20);
    EXPECT_EQ(backPixel(15, 0), 0);
    // The source clip: srcX 15 leaves 5 columns.
    fillBackBuffer(0);
    EXPECT_EQ(blitOpaque(&backBuffer, 0, 0, 20, 1, s.get(), 15, 0), 1);
    EXPECT_EQ(backPixel(4, 0), 20);
    EXPECT_EQ(backPixel(5, 0), 0);

    // A translucent blit stores its level before it checks its arguments.
    EXPECT_EQ(blitTranslucent(&backBuffer, 0, 0, 0, 1, s.get(), 7, KEY, 0, 0), 0);
    EXPECT_EQ(backBuffer.blendLevel, 7);
    EXPECT_EQ(backBuffer.blendMode, 1u);

    STGapiBuffer eightBit;
    eightBit.base = backBuffer.base;
    eightBit.props.cBPP = 8;
    EXPECT_EQ(blitOpaque(&eightBit, 0, 0, 5, 5, s.get(), 0, 0), 0);
}

// blendPixel blends with the scalar form the blits do not use (the clear
// screen only ever asks it for level 32): the blend itself, by hand.
void blendAt(uint16_t from, uint16_t toward, int32_t level, uint16_t expected) {
    uint16_t pixel = from;
    STGapiBuffer b;
    b.cursor = &pixel;
    b.blendMode = 1;
    b.blendLevel = level;
    blendPixel(&b, toward);
    EXPECT_EQ(pixel, expected) << std::hex << from << " toward " << toward << " at " << level;
}

TEST(BlendPixel, ThirtyTwoLevels) {
    blendAt(0x0000, 0xFFDF, 16, 0x7BEF);
    blendAt(0x0000, 0xFFDF, 31, 0xF79E);
    blendAt(0xFFDF, 0x0000, 16, 0x7BEF);
    blendAt(0x1234, 0x1234, 20, 0x1234);
    blendAt(0xABCD, 0x0000, 0, 0xABCD);
    blendAt(0x0000, 0xF800, 8, 0x3800);  // red alone: 31 * 8 / 32 = 7
    blendAt(0xABCD, 0x0000, 32, 0x0000); // beyond the levels: the colour itself
}

TEST(ScreenModes, SizesAndClipping) {
    useGfxHost("qvga");
    SurfacePtr s = numbered(240, 320);
    setScreenMode(&backBuffer, SCREEN_MODE_STANDARD);
    EXPECT_EQ(screenWidth, 240);
    EXPECT_EQ(screenHeight, 320);
    setScreenMode(&backBuffer, SCREEN_MODE_RAW);
    EXPECT_EQ(screenWidth, 240);
    EXPECT_EQ(screenHeight, 320);
    EXPECT_EQ(setScreenMode(&backBuffer, SCREEN_MODE_SQUARE), 1);
    EXPECT_EQ(screenHeight, 240);
    blitOpaque(&backBuffer, 0, 0, 240, 320, s.get(), 0, 0);
    EXPECT_EQ(backPixel(0, 239), static_cast<uint16_t>(1 + 239 * 240));
    EXPECT_EQ(backPixel(0, 240), 0); // cut to the top 240 rows

    useGfxHost("qvga");
    fillBackBuffer(0);
    EXPECT_EQ(setScreenMode(&backBuffer, SCREEN_MODE_SMALL), 1);
    EXPECT_EQ(screenWidth, 176);
    EXPECT_EQ(screenHeight, 220);
    EXPECT_EQ(blitOpaque(&backBuffer, 200, 0, 10, 10, s.get(), 0, 0), 1);
    screenWidth = 240;
    screenHeight = 320;
    EXPECT_EQ(backScreen(), std::vector<uint16_t>(240 * 320, 0));
}

// The clipping steps and per-pixel rules written out plainly, one pixel at a
// time on a logical picture, to hold the blits' row walks against.
struct Reference {
    int width, height;
    std::vector<uint16_t> pixels;
    int32_t lastLevel = -1;
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

int runBlit(STGapiBuffer* b, const Surface* s, const RefArgs& a) {
    int32_t x = static_cast<int32_t>(a.x), y = static_cast<int32_t>(a.y);
    int32_t w = static_cast<int32_t>(a.w), h = static_cast<int32_t>(a.h);
    int32_t sx = static_cast<int32_t>(a.srcX), sy = static_cast<int32_t>(a.srcY);
    switch (a.kind) {
    case REF_OPAQUE:
        return blitOpaque(b, x, y, w, h, s, sx, sy);
    case REF_KEYED:
        return blitKeyed(b, x, y, w, h, s, a.key, sx, sy);
    case REF_SMOOTH:
        return blitKeyedSmooth(b, x, y, w, h, s, a.key, sx, sy);
    case REF_TRANSLUCENT:
        return blitTranslucent(b, x, y, w, h, s, a.level, a.key, sx, sy);
    default:
        return blitTinted(b, x, y, w, h, s, 0xC8, 0x64, 0x32, sx, sy);
    }
}

std::vector<uint16_t> logicalPixels(const STGapiBuffer& b) {
    std::vector<uint16_t> out(static_cast<size_t>(screenWidth) * static_cast<size_t>(screenHeight));
    uint16_t* p = out.data();
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) *p++ = b.base[x * b.xPitch + y * b.yPitch];
    return out;
}

// The test's random numbers: 0 .. range-1 from a fixed seed.
struct Lcg {
    uint32_t state;
    int64_t operator()(uint32_t range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int64_t>((state >> 8) % range);
    }
};

// The rectangle's arguments, its key (none one time in keyOdds) and level
// drawn from next.
RefArgs refArgs(RefKind kind, const int64_t (&rect)[6], Lcg& next, uint32_t keyOdds,
                const STGapiBuffer& b) {
    uint16_t key = next(keyOdds) == 0 ? NO_COLOUR_KEY : KEY;
    int32_t level = static_cast<int32_t>(next(35)) - 1;
    return RefArgs{kind,    rect[0], rect[1], rect[2], rect[3],
                   rect[4], rect[5], key,     level,   convertColour(b.props.ffFormat, 0x3264C8)};
}

// Runs the blit on b and on the reference: the results, the pixels and a
// tinted blit's last level and mode must agree.
void checkBlit(STGapiBuffer* b, Reference* ref, const Surface& s, const RefArgs& a,
               const std::string& where) {
    ref->lastLevel = -1;
    ASSERT_EQ(runBlit(b, &s, a), refBlit(ref, (b->props.ffFormat & kfDirect565) != 0, s, a))
        << where;
    if (a.kind == REF_TINTED && ref->lastLevel >= 0) {
        EXPECT_EQ(b->blendLevel, ref->lastLevel) << where;
        EXPECT_EQ(b->blendMode, 1u) << where;
    }
    ASSERT_EQ(logicalPixels(*b), ref->pixels) << where << " kind " << a.kind;
}

// Random pictures blitted at random places,
// partly or wholly off the screen and the source, on a destination; after
// every blit the results and the picture must be the reference's.
void compareWithReference(STGapiBuffer* b, uint32_t seed) {
    Lcg next{seed};
    Reference ref{screenWidth, screenHeight, logicalPixels(*b)};
    for (int round = 0; round < 300; ++round) {
        int w = 1 + static_cast<int>(next(48)), h = 1 + static_cast<int>(next(36));
        std::vector<uint16_t> p(static_cast<size_t>(w * h));
        // A third of the pixels are the key; in every third picture all but
        // one in twenty are, so that whole lines of it occur.
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

// The portrait, rotated and small layouts are walked on every tier below. A
// mirrored layout (x runs right to left) walks neither rows nor columns of
// adjacent pixels; a 5-5-5 one smooths to 0.
TEST(BlitWalks, MatchThePlainPerPixelRulesOnAMirroredLayout) {
    useGfxHost("qvga");
    for (DWORD format : {DWORD{kfDirect565}, DWORD{kfDirect555}}) {
        std::vector<uint16_t> memory(240 * 320, 0x1234);
        STGapiBuffer mirrored;
        mirrored.base = memory.data() + 239;
        mirrored.xPitch = -1;
        mirrored.yPitch = 240;
        mirrored.minOffset = -239;
        mirrored.maxOffset = 319 * 240;
        mirrored.props = backBuffer.props;
        mirrored.props.ffFormat = format;
        compareWithReference(&mirrored, 11 + format);
    }
}

TEST(BlitWalks, BlendsEveryPixelPairLikeTheSpreadForm) {
    // The tinted blit blends each channel on its own; every destination value
    // at every level against a few colours must give blendPixel's result.
    useGfxHost("qvga");
    std::vector<uint16_t> levels(32);
    for (int l = 0; l < 32; ++l) levels[l] = static_cast<uint16_t>(l);
    SurfacePtr mask(makeSurface(32, 1, levels));
    for (uint16_t colour :
         {uint16_t{0x0000}, uint16_t{0xFFFF}, uint16_t{0x8010}, uint16_t{0x07E0}}) {
        for (uint32_t d = 0; d < 65536; d += 7) {
            for (int l = 0; l < 32; ++l) backBuffer.base[l] = static_cast<uint16_t>(d);
            int r = (colour >> 8) & 0xF8, g = (colour >> 3) & 0xFC, b = (colour << 3) & 0xF8;
            blitTinted(&backBuffer, 0, 0, 32, 1, mask.get(), r, g, b, 0, 0);
            uint16_t converted =
                convertColour(kfDirect565, static_cast<uint32_t>(r | g << 8 | b << 16));
            for (int l = 0; l < 32; ++l)
                ASSERT_EQ(backBuffer.base[l], refBlend(static_cast<uint16_t>(d), converted, l))
                    << std::hex << d << " " << colour << " level " << std::dec << l;
        }
    }
}

} // namespace

// The wide-vector line kernels and the portable walks, each against the plain
// rules: the random rectangles above, and every width from 1 to 40 (around
// the vector sizes) at the very end of the destination block and of the
// source picture (where a short line has no room after it), with level 0 and
// 31 coverage and whole lines of the key.
namespace {
namespace wide {

uint16_t randomPixel(uint32_t kind, uint32_t r) {
    switch (kind % 4) {
    case 0:
        return KEY;
    case 1:
        return static_cast<uint16_t>((r & 0xFFE0) | 31); // full coverage
    case 2:
        return static_cast<uint16_t>(r & 0xFFE0); // no coverage
    default:
        return static_cast<uint16_t>(r);
    }
}

// A w x h picture of random pixels: in some, whole rows are the key or level
// 0 all through, in others most pixels are the key.
SurfacePtr edgePicture(Lcg& next, int w, int h) {
    std::vector<uint16_t> p(static_cast<size_t>(w * h));
    const int mix = static_cast<int>(next(4));
    for (int j = 0; j < h; ++j) {
        const int64_t rowKind = mix == 0 ? next(4) : -1;
        for (int i = 0; i < w; ++i) {
            uint32_t kind = rowKind >= 0 ? static_cast<uint32_t>(rowKind == 3 ? 0 : rowKind)
                                         : static_cast<uint32_t>(next(mix == 1 ? 8 : 4));
            if (mix == 1 && kind >= 4) kind = 0; // mostly key
            p[static_cast<size_t>(j * w + i)] =
                randomPixel(kind, static_cast<uint32_t>(next(65536)));
        }
    }
    return SurfacePtr(makeSurface(w, h, p));
}

// The three ways the blits may run: the portable walks, the wide kernels in
// 256-bit vectors and in 512-bit vectors.
enum Tier { PORTABLE, AVX2, AVX512 };

const char* tierName(Tier tier) {
    return tier == PORTABLE ? "portable" : tier == AVX2 ? "avx2" : "avx512";
}

// Chooses a tier for its lifetime; the defaults come back after it.
struct TierSwitch {
    explicit TierSwitch(Tier tier) {
        blitWideVectors = tier != PORTABLE;
        blitWidestVectors = tier == AVX512;
    }
    ~TierSwitch() { blitWideVectors = blitWidestVectors = true; }
};

// Whether the blits really run on the tier once it is chosen: the processor
// may lack the instructions.
bool tierRuns(Tier tier) {
    TierSwitch path(tier);
    return tier == PORTABLE ||
           (tier == AVX2 ? wideBlitsReady() && !widestBlitsReady() : widestBlitsReady());
}

// Pixels with an inaccessible page on either side, placed against one of
// them: a kernel that reads or writes past the pixels it was given faults at
// once. (The address checker does not see masked vector loads, so this is
// what holds them to their lines.)
class GuardedPixels {
  public:
    GuardedPixels(size_t count, bool againstTheEnd) {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        bytes_ = (count * sizeof(uint16_t) + page_ - 1) / page_ * page_;
        void* m = mmap(nullptr, bytes_ + 2 * page_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(m, MAP_FAILED);
        memory_ = static_cast<char*>(m);
        EXPECT_EQ(mprotect(memory_ + page_, bytes_, PROT_READ | PROT_WRITE), 0);
        char* first =
            againstTheEnd ? memory_ + page_ + bytes_ - count * sizeof(uint16_t) : memory_ + page_;
        pixels_ = reinterpret_cast<uint16_t*>(first);
    }
    ~GuardedPixels() { munmap(memory_, bytes_ + 2 * page_); }
    GuardedPixels(const GuardedPixels&) = delete;
    GuardedPixels& operator=(const GuardedPixels&) = delete;
    uint16_t* pixels() const { return pixels_; }

  private:
    size_t page_ = 0, bytes_ = 0;
    char* memory_ = nullptr;
    uint16_t* pixels_ = nullptr;
};

// Every line length from 1 to 40 in every blit, the rectangle taking a whole
// picture of its size and put in each corner of the screen. The display
// block and each picture lie against a guard page, after them or before
// them, so the first and last pixels of both are among those drawn and read.
// The heights run through 1 to 40 as well: they are the line lengths of the
// rotated layout's columns.
void compareEveryLength(const STGapiBuffer& layout, bool againstTheEnd, uint32_t seed) {
    const int64_t span = int64_t{layout.maxOffset} - layout.minOffset + 1;
    GuardedPixels block(static_cast<size_t>(span), againstTheEnd);
    STGapiBuffer display;
    display.base = block.pixels() - layout.minOffset;
    display.xPitch = layout.xPitch;
    display.yPitch = layout.yPitch;
    display.minOffset = layout.minOffset;
    display.maxOffset = layout.maxOffset;
    display.props = layout.props;
    for (int64_t i = 0; i < span; ++i) block.pixels()[i] = 0x39E7;
    Lcg next{seed};
    Reference ref{screenWidth, screenHeight, logicalPixels(display)};
    for (int w = 1; w <= 40; ++w)
        for (int corner = 0; corner < 4; ++corner)
            for (int kind = REF_OPAQUE; kind <= REF_TINTED; ++kind) {
                const int h = 1 + (w * 7 + corner * 11 + kind * 3) % 40;
                SurfacePtr s = edgePicture(next, w, h);
                const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
                GuardedPixels picture(count, againstTheEnd);
                std::memcpy(picture.pixels(), s->pixels, count * sizeof(uint16_t));
                const Surface guarded{picture.pixels(), w, h};
                const int64_t x = corner % 2 ? screenWidth - w : 0;
                const int64_t y = corner / 2 ? screenHeight - h : 0;
                RefArgs a =
                    refArgs(static_cast<RefKind>(kind), {x, y, w, h, 0, 0}, next, 5, display);
                ASSERT_NO_FATAL_FAILURE(checkBlit(&display, &ref, guarded, a,
                                                  std::to_string(w) + "x" + std::to_string(h) +
                                                      " corner " + std::to_string(corner)));
            }
}

// The comparisons of one tier on the three layouts.
void compareTier(Tier tier) {
    TierSwitch path(tier);
    for (const char* device : {"qvga", "qvga-rotated", "small"}) {
        SCOPED_TRACE(std::string(device) + " " + tierName(tier));
        useGfxHost(device);
        fillBackBuffer(0x39E7);
        compareWithReference(&backBuffer, 23);
        for (bool againstTheEnd : {true, false}) {
            SCOPED_TRACE(againstTheEnd ? "against the end" : "against the start");
            compareEveryLength(backBuffer, againstTheEnd, 31);
        }
    }
}

// An all-key picture smoothed into the screen's bottom right corner: its last
// row is an edge line whose interior ends one pixel before the end of the
// display memory, and 16 or 17 wide it is shorter than a vector from its
// second pixel on.
void smoothKeyIntoTheLastCorner(Tier tier) {
    TierSwitch path(tier);
    for (int32_t w : {15, 16, 17, 18, 31, 32, 33}) {
        SCOPED_TRACE(std::to_string(w) + " " + tierName(tier));
        useGfxHost("qvga");
        fillBackBuffer(0xFFFF);
        SurfacePtr s(makeSurface(w, 3, std::vector<uint16_t>(static_cast<size_t>(w) * 3, KEY)));
        EXPECT_EQ(blitKeyedSmooth(&backBuffer, 240 - w, 317, w, 3, s.get(), KEY, 0, 0), 1);
        std::vector<uint16_t> after = logicalPixels(backBuffer);
        // Only the corners of the edge rows keep their lowest green bit.
        for (int32_t y = 0; y < 320; ++y)
            for (int32_t x = 0; x < 240; ++x) {
                bool inside = y >= 317 && x >= 240 - w;
                bool corner = (y == 317 || y == 319) && (x == 240 - w || x == 239);
                EXPECT_EQ(after[static_cast<size_t>(y) * 240 + x],
                          inside && !corner ? 0xFFDF : 0xFFFF)
                    << x << "," << y;
            }
    }
}

} // namespace wide
} // namespace

// Every tier the processor runs (without AVX2 or AVX-512 the switch changes
// nothing), on the three layouts, against the rules.
TEST(BlitWalks, EveryTierMatchesTheRulesAtEveryWidth) {
    for (wide::Tier tier : {wide::PORTABLE, wide::AVX2, wide::AVX512})
        if (wide::tierRuns(tier)) wide::compareTier(tier);
}

TEST(BlitWalks, EveryTierLeavesTheSameCursor) {
    std::vector<uint16_t> p(17 * 5);
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint16_t>(i * 0x0421 + 3);
    SurfacePtr s(makeSurface(17, 5, p));
    for (const char* device : {"qvga", "qvga-rotated"}) {
        SCOPED_TRACE(device);
        for (wide::Tier tier : {wide::PORTABLE, wide::AVX2, wide::AVX512}) {
            SCOPED_TRACE(wide::tierName(tier));
            wide::TierSwitch path(tier);
            useGfxHost(device);
            blitTinted(&backBuffer, 230, 317, 17, 5, s.get(), 255, 255, 255, 0, 0);
            // The cursor is the last pixel drawn: the bottom right one kept.
            EXPECT_EQ(backBuffer.cursor,
                      backBuffer.base + 239 * backBuffer.xPitch + 319 * backBuffer.yPitch);
            EXPECT_EQ(backBuffer.blendLevel, p[2 * 17 + 9] & 31);
            blitTranslucent(&backBuffer, 0, 0, 9, 2, s.get(), 5, KEY, 0, 0);
            EXPECT_EQ(backBuffer.cursor,
                      backBuffer.base + 8 * backBuffer.xPitch + 1 * backBuffer.yPitch);
        }
    }
}

TEST(BlitWalks, SmoothedKeyAtTheVeryEndOfTheScreenStaysInside) {
    for (wide::Tier tier : {wide::PORTABLE, wide::AVX2, wide::AVX512})
        if (wide::tierRuns(tier)) wide::smoothKeyIntoTheLastCorner(tier);
}
