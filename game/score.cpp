// The live, final and best scores.
#include "game/world.h"

// Kept on purpose: fidelity K15.
int32_t liveScore() {
    return static_cast<int32_t>(SCORE_PER_COLUMN * world.columnCount +
                                world.scrollFraction * static_cast<double>(SCORE_PER_COLUMN));
}

int32_t finalScore() {
    return SCORE_PER_COLUMN * world.columnCount;
}

void updateBestScore() {
    if (finalScore() > bestScore) bestScore = finalScore();
}

void settleBestScore() {
    // Kept on purpose: fidelity K14.
    shownBestScore = bestScore;
    if (fishEnergy == 0) updateBestScore();
}

bool recordInSight() {
    int32_t score = finalScore();
    // Kept on purpose: fidelity K16.
    return bestScore > 10 && score > bestScore && score < bestScore + 100;
}
