// Drawing whole game-like frames allocates nothing, on every device layout.
#include "bench/game_scene.h"
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "platform/gapi/device.h"
#include "shell/state.h"
#include "support/allocations.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <new>

TEST(GameFrames, DrawingAllocatesNothing) {
    // The counter counts both kinds of new.
    long long before = allocationsMade();
    int* volatile single = new int(3);
    int* volatile array = new (std::nothrow) int[4];
    delete single;
    delete[] array;
    EXPECT_EQ(allocationsMade() - before, 2);
    ScenePictures pictures = {};
    ScenePlan plan = {};
    for (const char* device : {"qvga", "qvga-rotated", "small", "square", "raw"}) {
        SCOPED_TRACE(device);
        releaseScenePictures(&pictures);
        useGfxHost(device);
        loadFont();
        spriteKey = colourFromRgb(&backBuffer, 0x800080);
        menuPhase = 1.0f;
        makeScenePictures(&pictures);
        int presented = gapiBeginDrawCount();
        before = allocationsMade();
        for (int frame = 0; frame < 100; ++frame) drawSceneFrame(pictures, frame, &plan);
        EXPECT_EQ(allocationsMade() - before, 0);
        // Every frame was presented (the raw frame buffer needs no Game API draw).
        EXPECT_EQ(gapiBeginDrawCount() - presented, currentDevice()->rawBuffer ? 0 : 100);
    }
    releaseScenePictures(&pictures);
}
