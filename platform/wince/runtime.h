// The handheld runtime's pseudo-random generator, so that a seeded run draws
// the same numbers on every host.
#pragma once

#include <cstdint>

// The classic linear congruential generator: state = state * 214013 + 2531011,
// result (state >> 16) & 0x7FFF.
void crtSrand(uint32_t seed);
int crtRand();
// The generator's state: crtSrand(crtRandState()) changes nothing.
uint32_t crtRandState();
