#include "platform/host/instance.h"

#include "platform/host/host.h"
#include "platform/wince/winapi.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int lockFd = -1;
int listenFd = -1;

// A name for the data folder that every copy agrees on.
std::string instanceKey() {
    char resolved[PATH_MAX];
    const char* folder = realpath(dataFolder(), resolved) ? resolved : dataFolder();
    uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (const char* p = folder; *p; ++p)
        hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    char key[64];
    std::snprintf(key, sizeof key, "reefdart-%u-%016llx", static_cast<unsigned>(getuid()),
                  static_cast<unsigned long long>(hash));
    return key;
}

std::string lockPath() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string base = dir && *dir ? dir : "/tmp";
    return base + "/" + instanceKey() + ".lock";
}

// Abstract socket names live outside the file system, so the data folder's
// path length does not matter and nothing is left behind.
socklen_t socketAddress(sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    std::string name = instanceKey();
    std::memcpy(address->sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

void listenForLaterCopies() {
    listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0) return;
    sockaddr_un address;
    socklen_t length = socketAddress(&address);
    if (bind(listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listenFd, 4) != 0) {
        close(listenFd);
        listenFd = -1;
    }
}

} // namespace

bool otherCopyRunning() {
    if (lockFd >= 0) return false;
    int fd = open(lockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false; // no lock to be had: run rather than refuse to start
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return errno == EWOULDBLOCK;
    }
    lockFd = fd;
    listenForLaterCopies();
    return false;
}

bool askOtherCopyToComeForward() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address;
    socklen_t length = socketAddress(&address);
    bool sent = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                write(fd, "front\n", 6) == 6;
    close(fd);
    return sent;
}

void pollInstanceRequests() {
    if (listenFd < 0) return;
    for (;;) {
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        close(fd);
        std::fprintf(stderr,
                     "reefdart: another copy was started; bringing this one to the front\n");
        if (host && host->raiseWindow) host->raiseWindow();
    }
}

void releaseInstance() {
    if (listenFd >= 0) close(listenFd);
    if (lockFd >= 0) close(lockFd);
    listenFd = lockFd = -1;
}
