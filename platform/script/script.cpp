#include "platform/script/script.h"

#include "platform/gapi/device.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

struct ButtonName {
    const char* name;
    int code;
};

const ButtonName buttons[] = {{"UP", 0x26},           {"DOWN", 0x28},        {"LEFT", 0x25},
                              {"RIGHT", 0x27},        {"START", 0x0D},       {"A", DEVICE_BUTTON_A},
                              {"B", DEVICE_BUTTON_B}, {"C", DEVICE_BUTTON_C}};

bool parseNumber(const std::string& word, uint64_t limit, uint64_t* value) {
    if (word.empty() || word.size() > 10) return false;
    uint64_t v = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > limit) return false;
    *value = v;
    return true;
}

bool parseKey(const std::string& word, uint32_t* code) {
    int button = deviceButtonCode(word);
    if (button >= 0) {
        *code = static_cast<uint32_t>(button);
        return true;
    }
    uint64_t v;
    if (!parseNumber(word, 255, &v) || v == 0) return false;
    *code = static_cast<uint32_t>(v);
    return true;
}

struct Syntax {
    const char* word;
    ScriptCommand::Kind kind;
    enum { NONE, MS, KEYNAME, POINT, LETTER, FILE, DEVICE_NAME, SETTINGS } argument;
};

const Syntax syntax[] = {
    {"wait", ScriptCommand::WAIT, Syntax::MS},
    {"press", ScriptCommand::PRESS, Syntax::KEYNAME},
    {"release", ScriptCommand::RELEASE, Syntax::KEYNAME},
    {"key", ScriptCommand::KEY, Syntax::KEYNAME},
    {"tap", ScriptCommand::TAP, Syntax::POINT},
    {"stylus-down", ScriptCommand::STYLUS_DOWN, Syntax::POINT},
    {"stylus-move", ScriptCommand::STYLUS_MOVE, Syntax::POINT},
    {"stylus-up", ScriptCommand::STYLUS_UP, Syntax::POINT},
    {"ctrl", ScriptCommand::CTRL, Syntax::LETTER},
    {"deactivate", ScriptCommand::DEACTIVATE, Syntax::NONE},
    {"activate", ScriptCommand::ACTIVATE, Syntax::NONE},
    {"shot", ScriptCommand::SHOT, Syntax::FILE},
    {"record-audio", ScriptCommand::RECORD_AUDIO, Syntax::FILE},
    {"device", ScriptCommand::DEVICE, Syntax::DEVICE_NAME},
    {"seed", ScriptCommand::SEED, Syntax::MS},
    {"file", ScriptCommand::SETTINGS_FILE, Syntax::SETTINGS},
    {"autoplay", ScriptCommand::AUTOPLAY, Syntax::NONE},
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "file NAME [HEX]": one of the settings files and its bytes in hexadecimal.
std::string parseSettingsFile(const std::vector<std::string>& words, ScriptCommand* c) {
    if (words.size() < 2 || words.size() > 3)
        return "'file' takes a file name and its bytes in hex";
    if (!isSettingsFileName(words[1]))
        return "'" + words[1] +
               "' is not a settings file (record.dat sound.dat career.dat "
               "keys.dat keys2.dat keys3.dat)";
    c->file = words[1];
    const std::string hex = words.size() == 3 ? words[2] : "";
    if (hex.size() % 2 != 0) return "the contents must be whole bytes in hex";
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return "the contents must be whole bytes in hex";
        c->data += static_cast<char>(high * 16 + low);
    }
    return "";
}

// Parses the arguments of one command; returns an error message or "".
std::string parseArguments(const Syntax& s, const std::vector<std::string>& words,
                           ScriptCommand* c) {
    if (s.argument == Syntax::SETTINGS) return parseSettingsFile(words, c);
    size_t wanted = s.argument == Syntax::NONE ? 1 : s.argument == Syntax::POINT ? 3 : 2;
    if (s.argument == Syntax::FILE && words.size() >= 2) wanted = words.size();
    if (words.size() != wanted)
        return std::string("'") + s.word + "' takes " +
               (s.argument == Syntax::NONE    ? "no argument"
                : s.argument == Syntax::POINT ? "two numbers, X and Y"
                                              : "one argument");
    uint64_t v = 0, w = 0;
    switch (s.argument) {
    case Syntax::NONE:
        break;
    case Syntax::MS:
        if (!parseNumber(words[1], 0xFFFFFFFFull, &v))
            return "'" + words[1] + "' is not a number of milliseconds";
        c->value = static_cast<uint32_t>(v);
        break;
    case Syntax::KEYNAME:
        if (!parseKey(words[1], &c->value))
            return "'" + words[1] +
                   "' is not a key (UP DOWN LEFT RIGHT START A B C, or a code 1 to 255)";
        break;
    case Syntax::POINT:
        if (!parseNumber(words[1], 65535, &v) || !parseNumber(words[2], 65535, &w))
            return "the position must be two numbers from 0 to 65535";
        c->x = static_cast<int>(v);
        c->y = static_cast<int>(w);
        break;
    case Syntax::LETTER:
        if (words[1].size() != 1 || !std::isalpha(static_cast<unsigned char>(words[1][0])))
            return "'ctrl' takes one letter";
        c->value = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(words[1][0])));
        break;
    case Syntax::FILE:
        for (size_t i = 1; i < words.size(); ++i) c->file += (i > 1 ? " " : "") + words[i];
        break;
    case Syntax::DEVICE_NAME:
        if (!findDeviceProfile(words[1].c_str())) return "unknown device '" + words[1] + "'";
        c->file = words[1];
        break;
    case Syntax::SETTINGS:
        break;
    }
    return "";
}

} // namespace

int deviceButtonCode(const std::string& name) {
    for (const ButtonName& b : buttons)
        if (name == b.name) return b.code;
    return -1;
}

const char* deviceButtonName(int code) {
    for (const ButtonName& b : buttons)
        if (code == b.code) return b.name;
    return nullptr;
}

bool isSettingsFileName(const std::string& name) {
    for (const char* f : SCRIPT_SETTINGS_FILES)
        if (name == f) return true;
    return false;
}

bool parseScript(const std::string& text, std::vector<ScriptCommand>* commands,
                 std::string* error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    commands->clear();
    while (std::getline(in, line)) {
        ++number;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty()) continue;
        const Syntax* found = nullptr;
        for (const Syntax& s : syntax)
            if (w[0] == s.word) found = &s;
        std::string message = found ? "" : "unknown command '" + w[0] + "'";
        ScriptCommand c;
        c.kind = found ? found->kind : ScriptCommand::WAIT;
        if (found) message = parseArguments(*found, w, &c);
        if (!message.empty()) {
            *error = "line " + std::to_string(number) + ": " + message;
            return false;
        }
        c.line = number;
        commands->push_back(c);
    }
    return true;
}
