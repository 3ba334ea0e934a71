// The replays the program keeps in its data folder: the last finished game
// and the best one, each replaced as safely as the settings files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr const char* LAST_REPLAY_FILE = "lastgame.rdr";
constexpr const char* BEST_REPLAY_FILE = "bestgame.rdr";

// Where an online edition sends the replay of each kept game that was played
// on a ticket, with that ticket and the game's final state hash.
using ReplaySender = void (*)(const uint8_t* bytes, size_t size, const char* ticket,
                              uint64_t finalHash);
void setReplaySender(ReplaySender send);
// Takes the score of the best replay kept so far; at start-up.
void loadKeptReplays();
// A game has ended with score: keeps its replay as the last game, and as the
// best when it beats the best replay kept (a tie keeps the earlier game).
void keepReplay(const std::vector<uint8_t>& bytes, int32_t score);
