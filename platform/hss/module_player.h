// The module player the sound library plays its music through, behind a few
// plain calls so that the library does not know the decoder: each host's build
// gives one (platform/native: libopenmpt; platform/web: the page's player).
#pragma once

#include <cstddef>
#include <cstdint>

struct ModulePlayer;

// Decodes a module held in memory (the bytes may go once this returns).
// Returns null when the data is not a module the decoder understands.
ModulePlayer* createModulePlayer(const void* data, size_t size);
void destroyModulePlayer(ModulePlayer* player);
// looping true: the song repeats forever; false: it plays once and ends.
void setModuleLooping(ModulePlayer* player, bool looping);
// Renders up to count mono samples at rate; returns how many were written,
// fewer (down to 0) once a song that does not loop has ended.
size_t readModuleSamples(ModulePlayer* player, int rate, size_t count, int16_t* out);
// Seconds from the start of the song.
double modulePosition(ModulePlayer* player);
// The decoder's diagnostics are kept here instead of going to stderr: how many
// messages it has written so far, in all players.
int moduleLogMessageCount();
