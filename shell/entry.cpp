#include "shell/entry.h"

#include "game/score_code.h"
#include "shell/app.h"
#include "shell/autopilot.h"
#include "shell/startup.h"

int runProgram() {
    constructProgramObjects();
    return WinMain(nullptr, nullptr, L"", SW_SHOW);
}

void setAutoplay(bool on) {
    autopilotOn = on;
}

bool autoplayOn() {
    return autopilotOn;
}

bool scoreOfCode(const char* code, int32_t* score) {
    return checkScoreCode(code, score) != 0;
}
