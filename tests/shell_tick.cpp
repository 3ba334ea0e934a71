// The timer tick: its time step, its seconds clock and what it runs.
#include "platform/headless/host.h"
#include "platform/wince/winapi.h"
#include "shell/state.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

namespace {

class Tick : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestHost();
        appMode = MODE_FRONTEND;
        keyCaptureActive = 0;
        lastTickTime = 0;
        secondMark = GetTickCount();
        gameSeconds = gameMinutes = 0;
        menuPhase = 0.0f;
    }
};

TEST_F(Tick, FirstTickHasNoTimeStep) {
    headlessAdvance(700);
    tick();
    EXPECT_EQ(frameDt, 0.0f);
    headlessAdvance(16);
    tick();
    EXPECT_FLOAT_EQ(frameDt, 0.016f);
    EXPECT_FLOAT_EQ(menuPhase, 0.032f);
}

TEST_F(Tick, OnlyFrontEndTicksMoveTheTextWave) {
    // The game screen's waving texts keep the shape they had when the game
    // began. (Fidelity K19.)
    appMode = MODE_GAME;
    gameKind = 0; // no game to step: only the tick's own work
    menuPhase = 1.0f;
    tick();
    headlessAdvance(16);
    tick();
    EXPECT_FLOAT_EQ(frameDt, 0.016f);
    EXPECT_EQ(menuPhase, 1.0f);
}

TEST_F(Tick, LateTickIsCappedAtFiftyMilliseconds) {
    tick();
    headlessAdvance(300);
    tick();
    EXPECT_EQ(frameDt, static_cast<float>(50 * 0.001));
    EXPECT_FLOAT_EQ(menuPhase, 0.1f);
}

TEST_F(Tick, MenuPhaseWrapsBelowSixPi) {
    tick();
    for (int i = 0; i < 400; ++i) {
        headlessAdvance(50);
        tick();
        ASSERT_LE(menuPhase, 18.849f);
        ASSERT_GE(menuPhase, 0.0f);
    }
    menuPhase = 18.84f;
    headlessAdvance(50);
    tick();
    EXPECT_NEAR(menuPhase, 18.94 - 18.849, 1e-5);
}

TEST_F(Tick, SecondsClockCountsMarksAndDropsTheExcess) {
    tick();
    headlessAdvance(1000);
    tick();
    EXPECT_EQ(gameSeconds, 0); // exactly 1000 ms is not more than 1000
    headlessAdvance(1);
    tick();
    EXPECT_EQ(gameSeconds, 1);
    EXPECT_EQ(secondMark, GetTickCount());
    gameSeconds = 59;
    headlessAdvance(1500);
    tick();
    EXPECT_EQ(gameSeconds, 0);
    EXPECT_EQ(gameMinutes, 1);
    EXPECT_EQ(msSinceSecond, 1500u);
}

TEST_F(Tick, TickCountWrapIsHarmless) {
    useTestHost("qvga", 0xFFFFFFF0u);
    lastTickTime = 0;
    secondMark = GetTickCount();
    tick();
    headlessAdvance(32); // crosses 2^32
    tick();
    EXPECT_FLOAT_EQ(frameDt, 0.032f);
    EXPECT_EQ(msSinceSecond, 32u);
}

TEST_F(Tick, KeyCaptureSkipsTheTimeMeasurement) {
    tick();
    uint32_t last = lastTickTime;
    keyCaptureActive = 1;
    headlessAdvance(400);
    tick();
    EXPECT_EQ(lastTickTime, last);
    EXPECT_EQ(menuPhase, 0.0f);
    keyCaptureActive = 0;
    tick();
    EXPECT_EQ(frameDt, 0.05f); // the first tick after the capture gets the cap
}

} // namespace
