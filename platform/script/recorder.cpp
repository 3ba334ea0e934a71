// The recorder writes every input message and activation change as the
// program takes it, with the wait before it, in the headless script language.
// A replay can only match if the program sees the same tick counts, so the
// recording runs on the steadied clock (platform/wince/steady_clock.h).
#include "platform/script/recorder.h"

#include "platform/wince/files.h"
#include "platform/host/host.h"
#include "platform/wince/steady_clock.h"
#include "platform/wince/messages.h"
#include "platform/wince/winapi.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

namespace {

struct Recording {
    std::FILE* out = nullptr;
    bool failed = false;
    uint32_t last = 0; // tick count of the last line written
};

Recording r;

void line(const std::string& text) {
    if (!r.out) return;
    if (std::fputs(text.c_str(), r.out) < 0 || std::fputc('\n', r.out) < 0 ||
        std::fflush(r.out) != 0)
        r.failed = true;
}

std::string keyName(WPARAM code) {
    const char* name = deviceButtonName(static_cast<int>(code));
    return name ? name : std::to_string(code);
}

std::string point(LPARAM at) {
    return std::to_string(LOWORD(at)) + " " + std::to_string(HIWORD(at));
}

void observe(const MSG& m) {
    std::string command;
    switch (m.message) {
    case WM_KEYDOWN:
        command = "press " + keyName(m.wParam);
        break;
    case WM_KEYUP:
        command = "release " + keyName(m.wParam);
        break;
    case WM_LBUTTONDOWN:
        command = "stylus-down " + point(m.lParam);
        break;
    case WM_MOUSEMOVE:
        command = "stylus-move " + point(m.lParam);
        break;
    case WM_LBUTTONUP:
        command = "stylus-up " + point(m.lParam);
        break;
    case WM_ACTIVATE:
        command = m.wParam == WA_INACTIVE ? "deactivate" : "activate";
        break;
    default:
        return;
    }
    if (m.time != r.last) line("wait " + std::to_string(m.time - r.last));
    r.last = m.time;
    line(command);
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

// The settings files as the program will find them; a missing one reads as
// empty, as the program itself creates it empty.
void writeFiles() {
    for (const char* name : SCRIPT_SETTINGS_FILES) {
        std::ifstream in(std::string(dataFolder()) + "/" + name, std::ios::binary);
        std::stringstream bytes;
        if (in) bytes << in.rdbuf();
        std::string contents = bytes.str();
        line(std::string("file ") + name + (contents.empty() ? "" : " " + hex(contents)));
    }
}

} // namespace

bool startRecording(const std::string& path, const char* device, bool autoplay,
                    std::string* error) {
    r = Recording();
    r.out = std::fopen(path.c_str(), "w");
    if (!r.out) {
        *error = "cannot write the recording " + path;
        return false;
    }
    steadyTheClock();
    r.last = host->tickCount();
    std::time_t now = std::time(nullptr);
    char when[64] = "";
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&now));
    line(std::string("# A Reefdart session recorded on ") + when + ".");
    line("# Replay it with: reefdart --headless " + path);
    line(std::string("device ") + device);
    line("seed " + std::to_string(r.last));
    writeFiles();
    if (autoplay) line("autoplay");
    setInputObserver(observe);
    return true;
}

bool finishRecording(std::string* error) {
    if (!r.out) return true;
    setInputObserver(nullptr);
    bool ok = !r.failed && std::fclose(r.out) == 0;
    r.out = nullptr;
    if (!ok) *error = "the recording could not be written completely";
    return ok;
}

ScriptSetup scriptSetup(const std::vector<ScriptCommand>& commands) {
    ScriptSetup s;
    for (const ScriptCommand& c : commands) {
        if (c.kind == ScriptCommand::DEVICE) s.device = c.file;
        if (c.kind == ScriptCommand::SEED) {
            s.seedGiven = true;
            s.seed = c.value;
        }
        if (c.kind == ScriptCommand::AUTOPLAY) s.autoplay = true;
        if (c.kind == ScriptCommand::SETTINGS_FILE) s.files.emplace_back(c.file, c.data);
    }
    return s;
}

bool writeScriptFiles(const ScriptSetup& setup, std::string* error) {
    for (const auto& f : setup.files) {
        std::string path = std::string(dataFolder()) + "/" + f.first;
        if (!replaceFile(path.c_str(), f.second.data(), f.second.size())) {
            *error = "cannot write the settings file " + path;
            return false;
        }
    }
    return true;
}
