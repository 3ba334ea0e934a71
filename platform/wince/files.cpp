// The settings files through the POSIX file calls: the C runtime the
// handheld code is written against, which every host's build provides (the
// browser's over its in-memory file system).
#include "platform/wince/files.h"

#include "platform/host/host.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens for reading; O_NONBLOCK keeps a FIFO at the path from blocking the open.
int openForReading(const char* path) {
    const int flags = O_CLOEXEC | O_NONBLOCK;
    // Kept on purpose: fidelity K22.
    int fd = open(path, O_RDWR | O_APPEND | O_CREAT | flags, 0666);
    // Mended: fidelity M19.
    if (fd < 0 && errno != ENOENT) fd = open(path, O_RDONLY | flags);
    return fd;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes a rename in the folder survive a crash.
void syncFolder(const std::string& path) {
    int fd = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Creates a new, empty file beside path; the kernel applies the umask.
int createTemporary(const std::string& path, std::string* name) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(getpid()), serial++);
        *name = path + suffix;
        int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// A save cut short (the power went, the process was killed) leaves its
// temporary file behind, named after the target and the saving process.
// The first save of a target in a run sweeps away those of other processes:
// only one copy of the program uses a data folder at a time.
bool leftoverOf(const std::string& entry, const std::string& target, long ownPid) {
    if (entry.size() <= target.size() + 1 || entry.compare(0, target.size(), target) != 0 ||
        entry[target.size()] != '.')
        return false;
    const char* rest = entry.c_str() + target.size() + 1;
    char* end = nullptr;
    long pid = std::strtol(rest, &end, 10);
    if (end == rest || *end != '.' || pid == ownPid) return false;
    rest = end + 1;
    std::strtoul(rest, &end, 10);
    return end != rest && std::strcmp(end, ".tmp") == 0;
}

void sweepLeftovers(const std::string& path) {
    static std::vector<std::string> swept;
    for (const std::string& done : swept)
        if (done == path) return;
    swept.push_back(path);
    std::string folder = folderOf(path);
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* e = readdir(dir))
        if (leftoverOf(e->d_name, name, static_cast<long>(getpid())))
            unlink((folder + "/" + e->d_name).c_str());
    closedir(dir);
}

} // namespace

namespace {

// Reads up to capacity bytes of the regular file open as fd, and closes it.
long readOpenFile(int fd, char* buffer, size_t capacity) {
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    size_t total = 0;
    while (total < capacity) {
        ssize_t got = read(fd, buffer + total, capacity - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            return -1;
        }
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    close(fd);
    return static_cast<long>(total);
}

} // namespace

long readFileStart(const char* path, char* buffer, size_t capacity) {
    if (!path || !*path) return -1;
    return readOpenFile(openForReading(path), buffer, capacity);
}

long readExistingFile(const char* path, char* buffer, size_t capacity) {
    if (!path || !*path) return -1;
    return readOpenFile(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK), buffer, capacity);
}

// Mended: fidelity M14.
int replaceFile(const char* path, const char* data, size_t size) {
    if (!path || !*path) return 0;
    std::string target = path;
    std::string temporary;
    int fd = createTemporary(target, &temporary);
    if (fd < 0) return 0;
    bool written = writeAll(fd, data, size) && fsync(fd) == 0;
    if (close(fd) != 0) written = false;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return 0;
    }
    syncFolder(target);
    sweepLeftovers(target);
    hostFileReplaced();
    return 1;
}
