// The game world: phases, cave, fish, bubbles, obstacles and score.
#include "game/score_code.h"
#include "game/simulate.h"
#include "game/world.h"
#include "platform/headless/host.h"
#include "platform/wince/runtime.h"
#include "shell/state.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

class Game : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestHost();
        crtSrand(99);
        world.hitCooldown = 0;
        riseHeld = 0;
        bestScore = 0;
        appMode = MODE_FRONTEND;
        startGame();
    }
    // One real tick after ms of virtual time.
    void tickAfter(uint32_t ms) {
        headlessAdvance(ms);
        tick();
    }
    // Steps the game's rules directly with a fixed time step.
    void step(float dt, int times = 1) {
        for (int i = 0; i < times; ++i) {
            frameDt = dt;
            advanceWorld();
        }
    }
    void fly() { gameSeconds = 1; } // past get ready
};

TEST_F(Game, NewGameStartsStraightAndFirstTickGetsReady) {
    EXPECT_EQ(world.scrollSpeed, 6.0f);
    EXPECT_EQ(fishEnergy, 5);
    EXPECT_EQ(gameSeconds, -1);
    EXPECT_EQ(std::count(world.caveCenter, world.caveCenter + RING_SIZE, 0.0f), RING_SIZE);
    EXPECT_EQ(std::count(world.obstacleY, world.obstacleY + RING_SIZE, OBSTACLE_NONE), RING_SIZE);
    tickAfter(3000);
    EXPECT_EQ(frameDt, 0.0f);
    EXPECT_EQ(gameSeconds, 0);
    EXPECT_TRUE(gettingReady());
    riseHeld = 1;
    for (int i = 0; i < 100; ++i) tickAfter(5); // half a second: control ignored
    EXPECT_EQ(world.fishVelocity, 0.0f);
    for (int i = 0; i < 120; ++i) tickAfter(5);
    EXPECT_GT(world.fishVelocity, 0.0f); // ready: the control works
}

TEST_F(Game, RiseAndSinkAccelerateAtPointNineAtStartSpeed) {
    fly(); // at the start speed
    frameDt = 0.01f;
    riseHeld = 1;
    applyControl();
    EXPECT_NEAR(world.fishVelocity, 0.009, 1e-7);
    riseHeld = 0;
    applyControl();
    applyControl();
    EXPECT_NEAR(world.fishVelocity, -0.009, 1e-7);
}

// A fish past the opening's edge (half-height less a margin: 0.23 about the
// centre between the cave columns around the fish) is put back on it and
// bounces at half its speed; the first touch costs energy and starts the
// grace, a touch within the grace costs nothing.
TEST_F(Game, WallsClampBounceAndCostEnergyOncePerGrace) {
    const struct {
        float scroll, height, velocity; // the fish before
        float clamped, bounced;         // and after
        int32_t energy;
    } cases[] = {
        {0.0f, 0.3f, 0.4f, 0.23f, -0.2f, 0},    // costs all five
        {0.0f, -0.3f, -0.4f, -0.23f, 0.2f, 20}, // within the grace
        {0.0f, 0.1f, -0.1f, 0.1f, -0.1f, 20},   // inside the opening: nothing
        {0.25f, 0.5f, 0.4f, 0.355f, -0.2f, 20}, // centre 0.1 * 0.75 + 0.2 * 0.25
        {0.25f, -0.5f, -0.4f, -0.105f, 0.2f, 20},
        {0.25f, 0.354f, 0.4f, 0.354f, 0.4f, 20}, // just inside: untouched
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.scroll << " " << c.height << " " << c.velocity);
        world.caveCenter[(world.columnCount + 2) % RING_SIZE] = c.scroll > 0 ? 0.1f : 0.0f;
        world.caveCenter[(world.columnCount + 3) % RING_SIZE] = c.scroll > 0 ? 0.2f : 0.0f;
        world.scrollFraction = c.scroll;
        world.fishTrail[15] = c.height;
        world.fishVelocity = c.velocity;
        wallContact();
        EXPECT_FLOAT_EQ(world.fishTrail[15], c.clamped);
        EXPECT_FLOAT_EQ(world.fishVelocity, c.bounced);
        EXPECT_EQ(fishEnergy, c.energy);
        if (&c == cases) { // the first touch starts the grace
            EXPECT_EQ(world.hitCooldown, 6);
            fishEnergy = 20;
        }
    }
}

