// Whole game-like frames: drawing them allocates nothing, and every device
// layout shows the same picture for the same logical screen.
#include "bench/game_scene.h"
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "platform/gapi/device.h"
#include "shell/state.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <set>
#include <vector>

namespace {

// The global allocation operators below count while this is set.
bool countingAllocations = false;
long allocationCount = 0;

void* allocate(std::size_t size) {
    if (countingAllocations) ++allocationCount;
    return std::malloc(size ? size : 1);
}

void* allocateOrAbort(std::size_t size) {
    void* p = allocate(size);
    if (!p) std::abort();
    return p;
}

} // namespace

// Every form is replaced: under the address sanitizer a form left out comes
// from its runtime, not from these, and its blocks would be freed here.
void* operator new(std::size_t size) {
    return allocateOrAbort(size);
}
void* operator new[](std::size_t size) {
    return allocateOrAbort(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

// The display set up on the device as start-up sets it up, with a black
// blankBuffer, the font, the sprite key and the scene's pictures.
struct FrameHost {
    ScenePictures pictures = {};
    ScenePlan plan = {};

    void setUp(const char* device, int32_t screenMode = -1) {
        releaseScenePictures(&pictures);
        useGfxHost(device);
        if (screenMode >= 0) setScreenMode(&backBuffer, screenMode);
        for (int32_t i = 0; i <= blankBuffer.maxOffset - blankBuffer.minOffset; ++i)
            blankBuffer.block[i] = 0;
        loadFont();
        spriteKey = colourFromRgb(&backBuffer, 0x800080);
        menuPhase = 1.0f;
        makeScenePictures(&pictures);
    }
    ~FrameHost() { releaseScenePictures(&pictures); }
};

TEST(GameFrames, DrawingAllocatesNothing) {
    // The counter counts both kinds of new.
    countingAllocations = true;
    allocationCount = 0;
    delete new int(3);
    delete[] new (std::nothrow) int[4];
    countingAllocations = false;
    EXPECT_EQ(allocationCount, 2);
    FrameHost host;
    for (const char* device : {"qvga", "qvga-rotated", "small", "square", "raw"}) {
        SCOPED_TRACE(device);
        host.setUp(device);
        int before = gapiBeginDrawCount();
        allocationCount = 0;
        countingAllocations = true;
        for (int frame = 0; frame < 100; ++frame) drawSceneFrame(host.pictures, frame, &host.plan);
        countingAllocations = false;
        EXPECT_EQ(allocationCount, 0);
        // Every frame was presented (the raw frame buffer needs no Game API draw).
        EXPECT_EQ(gapiBeginDrawCount() - before, currentDevice()->rawBuffer ? 0 : 100);
    }
}

std::vector<uint16_t> shownScreen() {
    std::vector<uint16_t> shown;
    readDeviceScreen(&shown);
    return shown;
}

// The picture of frame on portrait memory with the given logical screen: the
// reference every device with that screen must show.
std::vector<uint16_t> referencePicture(FrameHost* host, int32_t screenMode, int frame) {
    host->setUp("qvga", screenMode);
    drawSceneFrame(host->pictures, frame, &host->plan);
    return backScreen();
}

TEST(GameFrames, EveryDeviceShowsTheSamePicture) {
    FrameHost host;
    const struct {
        const char* device;
        int32_t mode;
    } devices[] = {{"qvga", SCREEN_MODE_STANDARD},
                   {"qvga-rotated", SCREEN_MODE_STANDARD},
                   {"raw", SCREEN_MODE_STANDARD},
                   {"square", SCREEN_MODE_SQUARE},
                   {"small", SCREEN_MODE_SMALL}};
    for (int frame : {0, 57, 199}) {
        for (const auto& d : devices) {
            SCOPED_TRACE(std::string(d.device) + " frame " + std::to_string(frame));
            std::vector<uint16_t> expected = referencePicture(&host, d.mode, frame);
            // A real picture: mostly covered, with many colours.
            size_t lit = 0;
            for (uint16_t p : expected) lit += p != 0;
            EXPECT_GT(lit, expected.size() / 2);
            EXPECT_GT(std::set<uint16_t>(expected.begin(), expected.end()).size(), 500u);

            host.setUp(d.device);
            for (int f = 0; f <= frame; f += 50) drawSceneFrame(host.pictures, f, &host.plan);
            drawSceneFrame(host.pictures, frame, &host.plan);
            EXPECT_EQ(backScreen(), expected);
            ASSERT_EQ(deviceScreenWidth() * deviceScreenHeight(),
                      static_cast<int>(expected.size()));
            EXPECT_EQ(shownScreen(), expected);
        }
    }
}

} // namespace
