// Line kernels of the blits in 256-bit vectors, for x86-64 processors that
// have AVX2; chosen at run time. Each kernel works on a line of adjacent
// destination pixels and adjacent source pixels and gives exactly the
// pixels of the portable walks. A kernel may read and write back, unchanged,
// up to 16 pixels after the line's end; it is given the end of the
// destination block and of the source memory, and when a short line leaves
// no such room it does nothing and returns false, so that the caller walks
// the line the portable way. destRoom is the number of pixels from d to the
// end of the destination block, srcRoom the number that can be read from the
// start of every source line given.
#pragma once

#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(__EMSCRIPTEN__)
#define REEFDART_WIDE_BLITS 1
#endif

// True when blitWideVectors is set and the processor has AVX2.
bool wideBlitsReady();
// True when blitWideVectors and blitWidestVectors are set and the processor
// has AVX-512BW and AVX-512VL: the kernels below then run in 512-bit vectors
// (blit_wide512.h), under lane masks that keep every load and store inside
// the line, so they need no room after it and always do the line.
bool widestBlitsReady();

// Pixels per vector, and the longest destination column the column walks
// take.
constexpr int32_t WIDE_PIXELS = 16;
constexpr int32_t WIDE_MAX_LINE = 512;

// d[i] = the blend of colour into d[i] at level s[i] & 31, for i < n. A short
// line without room goes through a copy, so this one always does the line.
void wideTintLine(uint16_t* d, const uint16_t* s, int32_t n, uint16_t colour, int64_t destRoom,
                  int64_t srcRoom);
// The same for h rows of w, yPitch and srcPitch apart, and for a destination
// whose columns are adjacent pixels (yPitch 1), xPitch apart, with w and h
// of 8 to WIDE_MAX_LINE.
void wideTintRows(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                  int32_t h, uint16_t colour, const uint16_t* destEnd, const uint16_t* srcEnd);
void wideTintColumns(uint16_t* d, int32_t xPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                     int32_t h, uint16_t colour, const uint16_t* destEnd);

// One line of the smoothed keyed copy of n pixels: cur is the source line,
// prev and next the lines beside it, which an edge line does not read (its
// neighbours across count as the key).
bool wideSmoothLine(uint16_t* d, const uint16_t* cur, const uint16_t* prev, const uint16_t* next,
                    int32_t n, bool edgeLine, uint16_t key, int64_t destRoom, int64_t srcRoom);

// The same for h rows of w >= WIDE_PIXELS, yPitch and srcPitch apart; the
// first and last rows are the edge lines.
void wideSmoothRows(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                    int32_t h, uint16_t key);

// Copies h rows of w >= 8 pixels, yPitch and srcPitch apart.
void wideCopyRows(uint16_t* d, int32_t yPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                  int32_t h);
// The same for a destination whose columns are adjacent pixels (yPitch 1),
// xPitch apart, for w and h of at least 8.
void wideCopyColumns(uint16_t* d, int32_t xPitch, const uint16_t* s, int32_t srcPitch, int32_t w,
                     int32_t h);
