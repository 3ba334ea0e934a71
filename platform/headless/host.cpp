#include "platform/headless/host.h"

#include "platform/gapi/device.h"
#include "platform/hss/hss.h"
#include "platform/host/host.h"
#include "platform/native/image_files.h"
#include "platform/wince/messages.h"
#include "platform/wince/screen.h"

#include <cstdio>

namespace {

constexpr int AUDIO_RATE = 22050;
// After the script has closed the window, the program gets this much virtual
// time to end by itself before the host gives up on it.
constexpr uint32_t CLOSE_GRACE_MS = 10000;

struct Headless {
    uint32_t clock = 0;
    uint64_t elapsedMs = 0;
    uint64_t samplesRendered = 0;
    std::vector<ScriptCommand> commands;
    size_t next = 0;
    bool waiting = false;
    uint32_t waitEnd = 0;
    bool closed = false;
    uint32_t closedAt = 0;
    bool failed = false;
    bool audioOpen = false;
    // Whether the mixer runs: only when something listens, as mixing the
    // music is most of a run's work otherwise.
    bool mixing = false;
    int raiseRequests = 0;
    WavWriter wav;
};

Headless h;

void renderAudio() {
    uint64_t due = h.elapsedMs * AUDIO_RATE / 1000;
    if (!h.mixing) {
        h.samplesRendered = due;
        return;
    }
    int16_t buffer[1024];
    while (h.samplesRendered < due) {
        size_t n = static_cast<size_t>(due - h.samplesRendered);
        if (n > 1024) n = 1024;
        hssSpeaker* speaker = h.audioOpen ? activeSpeaker() : nullptr;
        if (speaker)
            speaker->render(buffer, n);
        else
            for (size_t i = 0; i < n; ++i) buffer[i] = 0;
        h.wav.write(buffer, n);
        h.samplesRendered += n;
    }
}

void advanceTo(uint32_t target) {
    uint32_t delta = target - h.clock;
    h.clock = target;
    h.elapsedMs += delta;
    renderAudio();
}

void fail(const ScriptCommand& c, const std::string& message) {
    std::fprintf(stderr, "reefdart: script line %d: %s\n", c.line, message.c_str());
    h.failed = true;
}

void shot(const ScriptCommand& c) {
    std::vector<uint16_t> pixels;
    composeScreen(&pixels);
    std::string error;
    if (!writePng565(c.file.c_str(), pixels, deviceScreenWidth(), deviceScreenHeight(), &error))
        fail(c, error);
}

// Runs one command; returns true when it queued input for the program.
bool run(const ScriptCommand& c) {
    LPARAM at = MAKELPARAM(c.x, c.y);
    switch (c.kind) {
    case ScriptCommand::WAIT:
        h.waiting = c.value > 0;
        h.waitEnd = h.clock + c.value;
        return false;
    case ScriptCommand::PRESS:
        queueInput(WM_KEYDOWN, c.value, 0);
        return true;
    case ScriptCommand::RELEASE:
        queueInput(WM_KEYUP, c.value, 0);
        return true;
    case ScriptCommand::KEY:
        queueInput(WM_KEYDOWN, c.value, 0);
        queueInput(WM_KEYUP, c.value, 0);
        return true;
    case ScriptCommand::TAP:
        queueInput(WM_LBUTTONDOWN, 1, at);
        queueInput(WM_LBUTTONUP, 0, at);
        return true;
    case ScriptCommand::STYLUS_DOWN:
        queueInput(WM_LBUTTONDOWN, 1, at);
        return true;
    case ScriptCommand::STYLUS_MOVE:
        queueInput(WM_MOUSEMOVE, 1, at);
        return true;
    case ScriptCommand::STYLUS_UP:
        queueInput(WM_LBUTTONUP, 0, at);
        return true;
    case ScriptCommand::CTRL:
        queueInput(WM_KEYDOWN, VK_CONTROL, 0);
        queueInput(WM_KEYDOWN, c.value, 0);
        queueInput(WM_KEYUP, c.value, 0);
        queueInput(WM_KEYUP, VK_CONTROL, 0);
        return true;
    case ScriptCommand::DEACTIVATE:
        queueActivation(false);
        return true;
    case ScriptCommand::ACTIVATE:
        queueActivation(true);
        return true;
    case ScriptCommand::DEVICE:
    case ScriptCommand::SEED:
    case ScriptCommand::SETTINGS_FILE:
    case ScriptCommand::AUTOPLAY:
        return false; // applied before the program started
    case ScriptCommand::SHOT:
        shot(c);
        return false;
    case ScriptCommand::RECORD_AUDIO: {
        std::string error;
        if (!h.wav.open(c.file.c_str(), AUDIO_RATE, &error)) fail(c, error);
        return false;
    }
    }
    return false;
}

uint32_t tickCount() {
    return h.clock;
}
void sleepFor(uint32_t ms) {
    advanceTo(h.clock + ms);
}

bool waitForInput(bool hasDeadline, uint32_t deadline) {
    for (;;) {
        if (h.waiting) {
            uint32_t target = h.waitEnd;
            if (hasDeadline && static_cast<int32_t>(deadline - target) < 0) target = deadline;
            if (static_cast<int32_t>(target - h.clock) > 0) advanceTo(target);
            // The program may have slept past the end of the wait.
            if (static_cast<int32_t>(h.clock - h.waitEnd) >= 0) h.waiting = false;
            return true;
        }
        if (h.next < h.commands.size()) {
            if (run(h.commands[h.next++])) return true;
            continue;
        }
        if (!h.closed) {
            // The script is spent: close the window as the desktop's close button does.
            h.closed = true;
            h.closedAt = h.clock;
            queueActivation(false);
            return true;
        }
        if (!hasDeadline || h.clock - h.closedAt >= CLOSE_GRACE_MS) return false;
        if (static_cast<int32_t>(deadline - h.clock) > 0) advanceTo(deadline);
        return true;
    }
}

void screenChanged() {}
void raiseWindow() {
    ++h.raiseRequests;
}
bool openAudio(int rate) {
    h.audioOpen = rate == AUDIO_RATE;
    return h.audioOpen;
}
void closeAudio() {
    h.audioOpen = false;
}
void noLock() {}

bool openWindow() {
    return true;
}

const Host headlessHost = {"headless",   openWindow,    tickCount,   sleepFor,
                           waitForInput, screenChanged, raiseWindow, openAudio,
                           closeAudio,   noLock,        noLock};

} // namespace

void startHeadlessHost(uint32_t startTick, const std::vector<ScriptCommand>& commands) {
    h.wav.close();
    h.clock = startTick;
    h.elapsedMs = h.samplesRendered = 0;
    h.commands = commands;
    h.next = 0;
    h.waiting = h.closed = h.failed = h.audioOpen = false;
    h.raiseRequests = 0;
    // record-audio records from where it stands in the script, but the mixer
    // runs from the start, so that what it records is the same wherever that is.
    h.mixing = false;
    for (const ScriptCommand& c : commands)
        if (c.kind == ScriptCommand::RECORD_AUDIO) h.mixing = true;
    host = &headlessHost;
}

bool headlessFinalShot(const std::string& file, std::string* error) {
    std::vector<uint16_t> pixels;
    composeScreen(&pixels);
    return writePng565(file.c_str(), pixels, deviceScreenWidth(), deviceScreenHeight(), error);
}

bool finishHeadlessHost() {
    h.wav.close();
    return !h.failed;
}

void headlessMixSound() {
    h.mixing = true;
}

void headlessAdvance(uint32_t ms) {
    advanceTo(h.clock + ms);
}
int headlessRaiseRequests() {
    return h.raiseRequests;
}
