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

#include <string>
#include <vector>

namespace {

constexpr int TEST_BITMAP = 900;

struct Colour {
    uint8_t r, g, b;
};

void put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>* out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A BMP file of the given depth. index(x, y) is the palette index (or, at
// 24 bits, the index into palette of the colour) of pixel (x, y), y = 0 the top.
template <typename Index>
std::vector<uint8_t> bmpFile(int w, int h, int bits, const std::vector<Colour>& palette,
                             Index index) {
    int colours = bits == 24 ? 0 : 1 << bits;
    uint32_t rowBytes = (static_cast<uint32_t>(w * bits) + 31) / 32 * 4;
    uint32_t offset = 14 + 40 + 4 * colours;
    std::vector<uint8_t> out = {'B', 'M'};
    put32(&out, offset + rowBytes * h);
    put32(&out, 0);
    put32(&out, offset);
    put32(&out, 40);
    put32(&out, static_cast<uint32_t>(w));
    put32(&out, static_cast<uint32_t>(h));
    put16(&out, 1);
    put16(&out, static_cast<uint32_t>(bits));
    put32(&out, 0);
    put32(&out, rowBytes * h);
    put32(&out, 3780);
    put32(&out, 3780);
    put32(&out, static_cast<uint32_t>(colours));
    put32(&out, 0);
    for (int i = 0; i < colours; ++i) {
        Colour c = i < static_cast<int>(palette.size()) ? palette[i] : Colour{0, 0, 0};
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
    // Registers the file and loads it as a Surface for backBuffer.
    Surface* load(const std::vector<uint8_t>& file) {
        stored = file;
        registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
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

TEST_F(Bitmaps, DibRowsAreBottomUpAndPaddedToFourPixels) {
    // Only the top-left pixel is white.
    stored = bmpFile(157, 244, 8, PALETTE, [](int x, int y) { return x == 0 && y == 0; });
    registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
    HBITMAP bitmap = LoadBitmapW(nullptr, TEST_BITMAP);
    int32_t w = 0, h = 0;
    HBITMAP dib = nullptr;
    uint8_t* rows = bitmapToDib(bitmap, &w, &h, &dib);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(w, 157);
    EXPECT_EQ(h, 244);
    const uint8_t* top = rows + 243 * 480; // the last stored row, W4 = 160
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(top[3], 0);
    EXPECT_EQ(rows[0], 0);
    uint16_t* pixels = dibToPixels(&backBuffer, w, h, rows);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0xFFDF);
    EXPECT_EQ(pixels[1], 0);
    EXPECT_EQ(pixels[157], 0); // stride 157: (0, 1)
    delete[] pixels;
    DeleteObject(dib);
    DeleteObject(bitmap);

    Surface* one = load(bmpFile(1, 1, 24, PALETTE, [](int, int) { return 4; }));
    EXPECT_EQ(one->width, 1);
    EXPECT_EQ(one->pixels[0], 0xF800);
    releaseSurface(one);
}

TEST_F(Bitmaps, FailuresGiveNoPixelsAndTouchNothingMissing) {
    EXPECT_EQ(loadSurface(&backBuffer, nullptr), nullptr);
    EXPECT_EQ(LoadBitmapW(nullptr, 12345), nullptr);
    std::vector<uint8_t> file = bmpFile(4, 4, 8, PALETTE, [](int, int) { return 1; });

    STGapiBuffer eightBit;
    eightBit.props.cBPP = 8;
    eightBit.props.ffFormat = kfDirect565;
    stored = file;
    registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
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
    stored = broken;
    registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
    EXPECT_EQ(LoadBitmapW(nullptr, TEST_BITMAP), nullptr);
}

// The largest single request made through SDL's allocator while one of
// these is alive.
size_t largestSdlRequest = 0;
SDL_malloc_func realMalloc = nullptr;
SDL_calloc_func realCalloc = nullptr;
SDL_realloc_func realRealloc = nullptr;
SDL_free_func realFree = nullptr;

struct LargestSdlAllocation {
    static void* countedMalloc(size_t n) {
        largestSdlRequest = std::max(largestSdlRequest, n);
        return realMalloc(n);
    }
    static void* countedCalloc(size_t count, size_t n) {
        largestSdlRequest = std::max(largestSdlRequest, count * n);
        return realCalloc(count, n);
    }
    static void* countedRealloc(void* p, size_t n) {
        largestSdlRequest = std::max(largestSdlRequest, n);
        return realRealloc(p, n);
    }
    LargestSdlAllocation() {
        SDL_GetMemoryFunctions(&realMalloc, &realCalloc, &realRealloc, &realFree);
        largestSdlRequest = 0;
        SDL_SetMemoryFunctions(countedMalloc, countedCalloc, countedRealloc, realFree);
    }
    ~LargestSdlAllocation() {
        SDL_SetMemoryFunctions(realMalloc, realCalloc, realRealloc, realFree);
    }
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
        stored = withClaimedSize(small, claim[0], claim[1]);
        registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
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
    stored = bmpFile(16385, 1, 24, PALETTE, [](int, int) { return 1; });
    registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
    EXPECT_EQ(LoadBitmapW(nullptr, TEST_BITMAP), nullptr);

    // The old core header gives its sizes in 16 bits: 65535 x 65535.
    std::vector<uint8_t> core = {'B', 'M', 0, 0, 0, 0,    0,    0,    0,    0, 32, 0,  0,
                                 0,   12,  0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0,  24, 0};
    core.resize(64, 0x55);
    stored = core;
    registerResource("BITMAP", TEST_BITMAP, stored.data(), stored.size());
    LargestSdlAllocation sdl;
    EXPECT_EQ(LoadBitmapW(nullptr, TEST_BITMAP), nullptr);
    EXPECT_LT(largestSdlRequest, size_t{1} << 20);
}

} // namespace
