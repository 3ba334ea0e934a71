// The command line: what to run (a desktop window, a headless script, a
// score code check), on which device, with which data folder.
#pragma once

#include "platform/headless/host.h"

#include <cstdint>
#include <string>

struct Options {
    std::string script;
    bool headless = false;
    std::string device = "qvga";
    bool deviceGiven = false;
    std::string record;
    bool stats = false;
    std::string dataDir;
    bool seedGiven = false;
    uint32_t seed = HEADLESS_DEFAULT_START_TICK;
    int scale = 0;
    std::string finalShot;
    std::string watch;        // a replay to watch
    std::string scores, name; // a score site, and the name to publish under
};

// Reads the command line into o; --autoplay turns the pilot on at once. Returns
// -1 to go on, else the exit code of a run that ends here (--help, --version,
// --check-code, a bad command line).
int parseOptions(int argc, char** argv, Options* o);
