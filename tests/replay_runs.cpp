// Game replays: their encoding, what decoding refuses, their check by the
// game's rules, and the replays the headless program keeps and watches.
#include "game/recorder.h"
#include "game/replay.h"
#include "game/world.h"
#include "gfx/layout.h"
#include "platform/wince/runtime.h"
#include "shell/autopilot.h"
#include "shell/state.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

namespace {

// A game the pilot flies for the given ticks, every gap ms apart (or, with
// gap 0, 5 to 9 ms apart), sealed.
Replay pilotedReplay(uint32_t ticks, uint32_t gap = 5, uint32_t seed = 1000000) {
    Replay r;
    r.version = "1.0.0";
    r.ticket = "Tk_" + std::to_string(seed);
    r.start.randomState = seed;
    r.start.hitCooldown = 3;
    r.start.floorEdgeNow = 2;
    r.start.floorEdgeRun = 1;
    for (uint32_t t = 0, now = seed; t < ticks; ++t, now += gap ? gap : 5 + t * 7 % 5)
        r.tickTimes.push_back(now);
    r.changes = pilotRiseChanges(r.start, r.tickTimes);
    sealReplay(&r);
    return r;
}

template <typename Bytes> Replay decoded(const Bytes& bytes, const std::string& what = "") {
    Replay r;
    std::string why;
    EXPECT_TRUE(
        decodeReplay(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &r, &why))
        << what << ": " << why;
    return r;
}

std::string refusal(const std::vector<uint8_t>& bytes) {
    Replay r;
    std::string why;
    EXPECT_FALSE(decodeReplay(bytes.data(), bytes.size(), &r, &why));
    return why;
}

TEST(Replay, AMinuteOfPlayIsSmallAndComesBackWhole) {
    for (uint32_t gap : {5u, 0u}) {
        SCOPED_TRACE(gap);
        Replay r = pilotedReplay(12000, gap); // a minute at 5 ms
        std::vector<uint8_t> bytes = encodeReplay(r);
        EXPECT_LT(bytes.size(), gap == 5 ? size_t{1024} : REPLAY_MAX_BYTES);
        Replay back = decoded(bytes);
        EXPECT_EQ(back.version, "1.0.0");
        EXPECT_EQ(back.checks.size(), 12u);
        // Encoded again it is the same bytes, and it plays the same game.
        EXPECT_EQ(encodeReplay(back), bytes);
        ReplayVerdict v = verifyReplay(back);
        EXPECT_TRUE(v.matches) << v.reason;
        EXPECT_EQ(v.score, r.score);
        EXPECT_GT(v.score, 0);
    }
    // 128, the first number that takes two bytes: 128 ticks, a change 64 ticks on.
    Replay edge;
    for (uint32_t t = 0; t < 128; ++t) edge.tickTimes.push_back(5 * t);
    edge.start.riseHeld = 1;
    edge.changes = {RiseChange{64, 0}};
    Replay back = decoded(encodeReplay(edge));
    EXPECT_EQ(back.tickTimes, edge.tickTimes);
    ASSERT_EQ(back.changes.size(), 1u);
    EXPECT_EQ(back.changes[0].tick * 2 + back.changes[0].held, 128u);
}

TEST(Replay, AGameThatStopsMatchingSaysWhere) {
    Replay r = pilotedReplay(6000), late = r, claimed = r, ended = r;
    ASSERT_GT(r.changes.size(), 10u);
    size_t k = 0;
    while (r.changes[k].tick < 2500) ++k;
    late.changes[k - 1].tick += 1;     // one rise change a tick late, before tick 2500
    claimed.score += SCORE_PER_COLUMN; // a score the rules do not reach
    ended.finalHash ^= 1;              // the same score, but not the state the game ended in
    const std::pair<const Replay*, std::string> cases[] = {
        {&late, "diverged at tick 3000"},
        {&claimed, "reaches a score of " + std::to_string(r.score) + " where the game showed " +
                       std::to_string(claimed.score)},
        {&ended, "diverged at tick " + std::to_string(r.tickTimes.size())}};
    for (const auto& [replay, reason] : cases) {
        ReplayVerdict v = verifyReplay(*replay);
        EXPECT_FALSE(v.matches) << reason;
        EXPECT_EQ(v.reason, reason);
    }
}

TEST(Replay, DecodingRefusesWhatIsNoReplayWithAReason) {
    Replay played = pilotedReplay(3000), lateChange, fewChecks = played;
    std::vector<uint8_t> good = encodeReplay(played);
    auto with = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> b = good;
        b[at] = value;
        return b;
    };
    Replay longGame, oddLayout, markup, longTicket;
    longGame.tickTimes = {0, REPLAY_MAX_PLAY_MS + 1};
    oddLayout.start.layoutWidth = 200;
    markup.ticket = "<b>";
    lateChange.tickTimes = {0, 5};
    lateChange.changes = {RiseChange{2, 1}};
    fewChecks.checks.pop_back();
    longTicket.ticket = std::string(REPLAY_MAX_TICKET, 'a');
    std::vector<uint8_t> tooLongTicket = encodeReplay(longTicket), trailing = good;
    tooLongTicket[8] = REPLAY_MAX_TICKET + 1; // after the magic, format, edition, no version
    trailing.push_back(0);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string reason;
    } cases[] = {
        {"nothing", {}, "it is not a Reefdart replay"},
        {"another file", {'P', 'N', 'G', 0, 1, 2}, "it is not a Reefdart replay"},
        {"format 2", with(4, 2), "its format version is 2; this program reads version 1"},
        {"bytes after its end", trailing, "it has bytes after its end"},
        {"too large", std::vector<uint8_t>(REPLAY_MAX_BYTES + 1, 'R'), "it is larger than 64 KB"},
        {"a game over an hour", encodeReplay(longGame), "its game is longer than an hour"},
        {"an unknown layout", encodeReplay(oddLayout), "its layout is not one of the game's"},
        {"an unknown edition", with(6, 9), "it names no edition of the game"},
        {"markup for a ticket", encodeReplay(markup), "its ticket is malformed"},
        {"a ticket too long", tooLongTicket, "its ticket is too long"},
        {"a change after the game", encodeReplay(lateChange),
         "a rise change comes after the last tick"},
        {"a state check short", encodeReplay(fewChecks), "its state checks do not match its ticks"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.bytes), c.reason) << c.what;
    // Cut anywhere, or with any one byte changed, it is refused.
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_FALSE(refusal(cut).empty()) << n;
        EXPECT_FALSE(refusal(with(n, good[n] ^ 0x01)).empty()) << n;
    }
}