TEST_F(Game, GraceRunsDownAColumnAtATimeOnlyWhileColumnsAreLaid) {
    fly();
    world.hitCooldown = HIT_COOLDOWN_COLUMNS;
    world.scrollSpeed = 1.0f;
    world.scrollFraction = 0.0f;
    // The fish held still in the middle of the cave, clear of its walls.
    auto calmStep = [&] {
        world.fishTrail[TRAIL_LENGTH - 1] = world.walkCenter;
        world.fishVelocity = 0.0f;
        world.caveHalfHeight = 1.0f;
        step(0.1f);
    };
    for (int i = 0; i < 9; ++i) calmStep(); // 0.9 of a column: none laid
    EXPECT_EQ(world.hitCooldown, 6);
    for (int left : {5, 4, 3, 2, 1, 0, 0}) {
        int32_t columns = world.columnCount;
        while (world.columnCount == columns) calmStep();
        EXPECT_EQ(world.hitCooldown, left);
    }
}

TEST_F(Game, AfterDeathTheRiseControlChangesNothingAndTheTrailStops) {
    fly();
    fishEnergy = 0;
    step(0.02f); // the step of the death stops the cave
    ASSERT_EQ(world.scrollSpeed, 0.0f);
    GameWorld dead = world;
    riseHeld = 0;
    step(0.02f, 50);
    uint64_t sinking = hashGameState();
    EXPECT_TRUE(std::equal(dead.fishTrail, dead.fishTrail + TRAIL_LENGTH - 1, world.fishTrail));
    EXPECT_LT(world.fishTrail[TRAIL_LENGTH - 1], dead.fishTrail[TRAIL_LENGTH - 1]);
    world = dead;
    riseHeld = 1;
    step(0.02f, 50);
    EXPECT_EQ(hashGameState(), sinking);
}

TEST_F(Game, GraceCarriesIntoTheNextGameOnlyAfterAWallDeath) {
    // First game since start: no grace.
    EXPECT_EQ(world.hitCooldown, 0);
    fly();
    step(0.02f, 300); // no input: the fish sinks to the floor and dies
    EXPECT_EQ(fishEnergy, 0);
    step(0.02f, 300); // the dead fish settles; at most one more column
    int32_t grace = world.hitCooldown;
    EXPECT_TRUE(grace == 5 || grace == 6) << grace;
    startGame();
    EXPECT_EQ(world.hitCooldown, grace);
}

TEST_F(Game, CaveObstaclesEverySeventhColumnAndAClampedWalk) {
    std::vector<int> obstacleColumns;
    float previous = world.walkCenter;
    for (int n = 0; n < 400; ++n) {
        layColumn();
        int column = world.columnCount + 11;
        if (world.obstacleY[column % RING_SIZE] != OBSTACLE_NONE) obstacleColumns.push_back(column);
        float c = world.caveCenter[column % RING_SIZE];
        EXPECT_LE(std::fabs(c), 0.2300001f);
        EXPECT_LE(std::fabs(world.walkCenter - previous), CAVE_HALF_HEIGHT / 3 + 1e-6);
        previous = world.walkCenter;
        EXPECT_TRUE(world.floorEdgeNow >= 0 && world.floorEdgeNow <= 2) << world.floorEdgeNow;
    }
    ASSERT_GE(obstacleColumns.size(), 2u);
    EXPECT_EQ(obstacleColumns[0], 18);
    for (size_t i = 1; i < obstacleColumns.size(); ++i)
        EXPECT_EQ(obstacleColumns[i] - obstacleColumns[i - 1], 7);
}

TEST_F(Game, ScrollLaysTwoColumnsAtHighSpeedAndOneMoreAfterDeath) {
    fly();
    fishEnergy = 1000000;
    world.scrollSpeed = 30.0f;
    world.scrollFraction = 0.9f;
    int32_t before = world.columnCount;
    step(0.05f);
    EXPECT_EQ(world.columnCount - before, 2);
    world.scrollFraction = 0.2f; // 1.7 columns in this step: one more column
    fishEnergy = 0;
    before = world.columnCount;
    step(0.05f); // the step of the death still scrolls with the old speed
    EXPECT_EQ(world.columnCount - before, 1);
    EXPECT_EQ(world.scrollSpeed, 0.0f);
    step(0.05f, 100);
    EXPECT_EQ(world.columnCount - before, 1);
}

TEST_F(Game, BubblesCycleThroughScreenColumnsAndAreReplacedAtTheTop) {
    world.bubbleLag[0] = world.columnCount % 11;
    world.bubbleJitter[0] = 0.0f;
    world.scrollFraction = 0.0f;
    EXPECT_EQ(bubbleScreenPos(0).x, 240 - 3 - 240); // screen column 0
    world.scrollFraction = 2.0f;
    layColumn();
    EXPECT_EQ(bubbleScreenPos(0).x, 10 * 24 - 24 - 3); // jumped to column 10
    world.bubbleRise[0] = 0.999f;
    world.bubbleSpeed[0] = 0.1f;
    frameDt = 0.05f;
    moveBubbles();
    EXPECT_EQ(world.bubbleRise[0], 0.0f);
    EXPECT_GE(world.bubbleSpeed[0], 0.05f);
}

