#include "platform/server/os.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

sigset_t stopSignals;
std::atomic<bool> released{false};

} // namespace

bool startChild(const std::string& program, const char* argument, ChildProcess* child) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return false;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return false;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    child->pid = pid;
    child->in = toChild[1];
    child->out = fromChild[0];
    if (pid < 0) stopChild(child);
    return pid > 0;
}

void stopChild(ChildProcess* child) {
    if (child->in >= 0) close(child->in);
    if (child->out >= 0) close(child->out);
    child->in = child->out = -1;
    if (child->pid > 0) waitpid(child->pid, nullptr, 0);
    child->pid = -1;
}

bool readAll(int fd, void* data, size_t size) {
    auto* p = static_cast<unsigned char*>(data);
    while (size > 0) {
        ssize_t got = read(fd, p, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

bool writeAll(int fd, const void* data, size_t size) {
    auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        ssize_t put = write(fd, p, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

void ignoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

std::string ownExecutable(const char* argv0) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return argv0;
    path[n] = '\0';
    return path;
}

void holdStopSignals() {
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
}

bool waitForStopSignal() {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    return !released;
}

// Every thread holds the signal back, so it stays pending until the
// waiter takes it, whenever that is.
void releaseStopWaiter() {
    released = true;
    kill(getpid(), SIGTERM);
}

void widenBacklog(int socket, int queued) {
    ::listen(socket, queued);
}
