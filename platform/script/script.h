// The headless host's script language: one command a line, '#' starts a
// comment.
//
//   wait MS              advance the virtual clock by MS milliseconds
//   press KEY            key down            release KEY   key up
//   key KEY              key down, then up
//   tap X Y              stylus down, then up, at device pixel (X, Y)
//   stylus-down X Y      stylus-move X Y     stylus-up X Y
//   ctrl LETTER          the accelerator Ctrl+LETTER
//   deactivate           the window loses activation
//   activate             the window gets it back
//   shot FILE            the screen as a PNG
//   record-audio FILE    the mixed sound from here on, as a WAV
//
// KEY is a device button (UP DOWN LEFT RIGHT START A B C) or a decimal
// virtual-key code.
//
// A recording also fixes what its replay must start from; main applies these
// before the program starts, wherever they stand:
//   device NAME          the handheld to emulate
//   seed N               the tick count the clock starts at
//   file NAME [HEX]      a settings file's contents (none: an empty file)
//   autoplay             the pilot plays
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ScriptCommand {
    enum Kind {
        WAIT,
        PRESS,
        RELEASE,
        KEY,
        TAP,
        STYLUS_DOWN,
        STYLUS_MOVE,
        STYLUS_UP,
        CTRL,
        DEACTIVATE,
        ACTIVATE,
        SHOT,
        RECORD_AUDIO,
        DEVICE,
        SEED,
        SETTINGS_FILE,
        AUTOPLAY
    } kind;
    uint32_t value = 0; // milliseconds, key code or letter
    int x = 0, y = 0;
    std::string file; // a file name, or a device name
    std::string data; // a settings file's contents
    int line = 0;
};

// Parses a whole script. On a bad line returns false with "line N: message".
bool parseScript(const std::string& text, std::vector<ScriptCommand>* commands, std::string* error);
// The virtual-key code of a device button name, or -1.
int deviceButtonCode(const std::string& name);
// The name of a device button's virtual-key code, or null.
const char* deviceButtonName(int code);
// The six settings files a script may set.
constexpr const char* SCRIPT_SETTINGS_FILES[] = {"record.dat", "sound.dat", "career.dat",
                                                 "keys.dat",   "keys2.dat", "keys3.dat"};
// Whether name is one of them.
bool isSettingsFileName(const std::string& name);
