#include "support/test_host.h"

#include "platform/gapi/device.h"
#include "platform/wince/folders.h"
#include "platform/headless/host.h"
#include "platform/wince/messages.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

std::string makeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/reefdart-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) std::abort();
    return name.data();
}

void setTestDataFolder(const std::string& folder) {
    std::string error;
    if (!setDataFolder(folder, &error)) std::abort();
}

std::string useTestHost(const char* device, uint32_t startTick) {
    resetMessageSystem();
    selectDevice(findDeviceProfile(device));
    startHeadlessHost(startTick, {});
    headlessMixSound(); // tests look at what the speaker plays
    std::string folder = makeTempFolder();
    setTestDataFolder(folder);
    return folder;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

int runReefdart(const std::string& args, std::string* output) {
    std::string command = std::string(REEFDART_EXE) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runScript(const std::string& folder, const std::string& text, const std::string& args,
              std::string* output) {
    writeFile(folder + "/run.script", text);
    return runReefdart("--headless " + folder + "/run.script " + args, output);
}
