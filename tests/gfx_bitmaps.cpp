// Bitmap resources into Surfaces: depths, palettes, row order and failures.
#include "gfx/assets.h"
#include "gfx/bitmap_load.h"
#include "gfx/gapi_buffer.h"
#include "platform/wince/bitmap.h"
#include "platform/gapi/device.h"
#include "platform/wince/resources.h"
#include "support/gfx_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int TEST_BITMAP = 900;

struct Colour {
    uint8_t r, g, b;
};

// A BMP file of the given depth. index(x, y) is the palette index (or, at
// 24 bits, the index into palette of the colour) of pixel (x, y), y = 0 the top.
template <typename Index>
std::vector<uint8_t> bmpFile(int w, int h, int bits, const std::vector<Colour>& palette,
                             Index index) {
    uint32_t colours = bits == 24 ? 0 : 1u << bits, offset = 14 + 40 + 4 * colours;
    uint32_t rowBytes = (static_cast<uint32_t>(w * bits) + 31) / 32 * 4, size = rowBytes * h;
    // The file header after "BM", then the info header (planes 1 and the depth
    // share a word), each word little-endian.
    std::vector<uint8_t> out = {'B', 'M'};
    const uint32_t W = static_cast<uint32_t>(w), H = static_cast<uint32_t>(h);
    for (uint32_t v : {offset + size, 0u, offset, 40u, W, H, 1u | static_cast<uint32_t>(bits) << 16,
                       0u, size, 3780u, 3780u, colours, 0u})
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    for (uint32_t i = 0; i < colours; ++i) {
        Colour c = i < palette.size() ? palette[i] : Colour{0, 0, 0};
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (int x = 0; x < w; ++x) {
            int i = index(x, y);
            if (bits == 24) {
                row[x * 3] = palette[i].b;
                row[x * 3 + 1] = palette[i].g;
                row[x * 3 + 2] = palette[i].r;
            } else {
                int bit = x * bits;
                row[bit / 8] |= static_cast<uint8_t>(i << (8 - bits - bit % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

class Bitmaps : public ::testing::Test {
  protected:
    void SetUp() override {
        useGfxHost("qvga");
        gdiBefore = liveGdiObjectCount();
    }
    void TearDown() override {
        clearRegisteredResources();
        deviceFailScreenDc(false);
        EXPECT_EQ(liveGdiObjectCount(), gdiBefore); // nothing left behind
    }
    void registerFile(const std::vector<uint8_t>& file) {
        stored = file;
        registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
    }
    // Registers the file and loads it as a Surface for backBuffer.
    Surface* load(const std::vector<uint8_t>& file) {
        registerFile(file);
        HBITMAP bitmap = LoadBitmapW(nullptr, TEST_BITMAP);
        EXPECT_NE(bitmap, nullptr);
        Surface* s = loadSurface(&backBuffer, bitmap);
        DeleteObject(bitmap);
        return s;
    }
    std::vector<uint8_t> stored;
    int gdiBefore = 0;
};

const std::vector<Colour> PALETTE = {{0, 0, 0},     {255, 255, 255}, {132, 0, 132},
                                     {128, 0, 128}, {255, 0, 0},     {0, 255, 0}};

TEST_F(Bitmaps, EveryDepthComesOutThroughItsColours) {
    auto index = [](int x, int y) { return (x + 2 * y) % 6; };
    for (int bits : {4, 8, 24}) {
        Surface* s = load(bmpFile(7, 5, bits, PALETTE, index));
        ASSERT_NE(s, nullptr);
        ASSERT_NE(s->pixels, nullptr) << bits;
        EXPECT_EQ(s->width, 7);
        EXPECT_EQ(s->height, 5);
        const uint16_t expected[6] = {0x0000, 0xFFDF, 0x8010, 0x8010, 0xF800, 0x07C0};
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(s->pixels[x + y * 7], expected[index(x, y)])
                    << bits << " bits at " << x << "," << y;
        releaseSurface(s);
    }
    Surface* mono = load(bmpFile(9, 3, 1, PALETTE, [](int x, int y) { return (x + y) % 2; }));
    ASSERT_NE(mono->pixels, nullptr);
    EXPECT_EQ(mono->pixels[0], 0x0000);
    EXPECT_EQ(mono->pixels[1], 0xFFDF);
    EXPECT_EQ(mono->pixels[9], 0xFFDF);
    releaseSurface(mono);
}

TEST_F(Bitmaps, FailuresGiveNoPixelsAndTouchNothingMissing) {
    EXPECT_EQ(loadSurface(&backBuffer, nullptr), nullptr);
    EXPECT_EQ(LoadBitmapW(nullptr, 12345), nullptr);
    std::vector<uint8_t> file = bmpFile(4, 4, 8, PALETTE, [](int, int) { return 1; });

    STGapiBuffer eightBit;
    eightBit.props.cBPP = 8;
    eightBit.props.ffFormat = kfDirect565;
    registerFile(file);
    HBITMAP bitmap = LoadBitmapW(nullptr, TEST_BITMAP);
    Surface* s = loadSurface(&eightBit, bitmap);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->pixels, nullptr);
    EXPECT_EQ(s->width, 4);
    releaseSurface(s);

    deviceFailScreenDc(true);
    ::testing::internal::CaptureStderr();
    s = loadSurface(&backBuffer, bitmap);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Unknown: DEBUGCHK failed in file STGapiBuffer at line 5189 \r\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->pixels, nullptr);
    EXPECT_EQ(s->height, 4);
    releaseSurface(s);
    DeleteObject(bitmap);

    std::vector<uint8_t> broken(file.begin(), file.begin() + 30);
    registerFile(broken);
    EXPECT_EQ(LoadBitmapW(nullptr, TEST_BITMAP), nullptr);
}

// The largest single request made through SDL's allocator while one of
// these is alive.
size_t largestSdlRequest = 0;
struct LargestSdlAllocation {
    static inline SDL_malloc_func m;
    static inline SDL_calloc_func c;
    static inline SDL_realloc_func r;
    static inline SDL_free_func f;
    static size_t note(size_t n) {
        largestSdlRequest = std::max(largestSdlRequest, n);
        return n;
    }
    LargestSdlAllocation() {
        SDL_GetMemoryFunctions(&m, &c, &r, &f);
        largestSdlRequest = 0;
        SDL_SetMemoryFunctions([](size_t n) { return m(note(n)); },
                               [](size_t k, size_t n) {
                                   note(k * n);
                                   return c(k, n);
                               },
                               [](void* p, size_t n) { return r(p, note(n)); }, f);
    }
    ~LargestSdlAllocation() { SDL_SetMemoryFunctions(m, c, r, f); }
};

// A file whose header is a plain 8-bit picture of w x h but which holds only
// the first rows' worth of pixel bytes.
std::vector<uint8_t> withClaimedSize(std::vector<uint8_t> file, int32_t w, int32_t h) {
    for (int i = 0; i < 4; ++i) {
        file[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * i));
        file[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * i));
    }
    return file;
}

TEST_F(Bitmaps, HugePicturesAreRefusedBeforeAnyAllocationAndTheLargestSideLoads) {
    const std::vector<uint8_t> small = bmpFile(8, 4, 8, PALETTE, [](int x, int) { return x % 6; });
    const int32_t claims[][2] = {{100000, 100000}, {16384, 16384},  {16385, 1},
                                 {1, 16385},       {16384, -16384}, {-1, 4}};
    for (const auto& claim : claims) {
        registerFile(withClaimedSize(small, claim[0], claim[1]));
        LargestSdlAllocation sdl;
        EXPECT_EQ(LoadBitmapW(nullptr, TEST_BITMAP), nullptr) << claim[0] << " x " << claim[1];
        EXPECT_EQ(loadPicture(TEST_BITMAP), nullptr) << claim[0] << " x " << claim[1];
        EXPECT_LT(largestSdlRequest, size_t{1} << 20) << claim[0] << " x " << claim[1];
    }

    // Pictures of the largest side still load.
    auto stripes = [](int x, int y) { return (x + y) / 100 % 6; };
    const int sizes[][2] = {{16384, 1}, {1, 16384}};
    for (const auto& size : sizes) {
        Surface* s = load(bmpFile(size[0], size[1], 24, PALETTE, stripes));
        ASSERT_NE(s, nullptr);
        ASSERT_NE(s->pixels, nullptr) << size[0] << " x " << size[1];
        EXPECT_EQ(s->width, size[0]);
        EXPECT_EQ(s->height, size[1]);
        const int last = size[0] * size[1] - 1;
        EXPECT_EQ(s->pixels[0], 0x0000);
        EXPECT_EQ(s->pixels[last], 0xFFDF); // the far end: palette index 163 % 6 = 1
        EXPECT_EQ(s->pixels[450], 0xF800);  // index 4
        releaseSurface(s);
    }

    // A real picture one pixel wider than the largest side.
    registerFile(bmpFile(16385, 1, 24, PALETTE, [](int, int) { return 1; }));
    EXPECT_EQ(LoadBitmapW(nullptr, TEST_BITMAP), nullptr);

    // The old core header gives its sizes in 16 bits: 65535 x 65535.
    std::vector<uint8_t> core = {'B', 'M', 0, 0, 0, 0,    0,    0,    0,    0, 32, 0,  0,
                                 0,   12,  0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0,  24, 0};
    core.resize(64, 0x55);
    registerFile(core);
    LargestSdlAllocation sdl;
    EXPECT_EQ(LoadBitmapW(nullptr, TEST_BITMAP), nullptr);
    EXPECT_LT(largestSdlRequest, size_t{1} << 20);
}

} // namespace