// A game left to sink, recorded as the program records it.
Replay recordedGame() {
    layoutWidth = 176;
    layoutHeight = 220;
    recordGameStart();
    resetWorld();
    std::vector<uint8_t> bytes;
    int32_t score = 0;
    for (uint32_t now = 5000;; now += 5) {
        recordTick(now);
        tickClock(now);
        advanceWorld();
        if (recordTickDone(&bytes, &score)) break;
    }
    return decoded(bytes);
}

TEST(Replay, AnOnlineGameIsSeededFromItsTicket) {
    prepareRecorder();
    setTicketSource([](char* ticket, size_t capacity, uint32_t* randomState) {
        std::snprintf(ticket, capacity, "ticket-42");
        *randomState = 4242;
        return true;
    });
    crtSrand(77);
    Replay online = recordedGame();
    EXPECT_EQ(online.ticket, "ticket-42");
    EXPECT_EQ(online.start.randomState, 4242u);
    EXPECT_TRUE(verifyReplay(online).matches);
    setTicketSource([](char*, size_t, uint32_t*) { return false; });
    crtSrand(77);
    Replay offline = recordedGame();
    setTicketSource(nullptr);
    EXPECT_EQ(offline.ticket, "");
    EXPECT_EQ(offline.start.randomState, 77u);
    EXPECT_TRUE(verifyReplay(offline).matches);
}

