// The entry point: reads the command line, chooses the host and the device,
// then runs the program exactly as the handheld would.
#include "platform/desktop/host.h"
#include "platform/entry/options.h"
#include "platform/gapi/device.h"
#include "platform/headless/host.h"
#include "platform/host/instance.h"
#include "platform/online/online.h"
#include "platform/wince/steady_clock.h"
#include "platform/script/recorder.h"
#include "platform/wince/folders.h"
#include "shell/entry.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool readScript(const std::string& path, std::vector<ScriptCommand>* commands, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read the script " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!parseScript(text.str(), commands, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

// A recording fixes the device, the start tick and the settings files it was
// made with; the command line still overrides the device and the tick. The
// settings files go into a new temporary folder unless --data-dir names one,
// so that a replay never replaces the player's own files.
bool applyScriptSetup(const std::vector<ScriptCommand>& commands, Options* o, std::string* error) {
    ScriptSetup setup = scriptSetup(commands);
    if (!setup.device.empty() && !o->deviceGiven) o->device = setup.device;
    if (setup.seedGiven && !o->seedGiven) o->seed = setup.seed;
    if (setup.autoplay) setAutoplay(true);
    if (setup.files.empty()) return true;
    if (o->dataDir.empty()) {
        std::string folder;
        if (!useTemporaryDataFolder(&folder, error)) return false;
        std::fprintf(stderr, "reefdart: the script's settings files are kept in %s\n",
                     folder.c_str());
    }
    return writeScriptFiles(setup, error);
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    int done = parseOptions(argc, argv, &o);
    if (done >= 0) return done;
    std::string error;
    if (!o.dataDir.empty() && !setDataFolder(o.dataDir, &error)) {
        std::fprintf(stderr, "reefdart: %s\n", error.c_str());
        return 1;
    }
    std::vector<ScriptCommand> commands;
    if (o.headless && !readScript(o.script, &commands, &error)) {
        std::fprintf(stderr, "reefdart: %s\n", error.c_str());
        return 2;
    }
    if (o.headless && !applyScriptSetup(commands, &o, &error)) {
        std::fprintf(stderr, "reefdart: %s\n", error.c_str());
        return 1;
    }
    if (!o.watch.empty()) {
        std::string device;
        if (!watchReplayFile(o.watch.c_str(), &device, &error)) {
            std::fprintf(stderr, "reefdart: %s\n", error.c_str());
            return 1;
        }
        // A replay is watched on the layout it was played on.
        if (!o.deviceGiven) o.device = device;
    }
    selectDevice(findDeviceProfile(o.device.c_str()));
    setRecordingEdition(o.headless ? "headless" : "desktop", REEFDART_VERSION);
    if (o.headless) {
        startHeadlessHost(o.seed, commands);
    } else {
        if (!startDesktopHost(o.scale, &error)) {
            std::fprintf(stderr, "reefdart: %s\n", error.c_str());
            return 1;
        }
        // Every game is recorded: its ticks must come at the timer's own
        // times for its replay to be exact (and small).
        steadyTheClock();
        if (!o.record.empty() &&
            !startRecording(o.record, o.device.c_str(), autoplayOn(), &error)) {
            std::fprintf(stderr, "reefdart: %s\n", error.c_str());
            unsteadyTheClock();
            finishDesktopHost();
            return 1;
        }
    }
    if (o.stats) enableDesktopStats();
    if (!o.scores.empty()) {
        if (!startOnline(o.scores, o.name, &error)) {
            std::fprintf(stderr, "reefdart: %s\n", error.c_str());
            return 1;
        }
        setOnlineEdition(onlineTakeTicket, onlineSendReplay);
        // The game-over screen names the site as a player would type it.
        std::string shown = o.scores.substr(o.scores.find("//") + 2);
        setScoreSiteName(shown.substr(0, shown.find_last_not_of('/') + 1).c_str());
    }
    int code = runProgram();
    stopOnline();
    releaseInstance();
    if (o.headless && !o.finalShot.empty() && !headlessFinalShot(o.finalShot, &error)) {
        std::fprintf(stderr, "reefdart: %s\n", error.c_str());
        if (code == 0) code = 1;
    }
    if (o.headless && !finishHeadlessHost() && code == 0) code = 1;
    if (!o.headless) {
        if (!finishRecording(&error)) {
            std::fprintf(stderr, "reefdart: %s\n", error.c_str());
            if (code == 0) code = 1;
        }
        if (desktopWindowFailed()) code = 1;
        unsteadyTheClock();
        finishDesktopHost();
    }
    return code;
}
