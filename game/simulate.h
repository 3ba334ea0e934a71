// One game played by its rules alone: no display, no sound and no message
// loop. What a game starts from and the times of its ticks and the changes
// of the rise control fix everything that happens in it, so the same input
// gives the same score and the same final state on every machine.
#pragma once

#include <cstddef>
#include <cstdint>

// What a game starts from: the random generator's state when newGame runs,
// the values a game carries over from the one before, the layout, the rise
// control as it stands when the game begins and the best score so far.
struct GameStart {
    uint32_t randomState = 1;
    int32_t hitCooldown = 0;
    int32_t floorEdgeNow = 0, floorEdgeRun = 0;
    int32_t ceilingEdgeNow = 0, ceilingEdgeRun = 0;
    int32_t layoutWidth = 240, layoutHeight = 320;
    int32_t riseHeld = 0;
    // The best score before the game: the screen shows it and the game
    // raises it, but it changes nothing else.
    int32_t bestScore = 0;
    // The phase of the text's wave, which stands still during a game: only
    // the look of the screen's words depends on it.
    float textPhase = 0.0f;
};

// riseHeld becomes held (0 or 1) just before tick number tick (0 is the
// game's first tick).
struct RiseChange {
    uint32_t tick;
    int32_t held;
};

struct GameOutcome {
    int32_t score = 0;      // the final score, SCORE_PER_COLUMN a column flown
    uint64_t stateHash = 0; // hashGameState() after the last tick
    uint32_t ticksPlayed = 0;
    bool over = false; // the score can no longer change
};

// Sets up a game from start (newGame's work, without its music), then runs
// the game's rules for each tick time in turn, applying the rise changes
// before their ticks. The changes must come in tick order. Uses and leaves
// the program's game state (world, fishEnergy, the tick clock), as the
// running program does.
GameOutcome simulateGame(const GameStart& start, const uint32_t* tickTimes, size_t tickCount,
                         const RiseChange* changes, size_t changeCount);

// The same one tick at a time: beginSimulation sets up the game from start,
// then each simulateTick runs the rules for one tick at time now (with
// riseHeld as it stands).
void beginSimulation(const GameStart& start);
void simulateTick(uint32_t now);

// A hash (64-bit FNV-1a) of the whole state of the game: every field of the
// world in order, each float by its bits, and the fish's energy.
uint64_t hashGameState();

// Whether the game is over and its score final: the fish has no energy and
// the cave has stopped.
bool gameIsOver();
