#include "platform/entry/options.h"

#include "platform/desktop/host.h"
#include "platform/gapi/device.h"
#include "platform/wince/folders.h"
#include "shell/entry.h"

#include <cstdio>
#include <cstring>

namespace {

void printHelp() {
    std::printf("Usage: reefdart [OPTION]...\n"
                "A one-button arcade game: fly a small fish through an endless underwater cave.\n\n"
                "Options:\n"
                "  --device NAME       the handheld to emulate (default qvga):\n");
    int count = 0;
    const DeviceProfile* profiles = deviceProfiles(&count);
    for (int i = 0; i < count; ++i)
        std::printf("                        %-13s %s\n", profiles[i].name,
                    profiles[i].description);
    std::printf(
        "  --data-dir DIR      keep the settings files in DIR (created when missing)\n"
        "  --scale N           show the screen N times enlarged (default: largest that fits)\n"
        "  --headless SCRIPT   run without a window on a virtual clock, driven by SCRIPT\n"
        "                      (see docs/headless.md); writes PNG shots and WAV sound\n"
        "  --seed N            with --headless: the tick count the virtual clock starts at\n"
        "                      (default %u); it also seeds the game's random numbers\n"
        "  --final-shot FILE   with --headless: the screen as it is when the run ends, as PNG\n"
        "  --autoplay          let the pilot play, game after game (a demo; keys still work)\n"
        "  --record FILE       write the session as a script for --headless to replay: every\n"
        "                      key, stylus and window event with its time, the device, the\n"
        "                      start tick and the settings files as they were at start\n"
        "  --stats             on the desktop: print ticks and frames per second and the\n"
        "                      delay from a press to the first frame showing it, at the end\n"
        "  --check-code CODE   check a score code from the game-over screen: print the\n"
        "                      score a genuine code stands for (exit 0), or say that the\n"
        "                      code is not genuine (exit 1)\n"
        "  --watch FILE        watch a game replay in the window (or, with --headless, on\n"
        "                      the virtual clock): Escape leaves, Space or a tap pauses\n"
        "  --scores URL        send every finished game to the score site at URL (each game\n"
        "                      then starts from the site's ticket); replays that cannot be\n"
        "                      sent yet wait in the data folder's outbox\n"
        "  --name NAME         with --scores: publish each verified game under NAME\n"
        "  --verify FILE       play a game replay by the game's rules, with no display or\n"
        "                      sound: print the score it reaches, its length and its\n"
        "                      final state (exit 0), or why it does not hold (exit 1)\n"
        "  --help              show this help and exit\n"
        "  --version           show the version and exit\n\n"
        "Keys:\n%s\n"
        "Files: record.dat, sound.dat, career.dat, keys.dat, keys2.dat and keys3.dat, and\n"
        "the replays of the last game and the best, lastgame.rdr and bestgame.rdr, in the\n"
        "data folder: the folder of the executable when it can be written (and it is not\n"
        "an installed copy), else $XDG_DATA_HOME/reefdart (by default ~/.local/share/reefdart). "
        "Here: %s\n\n"
        "Exit status: 0 when the game ended normally (also when it only brought an already\n"
        "running copy to the front), 1 when it could not run (no display, a file a script\n"
        "asked for could not be written), 2 for a bad command line or script.\n",
        HEADLESS_DEFAULT_START_TICK, desktopKeyMap(), defaultDataFolder().c_str());
}

bool parseUnsigned(const char* text, uint64_t limit, uint64_t* value) {
    if (!*text || std::strlen(text) > 10) return false;
    uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<uint64_t>(*p - '0');
    }
    *value = v;
    return v <= limit;
}

// The checking side of the game-over screen's score code.
int checkCode(const char* code) {
    int32_t score = 0;
    if (!scoreOfCode(code, &score)) {
        std::printf("%s is not a genuine score code\n", code);
        return 1;
    }
    std::printf("%s is genuine: a score of %d\n", code, static_cast<int>(score));
    return 0;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "reefdart: %s\nTry 'reefdart --help' for more information.\n",
                 message.c_str());
    return 2;
}

} // namespace

int parseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            printHelp();
            return 0;
        }
        if (a == "--version") {
            std::printf("reefdart %s\n", REEFDART_VERSION);
            return 0;
        }
        if (a == "--stats") {
            o->stats = true;
            continue;
        }
        if (a == "--autoplay") {
            setAutoplay(true);
            continue;
        }
        if (a == "--check-code") {
            if (!hasValue) return usageError("option '--check-code' needs a value");
            return checkCode(argv[i + 1]);
        }
        if (a == "--verify") {
            if (!hasValue) return usageError("option '--verify' needs a value");
            return verifyReplayFile(argv[i + 1]);
        }
        if (a != "--headless" && a != "--device" && a != "--data-dir" && a != "--seed" &&
            a != "--scale" && a != "--final-shot" && a != "--record" && a != "--watch" &&
            a != "--scores" && a != "--name")
            return usageError("unknown option '" + a + "'");
        if (!hasValue) return usageError("option '" + a + "' needs a value");
        const char* v = argv[++i];
        uint64_t n = 0;
        if (a == "--headless") {
            o->headless = true;
            o->script = v;
        } else if (a == "--device") {
            if (!findDeviceProfile(v))
                return usageError(std::string("unknown device '") + v + "' (see --help)");
            o->device = v;
            o->deviceGiven = true;
        } else if (a == "--record") {
            o->record = v;
        } else if (a == "--watch") {
            o->watch = v;
        } else if (a == "--scores") {
            o->scores = v;
        } else if (a == "--name") {
            o->name = v;
        } else if (a == "--data-dir") {
            o->dataDir = v;
        } else if (a == "--seed") {
            if (!parseUnsigned(v, 0xFFFFFFFFull, &n))
                return usageError("--seed takes a number from 0 to 4294967295");
            o->seed = static_cast<uint32_t>(n);
            o->seedGiven = true;
        } else if (a == "--final-shot") {
            o->finalShot = v;
        } else {
            if (!parseUnsigned(v, 16, &n) || n < 1)
                return usageError("--scale takes a number from 1 to 16");
            o->scale = static_cast<int>(n);
        }
    }
    if (o->seedGiven && !o->headless) return usageError("--seed goes with --headless");
    if (!o->finalShot.empty() && !o->headless)
        return usageError("--final-shot goes with --headless");
    if (o->stats && o->headless) return usageError("--stats measures the desktop's pacing");
    if (!o->record.empty() && o->headless)
        return usageError("--record records a session with a window; a headless run is its "
                          "script already");
    if (!o->name.empty() && o->scores.empty()) return usageError("--name goes with --scores");
    if (!o->scores.empty() && !o->watch.empty())
        return usageError("--watch shows a game already played: it goes without --scores");
    if (!o->watch.empty() && (!o->record.empty() || autoplayOn()))
        return usageError("--watch shows a game already played: it goes with neither --record "
                          "nor --autoplay");
    return -1;
}
