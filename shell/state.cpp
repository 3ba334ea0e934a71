#include "shell/state.h"

int32_t appMode = MODE_FRONTEND;
int32_t menuScreen = SCREEN_TITLE;
int32_t menuCursor = 0;
int32_t gameKind = 0;
int32_t keyCaptureActive = 0;
int32_t keyCaptureIndex = 4;

float frameDt = 0.0f;
int32_t gameSeconds = 0;
int32_t gameMinutes = 0;
uint32_t msSinceSecond = 0;
uint32_t lastTickTime = 0;
uint32_t secondMark = 0;

int32_t riseHeld = 0;
int32_t tapX = 0, tapY = 0;
int32_t tapPending = 0;
int32_t synthSelect = 0;
int16_t gxUp = 0, gxDown = 0, gxLeft = 0, gxRight = 0, gxA = 0, gxB = 0, gxC = 0, gxStart = 0;

// Beside the timing it sets, apart from the screens, so that the game's rules
// link on their own.
void tickClock(uint32_t now) {
    if (lastTickTime == 0) lastTickTime = now;
    uint32_t delta = now - lastTickTime;
    lastTickTime = now;
    msSinceSecond = now - secondMark;
    uint32_t capped = delta < FRAME_DT_CAP_MS ? delta : FRAME_DT_CAP_MS;
    frameDt = static_cast<float>(capped * 0.001);
    if (msSinceSecond <= 1000) return;
    if (++gameSeconds == 60) {
        gameSeconds = 0;
        ++gameMinutes;
    }
    secondMark = now;
}
