// The live, final and best scores.
#include "game/world.h"

int32_t liveScore() {
    return static_cast<int32_t>(7 * world.columnCount + world.scrollFraction * 7.0);
}

int32_t finalScore() {
    return SCORE_PER_COLUMN * world.columnCount;
}

void updateBestScore() {
    if (finalScore() > bestScore) bestScore = finalScore();
}

bool recordInSight() {
    int32_t score = finalScore();
    return bestScore > 10 && score > bestScore && score < bestScore + 100;
}
