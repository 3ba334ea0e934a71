// The pilot: what it aims at and how far it gets. (Whole runs on autoplay are
// the golden runs' autoplay scripts, the soak and the no-sound faults.)
#include "game/world.h"
#include "platform/wince/runtime.h"
#include "shell/autopilot.h"
#include "shell/state.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

namespace {

class Pilot : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestHost();
        appMode = MODE_FRONTEND;
        riseHeld = 0;
        startGame();
        gameSeconds = 1; // past get ready
    }
};

TEST_F(Pilot, RisesWhenBelowTheOpeningAndSinksWhenAbove) {
    world.fishTrail[TRAIL_LENGTH - 1] = -0.1f;
    world.fishVelocity = 0.0f;
    EXPECT_TRUE(pilotWantsRise());
    world.fishTrail[TRAIL_LENGTH - 1] = 0.1f;
    EXPECT_FALSE(pilotWantsRise());
    // Falling fast from just above the middle: it catches itself early.
    world.fishTrail[TRAIL_LENGTH - 1] = 0.05f;
    world.fishVelocity = -0.5f;
    EXPECT_TRUE(pilotWantsRise());
}

TEST_F(Pilot, PassesAnObstacleInTheMiddleOnItsRoomierSide) {
    world.fishTrail[TRAIL_LENGTH - 1] = 0.0f;
    world.fishVelocity = 0.0f;
    // Dead ahead in the middle: more room under it than over it.
    world.obstacleY[(world.columnCount + 4) % RING_SIZE] = 0.0f;
    EXPECT_FALSE(pilotWantsRise());
    // A low one: over it.
    world.obstacleY[(world.columnCount + 4) % RING_SIZE] = -0.12f;
    EXPECT_TRUE(pilotWantsRise());
}

TEST_F(Pilot, FliesPastSeveralObstaclesAtTheStartSpeed) {
    // Obstacles stand in columns 18, 25, 32, ...: past column 48 five of them
    // have been passed. A game is cut off after 48 s.
    int passedFive = 0, total = 0;
    const int games = 40;
    for (uint32_t seed = 1; seed <= games; ++seed) {
        crtSrand(seed);
        startGame();
        gameSeconds = 1;
        for (int i = 0; i < 3000 && fishEnergy > 0; ++i) {
            riseHeld = pilotWantsRise() ? 1 : 0;
            frameDt = 0.016f;
            gameStep();
        }
        passedFive += world.columnCount > 48;
        total += world.columnCount;
    }
    EXPECT_GE(passedFive, games * 9 / 10);
    EXPECT_GT(total / games, 150);
}

} // namespace
