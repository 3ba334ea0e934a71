#include "shell/entry.h"

#include "game/replay.h"
#include "game/score_code.h"
#include "shell/app.h"
#include "shell/autopilot.h"
#include "shell/startup.h"

#include <cstdio>
#include <string>
#include <vector>

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

int verifyReplayFile(const char* path) {
    std::vector<uint8_t> bytes(REPLAY_MAX_BYTES + 1);
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::printf("%s: cannot be read\n", path);
        return 1;
    }
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    Replay replay;
    std::string why;
    if (!decodeReplay(bytes.data(), bytes.size(), &replay, &why)) {
        std::printf("%s is not a valid replay: %s\n", path, why.c_str());
        return 1;
    }
    ReplayVerdict v = verifyReplay(replay);
    if (!v.matches) {
        std::printf("%s does not hold: it %s\n", path, v.reason.c_str());
        return 1;
    }
    std::printf("%s: a score of %d in %u ticks (%.1f s of play), final state %016llx\n", path,
                static_cast<int>(v.score), static_cast<unsigned>(v.ticks), v.playMs / 1000.0,
                static_cast<unsigned long long>(v.finalHash));
    return 0;
}
