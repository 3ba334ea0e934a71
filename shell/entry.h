// The program as its entry sees it: the entry (platform/entry/, and the
// browser host's main) reads its command line or page, starts a host, and then
// asks for nothing but what is declared here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Sets up the program-lifetime objects and runs the program as the handheld
// starts it, until it ends; returns its exit code. The host must be running.
int runProgram();
// Whether the pilot plays (--autoplay, a script's autoplay); set it before
// runProgram.
void setAutoplay(bool on);
bool autoplayOn();
// The score a genuine score code from the game-over screen stands for; false
// when the code is not genuine.
bool scoreOfCode(const char* code, int32_t* score);
// Plays the replay in the file by the game's rules, with no display and no
// sound. Prints the score it reaches, the game's length and a hash of its
// final state and returns 0; prints why it is no valid replay, or where it
// stopped matching what was recorded, and returns 1.
int verifyReplayFile(const char* path);
// Which edition records the games played, by its host's name ("desktop",
// "headless" or "web"), and the program's version; set it before runProgram.
void setRecordingEdition(const char* hostName, const char* version);
// Reads the replay in the file to be watched once the program has started,
// and gives the device it was played on; false with the reason when the file
// is no replay this program reads.
bool watchReplayFile(const char* path, std::string* device, std::string* error);
// An online edition (one given a score site): take gives the ticket for the
// next game, whose random generator state seeds it (false: none at hand, the
// game is played without one); send gets the replay of each game played on a
// ticket once it ends, with the ticket and the game's final state hash.
void setOnlineEdition(bool (*take)(char* ticket, size_t capacity, uint32_t* randomState),
                      void (*send)(const uint8_t* bytes, size_t size, const char* ticket,
                                   uint64_t finalHash));
// The score site the game-over screen names (its address as a player types
// it, e.g. "scores.example.net"); set before runProgram.
void setScoreSiteName(const char* name);
