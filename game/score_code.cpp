#include "game/score_code.h"

#include "game/game.h"

int32_t scoreCode(int32_t columnCount) {
    int32_t x = columnCount * SCORE_CODE_K1 + SCORE_CODE_K2;
    int32_t check = (x / SCORE_CODE_K3) % 10;
    return x + check * 10000000;
}

int checkScoreCode(const char* text, int32_t* score) {
    if (!text || !*text) return 0;
    int64_t code = 0;
    int digits = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9' || ++digits > 8) return 0;
        code = code * 10 + (*p - '0');
    }
    int64_t x = code % 10000000;
    if (x < SCORE_CODE_K2 || (x - SCORE_CODE_K2) % SCORE_CODE_K1 != 0) return 0;
    int64_t columns = (x - SCORE_CODE_K2) / SCORE_CODE_K1;
    // The game draws the code's lowest 8 digits; codes whose x passed
    // 10 000 000 do not come from a finished game (over 16 000 columns).
    if (scoreCode(static_cast<int32_t>(columns)) != code) return 0;
    *score = static_cast<int32_t>(columns * SCORE_PER_COLUMN);
    return 1;
}
