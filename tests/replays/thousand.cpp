// replay_thousand [GAMES]: games recorded as the running program records them,
// piloted from varied random states, carried-over values and layouts at a
// steady tick with an occasional late one, must each decode and verify to the
// score the game reached. Prints the replays' sizes and verification time.
#include "game/recorder.h"
#include "game/replay.h"
#include "game/world.h"
#include "gfx/layout.h"
#include "platform/wince/runtime.h"
#include "shell/autopilot.h"
#include "shell/state.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int32_t LAYOUTS[3][2] = {{240, 320}, {240, 240}, {176, 220}};
// A game still flying after this long is let go, so that every game ends.
constexpr uint32_t LONGEST_FLIGHT_TICKS = 15 * 60 * 200;

struct Game {
    std::vector<uint8_t> bytes;
    int32_t score = 0;
    uint32_t ticks = 0;
};

uint32_t mix(uint32_t x) {
    x = (x ^ x >> 16) * 0x7feb352dU;
    x = (x ^ x >> 15) * 0x846ca68bU;
    return x ^ (x >> 16);
}

// Game number n: what the program would have carried into it, then the
// pilot's flight (every fourth game with a slip: the control held the wrong
// way for half a second now and then) until the score is final.
Game play(uint32_t n) {
    uint32_t h = mix(n + 1);
    layoutWidth = LAYOUTS[n % 3][0];
    layoutHeight = LAYOUTS[n % 3][1];
    world.hitCooldown = static_cast<int32_t>(h % 7);
    world.floorEdgeNow = static_cast<int32_t>(h >> 3 & 3);
    world.floorEdgeRun = static_cast<int32_t>(h >> 5 & 3);
    world.ceilingEdgeNow = static_cast<int32_t>(h >> 7 & 3);
    world.ceilingEdgeRun = static_cast<int32_t>(h >> 9 & 3);
    riseHeld = 0;
    crtSrand(mix(h));
    recordGameStart();
    resetWorld();
    uint32_t slipEvery = n % 4 == 0 ? 1500 + h % 4000 : 0;
    uint32_t now = 1000 + (h & 0xFFFFF);
    Game g;
    for (uint32_t t = 0; t <= 800000; ++t) {
        bool want = fishEnergy > 0 && t < LONGEST_FLIGHT_TICKS && pilotWantsRise();
        if (slipEvery && t % slipEvery < 100) want = !want;
        if (fishEnergy > 0) riseHeld = want ? 1 : 0;
        recordTick(now);
        tickClock(now);
        advanceWorld();
        if (recordTickDone(&g.bytes, &g.score)) {
            g.ticks = t + 1;
            return g;
        }
        now += t % 997 == 996 ? 12 : 5;
    }
    return g;
}

} // namespace

int main(int argc, char** argv) {
    int games = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (games < 1) {
        std::fprintf(stderr, "usage: replay_thousand [GAMES]\n");
        return 2;
    }
    setRecorderEdition(EDITION_HEADLESS, "1.0.0");
    prepareRecorder();
    std::vector<size_t> sizes;
    double playMinutes = 0, verifySeconds = 0, bytesTotal = 0;
    int failures = 0;
    for (int n = 0; n < games; ++n) {
        Game g = play(static_cast<uint32_t>(n));
        Replay r;
        std::string why = "none";
        if (g.bytes.empty() || !decodeReplay(g.bytes.data(), g.bytes.size(), &r, &why)) {
            std::printf("game %d: no replay kept (%s)\n", n, why.c_str());
            ++failures;
            continue;
        }
        auto begin = std::chrono::steady_clock::now();
        ReplayVerdict v = verifyReplay(r);
        verifySeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (!v.matches || v.score != g.score || v.ticks != g.ticks) {
            std::printf("game %d: the replay %s (score %d, the game's %d)\n", n,
                        v.matches ? "matches" : v.reason.c_str(), v.score, g.score);
            ++failures;
        }
        sizes.push_back(g.bytes.size());
        bytesTotal += static_cast<double>(g.bytes.size());
        playMinutes += v.playMs / 60000.0;
    }
    std::sort(sizes.begin(), sizes.end());
    if (!sizes.empty())
        std::printf("%zu replays, %.0f minutes of play: sizes %zu / %zu / %zu bytes (least, "
                    "median, most), %.0f bytes a minute of play; verified in %.2f ms a minute "
                    "of play\n",
                    sizes.size(), playMinutes, sizes.front(), sizes[sizes.size() / 2], sizes.back(),
                    bytesTotal / playMinutes, 1000 * verifySeconds / playMinutes);
    if (failures) std::printf("%d of %d games failed\n", failures, games);
    return failures ? 1 : 0;
}
