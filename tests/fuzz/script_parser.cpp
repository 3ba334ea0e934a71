// The headless host's script parser on any text: accepted commands are well-formed and
// written out parse back the same; a refusal names a line of the text.
#include "fuzz/check.h"
#include "platform/script/script.h"

#include "platform/gapi/device.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const WORDS[] = {"wait",        "press",       "release",      "key",    "tap",
                             "stylus-down", "stylus-move", "stylus-up",    "ctrl",   "deactivate",
                             "activate",    "shot",        "record-audio", "device", "seed",
                             "file",        "autoplay"};
// What each kind carries after its word: a Number, a Key code, a Point, a
// Capital letter, a File name, a Device, a Settings file, or nothing (-).
const char CARRIES[] = "NKKKPPPPC--FFDNS-";
static_assert(sizeof WORDS / sizeof WORDS[0] == ScriptCommand::AUTOPLAY + 1, "a word each");
static_assert(sizeof CARRIES == ScriptCommand::AUTOPLAY + 2, "a letter each");

// A file name of words joined by single spaces, as the parser joins them.
void checkFileName(const std::string& file) {
    check(!file.empty(), "a file name");
    check(file.front() != ' ' && file.back() != ' ', "a file name is trimmed");
    check(file.find("  ") == std::string::npos, "words joined by one space");
    check(file.find('#') == std::string::npos, "no comment in a file name");
    for (char c : file)
        check(c == ' ' || !std::isspace(static_cast<unsigned char>(c)),
              "no tab or line end in a file name");
}

void checkCommand(const ScriptCommand& c) {
    check(c.kind >= ScriptCommand::WAIT && c.kind <= ScriptCommand::AUTOPLAY, "a known kind");
    const char carries = CARRIES[c.kind];
    if (carries == 'K') check(c.value >= 1 && c.value <= 255, "a key code 1..255");
    if (carries == 'P')
        check(c.x >= 0 && c.x <= 65535 && c.y >= 0 && c.y <= 65535, "a position 0..65535");
    else
        check(c.x == 0 && c.y == 0, "no position on other commands");
    if (carries == 'C') check(c.value >= 'A' && c.value <= 'Z', "a capital letter");
    if (carries != 'N' && carries != 'K' && carries != 'C')
        check(c.value == 0, "no number on this command");
    if (carries == 'F')
        checkFileName(c.file);
    else if (carries == 'D')
        check(findDeviceProfile(c.file.c_str()) != nullptr, "a known device");
    else if (carries == 'S')
        check(isSettingsFileName(c.file), "one of the six settings files");
    else
        check(c.file.empty(), "no file name on other commands");
    if (carries != 'S') check(c.data.empty(), "no contents");
}

std::string written(const ScriptCommand& c) {
    std::string line = WORDS[c.kind];
    const char carries = CARRIES[c.kind];
    if (carries == 'N' || carries == 'K') line += " " + std::to_string(c.value);
    if (carries == 'P') line += " " + std::to_string(c.x) + " " + std::to_string(c.y);
    if (carries == 'C') line += std::string(" ") + static_cast<char>(c.value);
    if (carries == 'F' || carries == 'D' || carries == 'S') line += " " + c.file;
    if (!c.data.empty()) line += " ";
    for (unsigned char b : c.data) line += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    return line + "\n";
}

size_t lineCount(const std::string& text) {
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return lines + (text.empty() || text.back() == '\n' ? 0 : 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptCommand> commands;
    std::string error;
    if (!parseScript(text, &commands, &error)) {
        check(error.compare(0, 5, "line ") == 0, "an error names its line");
        long line = std::strtol(error.c_str() + 5, nullptr, 10);
        check(line >= 1 && static_cast<size_t>(line) <= lineCount(text), "the line is in the text");
        return 0;
    }
    int previous = 0;
    std::string again;
    for (const ScriptCommand& c : commands) {
        checkCommand(c);
        check(c.line > previous && static_cast<size_t>(c.line) <= lineCount(text),
              "commands in line order, on lines of the text");
        previous = c.line;
        again += written(c);
    }
    std::vector<ScriptCommand> reparsed;
    check(parseScript(again, &reparsed, &error), "the written-out script parses");
    check(reparsed.size() == commands.size(), "the written-out script has as many commands");
    for (size_t i = 0; i < commands.size(); ++i) {
        const ScriptCommand &a = commands[i], &b = reparsed[i];
        check(a.kind == b.kind && a.value == b.value && a.x == b.x && a.y == b.y &&
                  a.file == b.file && a.data == b.data,
              "the written-out script gives the same commands");
        check(reparsed[i].line == static_cast<int>(i) + 1, "one command a line");
    }
    return 0;
}
