// Bitmap resources into Surfaces: depths, palettes, row order and failures.
#include "gfx/assets.h"
#include "gfx/bitmap_load.h"
#include "gfx/gapi_buffer.h"
#include "platform/wince/bitmap.h"
#include "platform/gapi/device.h"
#include "platform/wince/resources.h"
#include "support/gfx_host.h"
#include "tools/bmp_writer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int TEST_BITMAP = 900;

// Pixel (x, y) of a picture is palette[index(x, y)], y = 0 the top.
template <typename Index> struct Indexed {
    const std::vector<bmp::Rgb>* palette;
    Index at;
    uint32_t index(int x, int y) const { return static_cast<uint32_t>(at(x, y)); }
    bmp::Rgb colour(int x, int y) const { return (*palette)[at(x, y)]; }
};
template <typename Index>
std::vector<uint8_t> bmpFile(int w, int h, int bits, const std::vector<bmp::Rgb>& palette,
                             Index index) {
    return bmp::encode(w, h, bits, palette, Indexed<Index>{&palette, index});
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
        HBITMAP bitmap = LoadBitmapW(nullptr, TEST_BITMAP); // none: no Surface
        Surface* s = loadSurface(&backBuffer, bitmap);
        DeleteObject(bitmap);
        return s;
    }
    std::vector<uint8_t> stored;
    int gdiBefore = 0;
};

const std::vector<bmp::Rgb> PALETTE = {{0, 0, 0},     {255, 255, 255}, {132, 0, 132},
                                       {128, 0, 128}, {255, 0, 0},     {0, 255, 0}};

TEST_F(Bitmaps, EveryDepthComesOutThroughItsColours) {
    const uint16_t expected[6] = {0x0000, 0xFFDF, 0x8010, 0x8010, 0xF800, 0x07C0};
    for (int bits : {1, 4, 8, 24}) { // nine pixels: every depth's rows are padded
        auto index = [bits](int x, int y) { return (x + 2 * y) % (bits == 1 ? 2 : 6); };
        Surface* s = load(bmpFile(9, 5, bits, PALETTE, index));
        ASSERT_TRUE(s && s->pixels) << bits;
        EXPECT_EQ(s->width, 9);
        EXPECT_EQ(s->height, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 9; ++x)
                ASSERT_EQ(s->pixels[x + y * 9], expected[index(x, y)])
                    << bits << " bits at " << x << "," << y;
        releaseSurface(s);
    }
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

TEST_F(Bitmaps, HugePicturesAreRefusedBeforeAnyAllocationAndTheLargestSideLoads) {
    const std::vector<uint8_t> small = bmpFile(8, 4, 8, PALETTE, [](int x, int) { return x % 6; });
    const int32_t claims[][2] = {{100000, 100000}, {16384, 16384},  {16385, 1},
                                 {1, 16385},       {16384, -16384}, {-1, 4}};
    for (const auto& claim : claims) {
        std::vector<uint8_t> file = small; // claims the size, holds four rows
        for (int i = 0; i < 4; ++i) {
            file[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(claim[0]) >> (8 * i));
            file[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(claim[1]) >> (8 * i));
        }
        registerFile(file);
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
        ASSERT_TRUE(s && s->pixels) << size[0] << " x " << size[1];
        EXPECT_EQ(s->width, size[0]);
        EXPECT_EQ(s->height, size[1]);
        EXPECT_EQ(s->pixels[450], 0xF800); // palette index 4; the far end's is 163 % 6 = 1
        EXPECT_EQ(s->pixels[size[0] * size[1] - 1], 0xFFDF);
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
