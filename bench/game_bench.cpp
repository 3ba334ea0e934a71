// The game's rules alone, as a score checker runs them: a 10-minute game
// (120,000 ticks of 5 ms) played by the pilot, then replayed from its tick
// times and rise changes with no display, no sound and no message loop.
// Prints ticks a second and the ratio to real time (200 ticks a second).
#include "game/simulate.h"
#include "game/world.h"
#include "shell/autopilot.h"
#include "shell/state.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr uint32_t TICKS = 120000;
constexpr uint32_t TICK_MS = 5;
constexpr double REAL_TIME_TICKS_PER_SECOND = 200.0;

struct RecordedGame {
    GameStart start;
    std::vector<uint32_t> times;
    std::vector<RiseChange> changes;
};

// The pilot flies the game tick by tick; its presses become the rise changes.
RecordedGame pilotedGame() {
    RecordedGame g;
    g.start.randomState = 1000000;
    for (uint32_t t = 0; t < TICKS; ++t) g.times.push_back(1000000 + t * TICK_MS);
    g.changes = pilotRiseChanges(g.start, g.times);
    return g;
}

void BM_GameRules10Minutes(benchmark::State& state) {
    static const RecordedGame game = pilotedGame();
    GameOutcome outcome;
    for (auto _ : state) {
        outcome = simulateGame(game.start, game.times.data(), game.times.size(),
                               game.changes.data(), game.changes.size());
        benchmark::DoNotOptimize(outcome);
    }
    state.counters["ticks_per_s"] =
        benchmark::Counter(TICKS, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["x_real_time"] = benchmark::Counter(
        TICKS / REAL_TIME_TICKS_PER_SECOND, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["score"] = outcome.score;
}
BENCHMARK(BM_GameRules10Minutes)->Unit(benchmark::kMillisecond);

} // namespace
