// The 8-digit code on the game-over screen that lets a score be checked
// later: x = columns * SCORE_CODE_K1 + SCORE_CODE_K2, and the leading digit is
// the check digit (x / SCORE_CODE_K3) mod 10.
#pragma once

#include <cstdint>

constexpr int32_t SCORE_CODE_K1 = 613;   // three digits
constexpr int32_t SCORE_CODE_K2 = 48271; // five digits
constexpr int32_t SCORE_CODE_K3 = 37;    // two digits

int32_t scoreCode(int32_t columnCount);
// 1 and the score (7 per column) when text is a code scoreCode makes, else 0.
int checkScoreCode(const char* text, int32_t* score);
