// The recorder keeps the tick times as runs of equal steps, as the encoding
// does, so a steady clock costs a few runs however long the game.
#include "game/recorder.h"

#include "game/replay.h"
#include "game/simulate.h"
#include "game/world.h"
#include "gfx/text.h"
#include "persist/settings.h"
#include "platform/wince/runtime.h"
#include "shell/state.h"

#include <string>

namespace {

struct TickRun {
    uint32_t step;   // ms from the tick before
    uint32_t repeat; // ticks in the run
};

// Each run costs the encoding two bytes at least and each rise change one,
// so no replay within the size limit holds more.
constexpr size_t RUN_CAPACITY = REPLAY_MAX_BYTES / 2;
constexpr size_t CHANGE_CAPACITY = REPLAY_MAX_BYTES;
constexpr uint32_t TICK_LIMIT = REPLAY_MAX_PLAY_MS / 5 + 1;

struct Recorder {
    uint8_t edition = EDITION_HEADLESS;
    std::string version;
    TicketSource takeTicket = nullptr;
    char ticket[REPLAY_MAX_TICKET + 1] = {};
    bool active = false;
    bool tooLong = false;
    GameStart start;
    int32_t held = 0;
    uint32_t ticks = 0, first = 0, last = 0;
    std::vector<TickRun> runs;
    std::vector<RiseChange> changes;
    std::vector<uint32_t> checks;
};

Recorder rec;

template <typename T> bool append(std::vector<T>& list, const T& value) {
    if (list.size() == list.capacity()) return false;
    list.push_back(value);
    return true;
}

void noteTime(uint32_t now) {
    if (rec.ticks == 0) {
        rec.first = now;
    } else if (now - rec.first > REPLAY_MAX_PLAY_MS) {
        rec.tooLong = true;
    } else if (!rec.runs.empty() && rec.runs.back().step == now - rec.last) {
        ++rec.runs.back().repeat;
    } else if (!append(rec.runs, TickRun{now - rec.last, 1})) {
        rec.tooLong = true;
    }
    rec.last = now;
}

Replay assemble() {
    Replay r;
    r.edition = rec.edition;
    r.version = rec.version;
    r.ticket = rec.ticket;
    r.start = rec.start;
    r.tickTimes.reserve(rec.ticks);
    r.tickTimes.push_back(rec.first);
    for (const TickRun& run : rec.runs)
        for (uint32_t i = 0; i < run.repeat; ++i)
            r.tickTimes.push_back(r.tickTimes.back() + run.step);
    r.changes = rec.changes;
    r.checks = rec.checks;
    r.finalHash = hashGameState();
    r.score = finalScore();
    return r;
}

} // namespace

void setRecorderEdition(uint8_t edition, const char* version) {
    rec.edition = edition;
    rec.version = std::string(version).substr(0, REPLAY_MAX_VERSION);
}

void prepareRecorder() {
    rec.runs.reserve(RUN_CAPACITY);
    rec.changes.reserve(CHANGE_CAPACITY);
    rec.checks.reserve(TICK_LIMIT / REPLAY_CHECK_TICKS + 1);
}

void setTicketSource(TicketSource take) {
    rec.takeTicket = take;
}

void recordGameStart() {
    uint32_t seed = 0;
    rec.ticket[0] = '\0';
    if (rec.takeTicket && rec.takeTicket(rec.ticket, sizeof rec.ticket, &seed) &&
        isTicketText(rec.ticket))
        crtSrand(seed);
    else
        rec.ticket[0] = '\0';
    GameStart& s = rec.start;
    s.randomState = crtRandState();
    s.hitCooldown = world.hitCooldown;
    s.floorEdgeNow = world.floorEdgeNow;
    s.floorEdgeRun = world.floorEdgeRun;
    s.ceilingEdgeNow = world.ceilingEdgeNow;
    s.ceilingEdgeRun = world.ceilingEdgeRun;
    s.layoutWidth = layoutWidth;
    s.layoutHeight = layoutHeight;
    s.riseHeld = riseHeld;
    s.bestScore = bestScore;
    s.textPhase = menuPhase;
    rec.held = riseHeld;
    rec.ticks = 0;
    rec.runs.clear();
    rec.changes.clear();
    rec.checks.clear();
    rec.tooLong = false;
    rec.active = true;
}

void recordTick(uint32_t now) {
    if (!rec.active || rec.tooLong) return;
    if (rec.ticks == TICK_LIMIT) {
        rec.tooLong = true;
        return;
    }
    if (riseHeld != rec.held && !append(rec.changes, RiseChange{rec.ticks, riseHeld}))
        rec.tooLong = true;
    rec.held = riseHeld;
    noteTime(now);
    ++rec.ticks;
}

bool recordTickDone(std::vector<uint8_t>* bytes, int32_t* score) {
    if (!rec.active) return false;
    if (!rec.tooLong && rec.ticks > 0 && rec.ticks % REPLAY_CHECK_TICKS == 0 &&
        !append(rec.checks, static_cast<uint32_t>(hashGameState())))
        rec.tooLong = true;
    if (!gameIsOver()) return false;
    rec.active = false;
    if (rec.tooLong || rec.ticks == 0) return false;
    *bytes = encodeReplay(assemble());
    *score = finalScore();
    return bytes->size() <= REPLAY_MAX_BYTES;
}