TEST_F(Game, ReplacedBubblesAreRarelyTheLargest) {
    int counts[5] = {};
    const int n = 50000;
    for (int i = 0; i < n; ++i) {
        newBubble(0, true);
        counts[world.bubbleSize[0]]++;
    }
    EXPECT_NEAR(counts[0] / double(n), 0.12, 0.01);
    for (int s = 1; s < 5; ++s) EXPECT_NEAR(counts[s] / double(n), 0.22, 0.01);
}

TEST_F(Game, ObstacleBoxesHitOnOnePixelOfOverlap) {
    // The fish at height 0 (H 320). An obstacle in screen column i at scroll f
    // has its left edge at 24 i - 24 f and hits between 21.76 and 51.76; set a
    // pixels above the fish (v = -a / 320), it hits for -7 < a < 33.
    const struct {
        int column;
        float scroll;
        double abovePx;
        bool hits;
    } cases[] = {
        {1, 0.0f, 0, true},    {1, 0.05f, 0, true},    {1, 0.10f, 0, false}, // x 24, 22.8, 21.6
        {3, 0.85f, 0, true},   {3, 0.83f, 0, false},                         // x 51.6, 52.08
        {1, 0.0f, -6.5, true}, {1, 0.0f, -7.5, false},                       // below the fish
        {1, 0.0f, 32.5, true}, {1, 0.0f, 33.5, false},                       // above the fish
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.column << ", scroll " << c.scroll
                                        << ", above " << c.abovePx);
        fishEnergy = 5;
        world.scrollFraction = c.scroll;
        world.fishTrail[15] = 0.0f;
        for (float& v : world.obstacleY) v = OBSTACLE_NONE;
        world.obstacleY[(world.columnCount + c.column) % RING_SIZE] =
            static_cast<float>(-c.abovePx / 320);
        for (int i = 0; i < 5; ++i) obstacleHits(i);
        EXPECT_EQ(fishEnergy, c.hits ? 0 : 5);
    }
}

TEST_F(Game, ScoresBestScoreAndRecordInSight) {
    world.columnCount = 10;
    world.scrollFraction = 0.5f;
    EXPECT_EQ(liveScore(), 73);
    EXPECT_EQ(finalScore(), 70);
    // The best score: the higher of the two, a tie included, 0 with 0 too.
    for (auto [columns, best] : {std::pair{10, 69}, {10, 70}, {10, 71}, {0, 0}}) {
        world.columnCount = columns;
        bestScore = best;
        updateBestScore();
        EXPECT_EQ(bestScore, std::max(best, 7 * columns));
    }
    // In sight: a score above an old best over 10, short of best + 100.
    const struct {
        int32_t best, columns;
        bool inSight;
    } cases[] = {{10, 5, false}, {100, 15, true}, {100, 29, false}, {100, 14, false},
                 {75, 24, true}, {75, 11, true},  {75, 25, false}};
    for (const auto& c : cases) {
        bestScore = c.best;
        world.columnCount = c.columns;
        EXPECT_EQ(recordInSight(), c.inSight) << finalScore() << " against a best of " << c.best;
    }
}

TEST(ScoreCode, GenuineCodesCheckAndEveryChangedDigitIsCaught) {
    for (int32_t columns : {0, 1, 7, 123, 4567, 16000}) {
        char text[16];
        std::snprintf(text, sizeof text, "%08d", scoreCode(columns));
        int32_t score = -1;
        EXPECT_EQ(checkScoreCode(text, &score), 1) << text;
        EXPECT_EQ(score, 7 * columns);
        for (int pos = 0; pos < 8; ++pos)
            for (char d = '0'; d <= '9'; ++d) {
                std::string altered = text;
                altered[pos] = d; // the code itself when d is its own digit
                EXPECT_EQ(checkScoreCode(altered.c_str(), &score), altered == text) << altered;
            }
    }
    int32_t score;
    for (const char* bad : {"", "123456789", "12a45678"}) EXPECT_EQ(checkScoreCode(bad, &score), 0);
}

TEST(ScoreCode, TheCommandLineCheckSaysWhatACodeStandsFor) {
    char text[16];
    std::snprintf(text, sizeof text, "%08d", scoreCode(123));
    std::string output;
    EXPECT_EQ(runReefdart(std::string("--check-code ") + text, &output), 0);
    EXPECT_EQ(output, std::string(text) + " is genuine: a score of 861\n");
    text[7] = text[7] == '9' ? '0' : text[7] + 1;
    EXPECT_EQ(runReefdart(std::string("--check-code ") + text, &output), 1);
    EXPECT_EQ(output, std::string(text) + " is not a genuine score code\n");
    EXPECT_EQ(runReefdart("--check-code ''", &output), 1);
    EXPECT_EQ(runReefdart("--check-code", &output), 2);
}

} // namespace