TEST(Replay, VerifyOnTheCommandLine) {
    std::string folder = makeTempFolder();
    Replay r = pilotedReplay(3000, 5, 77), claimed = r;
    claimed.score += SCORE_PER_COLUMN;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int code;
        std::string says;
    } cases[] = {
        {"good.rdr", encodeReplay(r), 0,
         ": a score of " + std::to_string(r.score) +
             " in 3000 ticks (15.0 s of play), final state "},
        {"claimed.rdr", encodeReplay(claimed), 1, " does not hold: it reaches a score of"},
        {"text.rdr", {'h', 'i', '\n'}, 1, " is not a valid replay: it is not a Reefdart replay"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder + "/" + c.name, output;
        writeFile(path, std::string(c.bytes.begin(), c.bytes.end()));
        EXPECT_EQ(runReefdart("--verify " + path, &output), c.code);
        EXPECT_NE(output.find(path + c.says), std::string::npos) << output;
    }
}

constexpr uint32_t SEED = 1000000;

// The first game, flown in short hops, up to script time until: its
// commands and waits as far as that time.
std::string firstGame(uint32_t until = UINT32_MAX) {
    std::vector<std::pair<std::string, uint32_t>> steps = {{"", 1500}, {"key START\n", 200}};
    for (int hop = 0; hop < 8; ++hop)
        steps.insert(steps.end(), {{"press UP\n", 300}, {"release UP\n", 200}});
    std::string script;
    uint32_t at = 0;
    for (const auto& [command, ms] : steps) {
        if (at >= until) break;
        uint32_t step = std::min(ms, until - at);
        script += command + "wait " + std::to_string(step) + "\n";
        at += step;
    }
    return script;
}

// Every game played leaves its replay, which verifies by the rules
// and, watched, ends on the frame its game ended on. The second game is left
// to sink, so it scores less (a key on the game-over screen goes back to the
// title, whose Play starts a game).
TEST(ReplayRuns, EveryGameLeavesAReplayThatVerifiesAndWatchesToItsLastFrame) {
    std::string f = makeTempFolder(), data = f + "/data";
    std::string seed = " --seed " + std::to_string(SEED);
    ASSERT_EQ(runScript(f,
                        firstGame() + "wait 15000\nkey START\nwait 1000\nkey START\nwait 15000\n",
                        "--data-dir " + data + seed),
              0);
    std::string bestBytes = readFile(data + "/bestgame.rdr");
    Replay best = decoded(bestBytes, "bestgame.rdr");
    Replay last = decoded(readFile(data + "/lastgame.rdr"), "lastgame.rdr");
    ASSERT_FALSE(best.tickTimes.empty() || last.tickTimes.empty());
    // The record file holds the better game's score, which the best replay
    // reaches; the later, poorer game is the last one.
    EXPECT_EQ(best.score, std::stoi(readFile(data + "/record.dat")));
    EXPECT_LT(last.score, best.score);
    EXPECT_GT(last.tickTimes[0], best.tickTimes.back());
    EXPECT_EQ(best.edition, EDITION_HEADLESS);
    EXPECT_EQ(last.start.bestScore, best.score);
    EXPECT_LT(bestBytes.size(), 200u); // steady 5 ms ticks: a few hundred bytes
    for (const Replay* r : {&best, &last}) EXPECT_TRUE(verifyReplay(*r).matches) << r->score;
    // The frame at the first game's last tick, from the same run cut short
    // there, is the watch's last; a tap pauses the watch and another resumes it.
    ASSERT_EQ(runScript(f, firstGame(best.tickTimes.back() - SEED) + "shot " + f + "/live.png\n",
                        "--data-dir " + f + "/again" + seed),
              0);
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
    EXPECT_EQ(readFile(f + "/watch/record.dat"), "00000"); // watching changes no files
}

} // namespace
