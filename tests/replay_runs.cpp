// Every game played leaves its replay: played through the headless program,
// verified on the command line and watched again to the frame it ended on.
#include "game/replay.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

namespace {

constexpr uint32_t SEED = 1000000;

Replay replayIn(const std::string& path) {
    std::string bytes = readFile(path);
    Replay r;
    std::string why;
    EXPECT_TRUE(
        decodeReplay(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &r, &why))
        << path << ": " << why;
    return r;
}

// The first game, flown in short hops, up to script time until: its
// commands and waits as far as that time.
std::string firstGame(uint32_t until = UINT32_MAX) {
    std::string script;
    uint32_t at = 0;
    auto wait = [&](uint32_t ms) {
        uint32_t step = std::min(ms, until - at);
        script += "wait " + std::to_string(step) + "\n";
        at += step;
        return at < until;
    };
    if (!wait(1500)) return script;
    script += "key START\n";
    if (!wait(200)) return script;
    for (int hop = 0; hop < 8; ++hop) {
        script += "press UP\n";
        if (!wait(300)) return script;
        script += "release UP\n";
        if (!wait(200)) return script;
    }
    return script;
}

// The second game is left to sink at once, so it scores less. A key on the
// game-over screen goes back to the title, whose Play starts a game.
const char* const SECOND_GAME = "wait 15000\nkey START\nwait 1000\nkey START\nwait 15000\n";

TEST(ReplayRuns, EveryGameLeavesAReplayThatVerifiesAndWatchesToItsLastFrame) {
    std::string f = makeTempFolder(), data = f + "/data";
    std::string seed = " --seed " + std::to_string(SEED);
    ASSERT_EQ(runScript(f, firstGame() + SECOND_GAME, "--data-dir " + data + seed), 0);
    Replay best = replayIn(data + "/bestgame.rdr"), last = replayIn(data + "/lastgame.rdr");
    ASSERT_FALSE(best.tickTimes.empty());
    ASSERT_FALSE(last.tickTimes.empty());
    // The record file holds the better game's score, which the best replay
    // reaches; the later, poorer game is the last one.
    EXPECT_EQ(std::to_string(best.score),
              std::to_string(std::stoi(readFile(data + "/record.dat"))));
    EXPECT_LT(last.score, best.score);
    EXPECT_GT(last.tickTimes[0], best.tickTimes.back());
    EXPECT_EQ(best.edition, EDITION_HEADLESS);
    EXPECT_EQ(last.start.bestScore, best.score);
    // Steady 5 ms ticks: a few hundred bytes.
    EXPECT_LT(readFile(data + "/bestgame.rdr").size(), 200u);
    for (const char* name : {"/bestgame.rdr", "/lastgame.rdr"}) {
        std::string output;
        EXPECT_EQ(runReefdart("--verify " + data + name, &output), 0) << output;
        Replay r = replayIn(data + name);
        EXPECT_NE(output.find(": a score of " + std::to_string(r.score) + " in " +
                              std::to_string(r.tickTimes.size()) + " ticks"),
                  std::string::npos)
            << output;
    }

    // The first game's frame at its last tick, shot from the same run cut
    // short there, and the same frame at the end of its replay watched.
    uint32_t end = best.tickTimes.back() - SEED;
    ASSERT_EQ(runScript(f, firstGame(end) + "shot " + f + "/live.png\n",
                        "--data-dir " + f + "/again" + seed),
              0);
    // A tap pauses the watch and another resumes it.
    ASSERT_EQ(runScript(f,
                        "wait 1000\ntap 10 10\nshot " + f + "/paused.png\nwait 3000\nshot " + f +
                            "/still.png\ntap 10 10\nwait 20000\nshot " + f +
                            "/watched.png\nkey 27\n",
                        "--data-dir " + f + "/watch --watch " + data + "/bestgame.rdr"),
              0);
    std::string live = readFile(f + "/live.png");
    ASSERT_FALSE(live.empty());
    EXPECT_TRUE(live == readFile(f + "/watched.png"));
    EXPECT_TRUE(readFile(f + "/paused.png") == readFile(f + "/still.png"));
    EXPECT_FALSE(readFile(f + "/paused.png") == live);
    // Watching changes none of the watcher's files.
    EXPECT_EQ(readFile(f + "/watch/record.dat"), "00000");
}

} // namespace
