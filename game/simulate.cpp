// One game by its rules alone, and the hash of its state.
#include "game/simulate.h"

#include "game/world.h"
#include "persist/settings.h"
#include "platform/wince/runtime.h"
#include "shell/state.h"

#include <cstring>

namespace {

struct Fnv {
    uint64_t h = 1469598103934665603ull;
    void bytes(const void* data, size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    }
    // Little-endian, whatever the machine.
    void u32(uint32_t v) {
        unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
        bytes(b, 4);
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    template <typename T, size_t N> void all(const T (&values)[N]) {
        for (const T& v : values) one(v);
    }
    void one(int32_t v) { i32(v); }
    void one(float v) { f32(v); }
};

} // namespace

uint64_t hashGameState() {
    const GameWorld& w = world;
    Fnv f;
    f.i32(w.columnCount);
    f.f32(w.scrollFraction);
    f.f32(w.scrollSpeed);
    f.f32(w.caveHalfHeight);
    f.all(w.caveCenter);
    f.all(w.floorEdge);
    f.all(w.ceilingEdge);
    f.all(w.obstacleY);
    f.f32(w.walkCenter);
    f.i32(w.floorEdgeNow);
    f.i32(w.floorEdgeRun);
    f.i32(w.ceilingEdgeNow);
    f.i32(w.ceilingEdgeRun);
    f.all(w.fishTrail);
    f.f32(w.trailAccumulator);
    f.f32(w.fishVelocity);
    f.i32(w.hitCooldown);
    f.all(w.bubbleLag);
    f.all(w.bubbleJitter);
    f.all(w.bubbleRise);
    f.all(w.bubbleSize);
    f.all(w.bubbleSpeed);
    f.i32(fishEnergy);
    return f.h;
}

bool gameIsOver() {
    return fishEnergy == 0 && world.scrollSpeed == 0.0f;
}

void beginSimulation(const GameStart& start) {
    layoutWidth = start.layoutWidth;
    layoutHeight = start.layoutHeight;
    world.hitCooldown = start.hitCooldown;
    world.floorEdgeNow = start.floorEdgeNow;
    world.floorEdgeRun = start.floorEdgeRun;
    world.ceilingEdgeNow = start.ceilingEdgeNow;
    world.ceilingEdgeRun = start.ceilingEdgeRun;
    riseHeld = start.riseHeld;
    bestScore = start.bestScore;
    shownBestScore = start.bestScore;
    crtSrand(start.randomState);
    resetWorld();
}

void simulateTick(uint32_t now) {
    tickClock(now);
    advanceWorld();
}

GameOutcome simulateGame(const GameStart& start, const uint32_t* tickTimes, size_t tickCount,
                         const RiseChange* changes, size_t changeCount) {
    beginSimulation(start);
    GameOutcome outcome;
    size_t next = 0;
    for (size_t t = 0; t < tickCount; ++t) {
        while (next < changeCount && changes[next].tick <= t) riseHeld = changes[next++].held;
        simulateTick(tickTimes[t]);
        outcome.ticksPlayed = static_cast<uint32_t>(t + 1);
    }
    outcome.score = finalScore();
    outcome.stateHash = hashGameState();
    outcome.over = gameIsOver();
    return outcome;
}
