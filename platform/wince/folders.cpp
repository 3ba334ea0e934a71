#include "platform/wince/folders.h"

#include "platform/wince/winapi.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string chosen;

std::string executableFolder() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    char* slash = std::strrchr(path, '/');
    if (!slash) return ".";
    if (slash == path) return "/";
    *slash = 0;
    return path;
}

bool makeFolders(const std::string& folder) {
    std::string partial;
    size_t at = 0;
    while (at != std::string::npos) {
        at = folder.find('/', at + 1);
        partial = folder.substr(0, at);
        if (partial.empty()) continue;
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat s;
    return stat(folder.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

// An installed copy (cmake --install) has its AppStream file beside its bin
// folder; it keeps its files per user even where that folder can be written.
bool installedCopy(const std::string& exe) {
    std::string metainfo = exe + "/../share/metainfo/net.kelplineworks.Reefdart.metainfo.xml";
    return access(metainfo.c_str(), F_OK) == 0;
}

} // namespace

std::string defaultDataFolder() {
    std::string exe = executableFolder();
    if (!installedCopy(exe) && access(exe.c_str(), W_OK) == 0) return exe;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/reefdart";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/reefdart";
}

bool setDataFolder(const std::string& folder, std::string* error) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    if (f.empty()) f = ".";
    if (!makeFolders(f)) {
        *error = "cannot use the data folder " + f + ": " + std::strerror(errno);
        return false;
    }
    chosen = f;
    return true;
}

const char* dataFolder() {
    if (chosen.empty()) {
        // On a first run the per-user folder does not exist yet.
        chosen = defaultDataFolder();
        makeFolders(chosen);
    }
    return chosen.c_str();
}

bool useTemporaryDataFolder(std::string* folder, std::string* error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/reefdart-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
        *error = "cannot make a temporary data folder: " + std::string(std::strerror(errno));
        return false;
    }
    *folder = pattern;
    return setDataFolder(pattern, error);
}
