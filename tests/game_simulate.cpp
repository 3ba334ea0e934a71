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

// Games played through the program's own tick, drawing and all, on the
// headless clock: the pilot's rise control, held back every seventh tick for
// some noise of its own, with 1 to 60 ms between ticks. A rise change a tick
// late is another game.
TEST(Simulation, GivesTheRunningProgramsScoreAndState) {
    for (auto [device, seed] : {std::pair<const char*, uint32_t>{"qvga", 1000000},
                                {"small", 77},
                                {"square", 4294967000u}}) {
        SCOPED_TRACE(device);
        useTestHost(device);
        appMode = MODE_FRONTEND;
        riseHeld = 0;
        GameStart start;
        start.hitCooldown = world.hitCooldown = 2;
        start.floorEdgeNow = world.floorEdgeNow;
        start.floorEdgeRun = world.floorEdgeRun;
        start.ceilingEdgeNow = world.ceilingEdgeNow;
        start.ceilingEdgeRun = world.ceilingEdgeRun;
        start.layoutWidth = layoutWidth;
        start.layoutHeight = layoutHeight;
        start.randomState = seed;
        crtSrand(seed);
        startGame();
        std::vector<uint32_t> times;
        std::vector<RiseChange> changes;
        for (int t = 0; t < 12000; ++t) {
            int32_t want = fishEnergy > 0 && pilotWantsRise() && t % 7 != 3 ? 1 : 0;
            if (want != riseHeld) changes.push_back(RiseChange{static_cast<uint32_t>(t), want});
            riseHeld = want;
            headlessAdvance(1 + (t * 37 % 60));
            times.push_back(GetTickCount());
            tick();
        }
        int32_t score = finalScore();
        uint64_t hash = hashGameState();
        ASSERT_GT(score, 0);
        auto replay = [&] {
            return simulateGame(start, times.data(), times.size(), changes.data(), changes.size());
        };
        GameOutcome o = replay();
        EXPECT_EQ(score, o.score);
        EXPECT_EQ(hash, o.stateHash);
        EXPECT_EQ(12000u, o.ticksPlayed);
        changes[changes.size() / 2].tick += 1;
        EXPECT_NE(hash, replay().stateHash);
    }
}

// The figures are this game's on every host, compiler and processor: a
// change to them is a change to the game's rules.
TEST(Simulation, APilotedTenMinuteGameEndsTheSameEverywhere) {
    GameStart start;
    std::vector<uint32_t> times;
    for (uint32_t t = 0; t < 120000; ++t) times.push_back(5000 + 5 * t);
    std::vector<RiseChange> changes = pilotRiseChanges(start, times);
    GameOutcome o = simulateGame(start, times.data(), times.size(), changes.data(), changes.size());
    EXPECT_TRUE(o.over);
    EXPECT_EQ(0x60b6dcc03075fb95ull, o.stateHash) << std::hex << o.stateHash;
    EXPECT_EQ(1379, o.score);
}

} // namespace
