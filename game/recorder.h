// The game being played, recorded tick by tick as a replay (game/replay.h).
// Recording reserves its memory once and then allocates nothing while a game
// is played; only the game's last tick builds the replay's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Which edition records (EDITION_DESKTOP and so on) and the program's version.
void setRecorderEdition(uint8_t edition, const char* version);
// Where an online edition's tickets come from: take fills in the ticket's
// text (at most capacity - 1 characters) and the random generator's state the
// game is to start from, or returns false when it has none at hand (the game
// is then played without one, from the generator as it stands).
using TicketSource = bool (*)(char* ticket, size_t capacity, uint32_t* randomState);
void setTicketSource(TicketSource take);
// Reserves the recorder's memory; once, at start-up.
void prepareRecorder();
// A game is about to start (before newGame): takes a ticket when an online
// edition has one, seeding the game from it, and what the game starts from.
void recordGameStart();
// The game's tick at tick count now is about to run, with riseHeld as it
// stands.
void recordTick(uint32_t now);
// The tick has run. Once the game is over and its score final, returns true
// once with the replay's bytes and the score; false on every other tick, and
// for a game too long or too uneven to keep (over an hour, or over the size
// limit).
bool recordTickDone(std::vector<uint8_t>* bytes, int32_t* score);
