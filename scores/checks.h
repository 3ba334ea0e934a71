// The score site's small rules: names, keys, the time a game may take to
// arrive, the week's start, escaping and random ticket values.
#pragma once

#include "game/simulate.h"

#include <cstdint>
#include <string>
#include <vector>

// Null when name may be published, else the reason it may not: 1 to 12
// letters, digits, spaces, dots or dashes, not starting or ending with a
// space, and not one of a few reserved words.
const char* nameProblem(const std::string& name);
// An installation's key: 16 to 64 letters, digits, '-' or '_'.
bool keyIsValid(const std::string& key);
// The tolerance between a game's play time and the time the site saw it
// take (from its start to its end being announced): 2% and 2 seconds.
int64_t timingTolerance(uint32_t playMs);
// Empty when a game of playMs that started at startedMs and ended at endMs
// could have been played in real time, else why not.
std::string timingProblem(int64_t startedMs, int64_t endMs, uint32_t playMs);
// Monday 00:00 UTC of the week holding nowMs (ms since the epoch).
int64_t weekStartMs(int64_t nowMs);
std::string escapeHtml(const std::string& text);
// What the site notes on a verified run whose input a human hand could hardly
// give: "fast" when the rise control changes more than ten times a second
// over the game, "regular" when most of its changes come at exactly the same
// interval; "" otherwise. The run is still ranked; the note is for watchers
// and moderators.
std::string inputTimingFlag(const std::vector<RiseChange>& changes, uint32_t playMs);
// Lower-case hex SHA-256.
std::string sha256Hex(const std::string& data);
std::string sha256Hex(const uint8_t* data, size_t size);
// 22 random URL-safe characters (132 bits), and a random generator state.
std::string randomTicketId();
uint32_t randomSeed();
