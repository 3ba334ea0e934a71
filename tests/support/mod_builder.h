// Small sound files made in memory: a 4-channel "M.K." module and WAVE clips.
#pragma once

#include <cstdint>
#include <vector>

struct ModuleShape {
    int patterns = 2;        // each used once, in order
    int rowsPerPattern = 64; // fewer: a pattern break ends each pattern early
    int basePeriod = 428;    // Amiga period of the lowest note (428 is C-2)
    int sampleVolume = 40;   // 0..64
    int speed = 6;           // ticks per row
};

std::vector<uint8_t> makeModule(const ModuleShape& shape = ModuleShape());

// A PCM WAVE file; stereo frames hold each sample twice, 8-bit ones its high byte.
std::vector<uint8_t> makeWave(const std::vector<int16_t>& samples, int rate = 22050, int bits = 16,
                              int channels = 1);

// A short decaying tone, the kind of sound a menu click is.
std::vector<int16_t> clickTone(int count = 1100, int amplitude = 12000);

// Registers a menu module ("MODULE", 1), a game module ("MODULE", 2) and a click ("WAVE", 1).
void registerTestSounds();
const std::vector<uint8_t>& testMenuModule();
const std::vector<uint8_t>& testGameModule();
