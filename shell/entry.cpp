#include "shell/entry.h"

#include "game/game_screen.h"
#include "game/recorder.h"
#include "game/replay.h"
#include "game/score_code.h"
#include "shell/app.h"
#include "shell/autopilot.h"
#include "shell/replays.h"
#include "shell/startup.h"
#include "shell/watch.h"

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

namespace {

// Reads and decodes a replay file; false with a sentence saying why not.
bool readReplayFile(const char* path, Replay* replay, std::string* error) {
    std::vector<uint8_t> bytes(REPLAY_MAX_BYTES + 1);
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        *error = std::string(path) + " cannot be read";
        return false;
    }
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    std::string why;
    if (!decodeReplay(bytes.data(), bytes.size(), replay, &why)) {
        *error = std::string(path) + " is not a valid replay: " + why;
        return false;
    }
    return true;
}

} // namespace

void setScoreSiteName(const char* name) {
    std::snprintf(scoreSite, sizeof scoreSite, "%s", name ? name : "");
}

void setRecordingEdition(const char* hostName, const char* version) {
    std::string name = hostName;
    setRecorderEdition(name == "desktop" ? EDITION_DESKTOP
                       : name == "web"   ? EDITION_BROWSER
                                         : EDITION_HEADLESS,
                       version);
}

void setOnlineEdition(bool (*take)(char* ticket, size_t capacity, uint32_t* randomState),
                      void (*send)(const uint8_t* bytes, size_t size, const char* ticket,
                                   uint64_t finalHash)) {
    setTicketSource(take);
    setReplaySender(send);
}

bool watchReplayFile(const char* path, std::string* device, std::string* error) {
    Replay replay;
    if (!readReplayFile(path, &replay, error)) return false;
    const GameStart& s = replay.start;
    *device = s.layoutHeight == 320 ? "qvga" : s.layoutHeight == 240 ? "square" : "small";
    setWatchReplay(replay);
    return true;
}

int verifyReplayFile(const char* path) {
    Replay replay;
    std::string error;
    if (!readReplayFile(path, &replay, &error)) {
        std::printf("%s\n", error.c_str());
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
