// Recording a session as a headless script, and the set-up a script asks for
// before its replay starts.
#pragma once

#include "platform/script/script.h"

#include <string>
#include <vector>

// Starts writing the session to path: the device, the tick count the clock
// starts at (it seeds the game's random numbers), the settings files as they
// are now in the data folder, and autoplay when it is on. Call it once the
// host is running and before the program starts. The host's clock is
// steadied (platform/wince/steady_clock.h) so that a replay on the virtual
// clock sees the same tick counts. Returns false with a message when the file
// cannot be made.
bool startRecording(const std::string& path, const char* device, bool autoplay, std::string* error);
// Stops and closes the recording; false with a message when some of it could
// not be written.
bool finishRecording(std::string* error);

// What a script fixes before its program starts.
struct ScriptSetup {
    std::string device; // empty: not fixed
    bool seedGiven = false;
    uint32_t seed = 0;
    bool autoplay = false;
    std::vector<std::pair<std::string, std::string>> files; // name, contents
};
ScriptSetup scriptSetup(const std::vector<ScriptCommand>& commands);
// Writes the script's settings files into the data folder; false with a
// message when one cannot be written.
bool writeScriptFiles(const ScriptSetup& setup, std::string* error);
