// Writes the stored replays every build of the game must play to the same end,
// and expected.txt, what each reaches:
//
//     make_replays tests/replays
//
// Games flown by the pilot (or with the rise held) on the three layouts, from
// different random states and carried-over values, at steady, uneven and
// stalling tick times. The same program writes the same bytes every time.
#include "game/replay.h"
#include "game/world.h"
#include "shell/autopilot.h"
#include "shell/state.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t TICK_MS = 5;

std::vector<uint32_t> steadyTicks(uint32_t first, uint32_t seconds) {
    std::vector<uint32_t> times;
    for (uint32_t t = 0; t <= seconds * 1000; t += TICK_MS) times.push_back(first + t);
    return times;
}

// Steps of 5 to 9 ms drawn from a fixed generator of their own.
std::vector<uint32_t> unevenTicks(uint32_t first, uint32_t seconds, uint32_t seed) {
    std::vector<uint32_t> times{first};
    for (uint32_t elapsed = 0; elapsed < seconds * 1000;) {
        seed = seed * 1664525u + 1013904223u;
        elapsed += 5 + (seed >> 16) % 5;
        times.push_back(first + elapsed);
    }
    return times;
}

// A steady tick with a long pause every stallEvery ticks, longer than the
// frame's cap.
std::vector<uint32_t> stallingTicks(uint32_t first, uint32_t seconds, uint32_t stallEvery) {
    std::vector<uint32_t> times{first};
    for (uint32_t i = 1, t = first; t - first < seconds * 1000; ++i) {
        t += i % stallEvery == 0 ? 120 : TICK_MS;
        times.push_back(t);
    }
    return times;
}

// The rise held for the first heldTicks ticks, then the pilot's.
std::vector<RiseChange> heldThenPiloted(const GameStart& start, const std::vector<uint32_t>& times,
                                        size_t heldTicks) {
    std::vector<RiseChange> changes;
    beginSimulation(start);
    for (size_t t = 0; t < times.size(); ++t) {
        int32_t want = t < heldTicks || (fishEnergy > 0 && pilotWantsRise()) ? 1 : 0;
        if (want != riseHeld) changes.push_back(RiseChange{static_cast<uint32_t>(t), want});
        riseHeld = want;
        simulateTick(times[t]);
    }
    return changes;
}

GameStart startOf(uint32_t randomState, int32_t width, int32_t height) {
    GameStart s;
    s.randomState = randomState;
    s.layoutWidth = width;
    s.layoutHeight = height;
    return s;
}

GameStart carried(GameStart s, int32_t grace, int32_t floorNow, int32_t floorRun,
                  int32_t ceilingNow, int32_t ceilingRun) {
    s.hitCooldown = grace;
    s.floorEdgeNow = floorNow;
    s.floorEdgeRun = floorRun;
    s.ceilingEdgeNow = ceilingNow;
    s.ceilingEdgeRun = ceilingRun;
    return s;
}

Replay piloted(const GameStart& start, std::vector<uint32_t> times) {
    Replay r;
    r.start = start;
    r.changes = pilotRiseChanges(start, times);
    r.tickTimes = std::move(times);
    return r;
}

Replay held(GameStart start, std::vector<uint32_t> times, size_t heldTicks) {
    start.riseHeld = 1;
    Replay r;
    r.start = start;
    r.changes = heldThenPiloted(start, times, heldTicks);
    r.tickTimes = std::move(times);
    return r;
}

struct Stored {
    const char* name;
    Replay replay;
};

// The random states were picked for long flights: the pilot rarely lasts two
// minutes as the cave speeds up. The long game is ten minutes of ticks, the
// last seven of them after the crash, with the cave at rest.
std::vector<Stored> replays() {
    const size_t always = SIZE_MAX;
    return {
        {"standard_steady.rdr", piloted(startOf(2, 240, 320), steadyTicks(20000, 120))},
        {"square_wrapping_clock.rdr", piloted(carried(startOf(191, 240, 240), 3, 1, 2, 0, 3),
                                              steadyTicks(0xFFFFFFFFu - 30000, 120))},
        {"small_carried.rdr",
         piloted(carried(startOf(192, 176, 220), 6, 3, 1, 2, 0), steadyTicks(777, 120))},
        {"uneven_steps.rdr", piloted(startOf(0x12345678u, 240, 320), unevenTicks(54321, 40, 2024))},
        {"small_stalls.rdr",
         piloted(carried(startOf(54, 176, 220), 0, 0, 3, 1, 1), stallingTicks(1000, 100, 1500))},
        {"long_game.rdr", piloted(startOf(2273, 240, 320), steadyTicks(5000, 600))},
        {"square_held_start.rdr",
         held(carried(startOf(146, 240, 240), 6, 2, 0, 2, 0), steadyTicks(5000, 180), 250)},
        {"held_to_the_end.rdr", held(startOf(31337, 240, 320), steadyTicks(9000, 40), always)},
    };
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_replays DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    std::string table = "# The stored replays and what every build reaches playing them: file,\n"
                        "# score, ticks, final state hash. Written by make_replays.\n";
    for (Stored& s : replays()) {
        Replay& r = s.replay;
        r.edition = EDITION_HEADLESS;
        r.version = REEFDART_VERSION;
        sealReplay(&r);
        bool over = gameIsOver();
        std::vector<uint8_t> bytes = encodeReplay(r);
        Replay back;
        std::string reason;
        if (bytes.size() > REPLAY_MAX_BYTES ||
            !decodeReplay(bytes.data(), bytes.size(), &back, &reason) ||
            !verifyReplay(back).matches || !writeFile(dir + "/" + s.name, bytes)) {
            std::fprintf(stderr, "%s: cannot be stored %s\n", s.name, reason.c_str());
            return 1;
        }
        char row[160];
        std::snprintf(row, sizeof row, "%s %" PRId32 " %zu %016" PRIx64 "\n", s.name, r.score,
                      r.tickTimes.size(), r.finalHash);
        table += row;
        std::printf("%s: %zu bytes, %zu rise changes, score %" PRId32 "%s\n", s.name, bytes.size(),
                    r.changes.size(), r.score, over ? ", game over" : "");
    }
    if (!writeFile(dir + "/expected.txt", std::vector<uint8_t>(table.begin(), table.end()))) {
        std::fprintf(stderr, "%s/expected.txt cannot be written\n", dir.c_str());
        return 1;
    }
    return 0;
}
