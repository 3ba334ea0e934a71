// The game's rules alone: the simulation a score checker runs gives the
// running program's score and state, and always the same ones.
#include "game/simulate.h"
#include "game/world.h"
#include "platform/headless/host.h"
#include "platform/wince/runtime.h"
#include "platform/wince/winapi.h"
#include "shell/autopilot.h"
#include "shell/state.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Played {
    GameStart start;
    std::vector<uint32_t> times;
    std::vector<RiseChange> changes;
    int32_t score = 0;
    uint64_t hash = 0;
};

// A game played through the program's own tick, drawing and all, on the
// headless clock: the rise control follows the pilot, held back by every
// holdEvery-th tick so that the input has some noise of its own; the time
// between ticks varies from 1 to 60 ms.
Played playThroughTheProgram(const char* device, uint32_t seed, int ticks) {
    Played p;
    useTestHost(device);
    appMode = MODE_FRONTEND;
    riseHeld = 0;
    p.start.hitCooldown = world.hitCooldown = 2;
    p.start.floorEdgeNow = world.floorEdgeNow;
    p.start.floorEdgeRun = world.floorEdgeRun;
    p.start.ceilingEdgeNow = world.ceilingEdgeNow;
    p.start.ceilingEdgeRun = world.ceilingEdgeRun;
    p.start.layoutWidth = layoutWidth;
    p.start.layoutHeight = layoutHeight;
    p.start.randomState = seed;
    crtSrand(seed);
    startGame();
    for (int t = 0; t < ticks; ++t) {
        int32_t want = fishEnergy > 0 && pilotWantsRise() && t % 7 != 3 ? 1 : 0;
        if (want != riseHeld) p.changes.push_back(RiseChange{static_cast<uint32_t>(t), want});
        riseHeld = want;
        headlessAdvance(1 + (t * 37 % 60));
        p.times.push_back(GetTickCount());
        tick();
    }
    p.score = finalScore();
    p.hash = hashGameState();
    return p;
}

GameOutcome replay(const Played& p) {
    return simulateGame(p.start, p.times.data(), p.times.size(), p.changes.data(),
                        p.changes.size());
}

TEST(Simulation, GivesTheRunningProgramsScoreAndState) {
    struct Case {
        const char* device;
        uint32_t seed;
    } cases[] = {{"qvga", 1000000}, {"small", 77}, {"square", 4294967000u}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        Played p = playThroughTheProgram(c.device, c.seed, 12000);
        ASSERT_GT(p.score, 0);
        GameOutcome o = replay(p);
        EXPECT_EQ(p.score, o.score);
        EXPECT_EQ(p.hash, o.stateHash);
        EXPECT_EQ(12000u, o.ticksPlayed);
        // A single rise change a tick late is another game.
        Played late = p;
        late.changes[late.changes.size() / 2].tick += 1;
        EXPECT_NE(p.hash, replay(late).stateHash);
    }
}

TEST(Simulation, APilotedTenMinuteGameEndsTheSameEverywhere) {
    // The figures are this game's on every host, compiler and processor: a
    // change to them is a change to the game's rules.
    Played p;
    for (uint32_t t = 0; t < 120000; ++t) p.times.push_back(5000 + 5 * t);
    p.changes = pilotRiseChanges(p.start, p.times);
    GameOutcome o = replay(p);
    EXPECT_TRUE(o.over);
    EXPECT_EQ(finalScore(), o.score);
    EXPECT_EQ(0x60b6dcc03075fb95ull, o.stateHash) << std::hex << o.stateHash;
    EXPECT_EQ(1379, o.score);
}

TEST(Simulation, TheScoreStandsOnceTheGameIsOver) {
    Played p;
    for (uint32_t t = 0; t < 4000; ++t) p.times.push_back(100 + 16 * t);
    GameOutcome o = replay(p); // nobody steers: the fish sinks into the floor
    ASSERT_TRUE(o.over);
    p.times.resize(3000);
    GameOutcome shorter = replay(p);
    ASSERT_TRUE(shorter.over);
    EXPECT_EQ(shorter.score, o.score);
}

} // namespace
