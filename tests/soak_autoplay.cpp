// The pilot plays game after game on the headless host, the tick count
// wrapping past 2^32 early on, with the program's live memory watched.
// REEFDART_SOAK_MINUTES sets the virtual minutes played (default 4).
#include "game/world.h"
#include "persist/settings.h"
#include "platform/headless/host.h"
#include "platform/host/instance.h"
#include "platform/script/script.h"
#include "shell/app.h"
#include "shell/autopilot.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "support/allocations.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t WRAP_START_TICK = 4294962296u; // 5 s before the tick count wraps
// Allowed above the live allocations of the second game start, for blocks
// that live only inside one message.
constexpr long long PASSING_BYTES = 4096, PASSING_BLOCKS = 8;

// What the run looked like, gathered tick by tick.
struct Figures {
    int ticks = 0, gamesStarted = 0, gamesEnded = 0;
    int scoredAfterWrap = 0; // games begun after the wrap that scored
    int32_t bestFinal = 0;
    bool wrapped = false, inFlightAtWrap = false, inGame = false, gameOn = false;
    int32_t columnsAtWrap = -1, finalOfWrapGame = -1;
    float frameDtAtWrap = -1;
    int badFrameDt = 0;        // outside 0 .. 0.05 s
    uint32_t maxSinceMark = 0; // tick count minus the second mark, after a tick
    long long bytesAtStart = -1, blocksAtStart = -1, maxBytes = 0, maxBlocks = 0;
    long long bytesAtEnd = 0, blocksAtEnd = 0;
} f;

void sampleMemory() {
    long long bytes = liveAllocatedBytes(), blocks = liveAllocatedBlocks();
    if (f.bytesAtStart < 0) {
        f.bytesAtStart = bytes;
        f.blocksAtStart = blocks;
    }
    f.maxBytes = std::max(f.maxBytes, bytes);
    f.maxBlocks = std::max(f.maxBlocks, blocks);
    f.bytesAtEnd = bytes;
    f.blocksAtEnd = blocks;
}

// Runs after each tick of the program, with the tick count it ran at.
void observeTick(uint32_t now) {
    static uint32_t before = 0;
    f.badFrameDt += !(frameDt >= 0.0f && frameDt <= 0.05f);
    // A tick that finds more than a second since the mark (the first tick of
    // a game always does, its mark being 0) sets the mark anew.
    f.maxSinceMark = std::max(f.maxSinceMark, now - secondMark);
    if (++f.ticks > 1 && now < before) {
        f.wrapped = true;
        f.frameDtAtWrap = frameDt;
        f.inFlightAtWrap = f.inGame;
        f.columnsAtWrap = world.columnCount;
    }
    before = now;
    bool gameNow = appMode == MODE_GAME;
    if (gameNow && !f.gameOn) {
        ++f.gamesStarted;
        f.inGame = true;
        // The second game start: every kind of screen change has happened once.
        if (f.gamesStarted == 2) sampleMemory();
    }
    if (f.inGame && gameNow && fishEnergy == 0) {
        f.inGame = false;
        ++f.gamesEnded;
        int32_t score = finalScore();
        f.bestFinal = std::max(f.bestFinal, score);
        if (f.inFlightAtWrap && f.finalOfWrapGame < 0)
            f.finalOfWrapGame = score;
        else if (f.wrapped && score > 0)
            ++f.scoredAfterWrap;
    }
    f.gameOn = gameNow;
    if (f.bytesAtStart >= 0) sampleMemory();
}

// The program's message loop, as WinMain runs it, with a look at the state
// after every timer tick.
int runProgram() {
    if (!InitInstance(nullptr, SW_SHOW)) return -1;
    HACCEL accelerators = LoadAcceleratorsW(nullptr, ACCEL_TABLE_ID);
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (msg.message == WM_TIMER) observeTick(GetTickCount());
    }
    displayShutdown();
    return static_cast<int>(msg.wParam);
}

TEST(Soak, GameAfterGameAcrossTheClockWrapWithoutGrowth) {
    const char* text = std::getenv("REEFDART_SOAK_MINUTES");
    double minutes = text && std::atof(text) > 0 ? std::atof(text) : 4;
    std::string folder = useTestHost("qvga", WRAP_START_TICK);
    std::vector<ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(parseScript("wait " + std::to_string(static_cast<uint32_t>(minutes * 60000)) + "\n",
                            &commands, &error))
        << error;
    startHeadlessHost(WRAP_START_TICK, commands);
    autopilotOn = true;
    constructProgramObjects();
    auto wallStart = std::chrono::steady_clock::now();
    int code = runProgram();
    std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    releaseInstance();
    EXPECT_EQ(0, code);
    EXPECT_TRUE(finishHeadlessHost());
    std::printf("soak: %.1f virtual minutes in %.1f s: %d ticks, %d games, best score %d; live "
                "allocations %lld bytes in %lld blocks at the second game, %lld in %lld at the "
                "end, at most %lld in %lld\n",
                minutes, wall.count(), f.ticks, f.gamesStarted, f.bestFinal, f.bytesAtStart,
                f.blocksAtStart, f.bytesAtEnd, f.blocksAtEnd, f.maxBytes, f.maxBlocks);

    // Every game was ended and restarted by the pilot. The clock wrapped while
    // a game was flown; that game went on flying and scoring, and after the
    // wrap games still started, scored and ended.
    EXPECT_TRUE(f.gamesStarted == f.gamesEnded || f.gamesStarted == f.gamesEnded + 1);
    ASSERT_TRUE(f.wrapped);
    EXPECT_TRUE(f.inFlightAtWrap);
    EXPECT_GT(f.finalOfWrapGame, SCORE_PER_COLUMN * f.columnsAtWrap);
    EXPECT_GE(f.scoredAfterWrap, 2);
    // The step across the wrap is one timer period, like every other, and the
    // seconds clock kept counting through it.
    EXPECT_FLOAT_EQ(0.005f, f.frameDtAtWrap);
    EXPECT_EQ(0, f.badFrameDt);
    EXPECT_LE(f.maxSinceMark, 1000u + TICK_PERIOD_MS);

    // Nothing grows while game follows game: what is live at the end is no
    // more than at the second game start, and nothing in between rose above
    // that by more than a few passing allocations (a screen change holds one
    // block of under 500 bytes for a moment).
    ASSERT_GE(f.bytesAtStart, 0);
    EXPECT_LE(f.bytesAtEnd, f.bytesAtStart);
    EXPECT_LE(f.blocksAtEnd, f.blocksAtStart);
    EXPECT_LE(f.maxBytes, f.bytesAtStart + PASSING_BYTES);
    EXPECT_LE(f.maxBlocks, f.blocksAtStart + PASSING_BLOCKS);

    // The record is the best score reached, and record.dat holds it.
    EXPECT_EQ(f.bestFinal, bestScore);
    char record[8];
    std::snprintf(record, sizeof record, "%05d", static_cast<int>(f.bestFinal % 100000));
    EXPECT_EQ(record, readFile(folder + "/record.dat"));
}

} // namespace
