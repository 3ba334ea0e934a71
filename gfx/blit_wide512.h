// The line kernels of blit_wide.h in 512-bit vectors, for x86-64 processors
// that have AVX-512BW and AVX-512VL; the entry points of blit_wide.h call
// them when widestBlitsReady() is true. They give the same pixels as the
// portable walks. Their loads and stores are masked to the lanes inside the
// line, so they touch nothing before or after it and need no room there.
#pragma once

#include <cstdint>

// The tinted blend of one line of n >= 1 pixels, and of h rows of w, yPitch
// and srcPitch apart. Pixels at level 0 are not written.
void tintLine512(uint16_t* d, const uint16_t* s, int32_t n, uint16_t colour);
void tintRows512(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                 int32_t h, uint16_t colour);

// One line of n >= 1 pixels of the smoothed keyed copy, and h rows of w, the
// first and last rows being the edge lines.
void smoothLine512(uint16_t* d, const uint16_t* cur, const uint16_t* prev, const uint16_t* next,
                   int32_t n, bool edgeLine, uint16_t key);
void smoothRows512(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                   int32_t h, uint16_t key);
