// A game replay: what one game starts from and everything that steers it,
// with hashes of the game's state along the way, in a small little-endian
// encoding (docs/replay.md). Playing it again by the game's rules gives the
// same score and state on every machine, or says at which tick it stopped
// matching.
#pragma once

#include "game/simulate.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t REPLAY_FORMAT = 1;
constexpr size_t REPLAY_MAX_BYTES = 64 * 1024;
// The longest game a replay may hold: an hour of play.
constexpr uint32_t REPLAY_MAX_PLAY_MS = 3600u * 1000u;
// Ticks between two state checks: five seconds at the 5 ms tick.
constexpr uint32_t REPLAY_CHECK_TICKS = 1000;
constexpr size_t REPLAY_MAX_VERSION = 32;
// A score site's ticket: 1 to 32 letters, digits, '-' or '_'; empty for a
// game played without one.
constexpr size_t REPLAY_MAX_TICKET = 32;

enum : uint8_t { EDITION_DESKTOP = 1, EDITION_HEADLESS = 2, EDITION_BROWSER = 3 };

struct Replay {
    uint8_t edition = EDITION_HEADLESS;
    std::string version; // of the program that made it
    std::string ticket;  // the score site's ticket the game was seeded from
    GameStart start;
    std::vector<uint32_t> tickTimes; // the tick count at each tick of the game
    std::vector<RiseChange> changes; // in tick order
    std::vector<uint32_t> checks;    // low 32 bits of the state hash after
                                     // every REPLAY_CHECK_TICKS-th tick
    uint64_t finalHash = 0;          // hashGameState() after the last tick
    int32_t score = 0;               // the score the game showed
};

// Plays the game by its rules and fills in replay's checks, final hash and
// score from what it reaches.
void sealReplay(Replay* replay);

std::vector<uint8_t> encodeReplay(const Replay& replay);
// False with the reason (one short English sentence) when the bytes are not a
// replay this program reads: malformed, truncated, too large, too long a
// game, another format version, or a damaged checksum.
bool decodeReplay(const uint8_t* bytes, size_t size, Replay* replay, std::string* reason);

struct ReplayVerdict {
    bool matches = false;
    std::string reason;  // why not, e.g. "diverged at tick 4000"
    int32_t score = 0;   // the score the rules reach
    uint32_t ticks = 0;  // ticks played
    uint32_t playMs = 0; // from the first tick to the last
    uint64_t finalHash = 0;
};

// Plays the replay by the game's rules, checking the state at each check
// and at the end against what the replay recorded.
ReplayVerdict verifyReplay(const Replay& replay);

// Whether text is a ticket as a replay holds one (not empty).
bool isTicketText(const std::string& text);
