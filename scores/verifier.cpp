#include "scores/verifier.h"

#include "game/replay.h"

#include <condition_variable>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>
#include <fcntl.h>
#include <unistd.h>
#include <sys/wait.h>

namespace {

bool readAll(int fd, void* data, size_t size) {
    auto* p = static_cast<uint8_t*>(data);
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
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t put = write(fd, p, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

std::string verdictLine(const uint8_t* bytes, size_t size) {
    Replay replay;
    std::string why;
    if (!decodeReplay(bytes, size, &replay, &why)) return "no it is no valid replay: " + why;
    ReplayVerdict v = verifyReplay(replay);
    if (!v.matches) return "no it " + v.reason;
    char line[128];
    std::snprintf(line, sizeof line, "ok %d %u %u %016llx", static_cast<int>(v.score),
                  static_cast<unsigned>(v.ticks), static_cast<unsigned>(v.playMs),
                  static_cast<unsigned long long>(v.finalHash));
    return line;
}

Verdict parseVerdict(const std::string& line) {
    Verdict v;
    if (line.rfind("ok ", 0) == 0) {
        std::istringstream in(line.substr(3));
        in >> v.score >> v.ticks >> v.playMs >> v.finalHash;
        v.verified = !in.fail();
        if (!v.verified) v.reason = "could not be verified";
    } else if (line.rfind("no ", 0) == 0) {
        v.reason = line.substr(3);
    } else {
        v.reason = "could not be verified";
    }
    return v;
}

struct Child {
    pid_t pid = -1;
    int in = -1, out = -1; // to its standard input, from its output

    bool start(const std::string& program) {
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0) return false;
        if (pipe2(fromChild, O_CLOEXEC) != 0) {
            close(toChild[0]);
            close(toChild[1]);
            return false;
        }
        pid = fork();
        if (pid == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            execl(program.c_str(), program.c_str(), "--verifier", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        in = toChild[1];
        out = fromChild[0];
        if (pid < 0) stop();
        return pid > 0;
    }
    void stop() {
        if (in >= 0) close(in);
        if (out >= 0) close(out);
        in = out = -1;
        if (pid > 0) waitpid(pid, nullptr, 0);
        pid = -1;
    }
    // The child's answer for one replay; empty when it failed (it is then
    // stopped, to be started afresh).
    std::string ask(const std::vector<uint8_t>& replay) {
        uint8_t length[4] = {
            static_cast<uint8_t>(replay.size()), static_cast<uint8_t>(replay.size() >> 8),
            static_cast<uint8_t>(replay.size() >> 16), static_cast<uint8_t>(replay.size() >> 24)};
        std::string line;
        if (writeAll(in, length, 4) && writeAll(in, replay.data(), replay.size())) {
            char c;
            while (readAll(out, &c, 1) && c != '\n') line += c;
            if (c == '\n') return line;
        }
        stop();
        return "";
    }
};

} // namespace

int runVerifierProcess() {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<uint8_t> bytes;
    for (;;) {
        uint8_t length[4];
        if (!readAll(0, length, 4)) return 0;
        size_t size = length[0] | length[1] << 8 | length[2] << 16 | uint32_t{length[3]} << 24;
        if (size > REPLAY_MAX_BYTES) {
            // Never sent by the pool, which checks sizes first.
            return 1;
        }
        bytes.resize(size);
        if (!readAll(0, bytes.data(), size)) return 1;
        std::string line = verdictLine(bytes.data(), size) + "\n";
        if (!writeAll(1, line.data(), line.size())) return 1;
    }
}

struct VerifierPool::State {
    std::string program;
    std::function<void(const std::string&, const Verdict&)> done;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::pair<std::string, std::vector<uint8_t>>> queue;
    size_t busy = 0;
    bool stopping = false;
    std::vector<std::thread> threads;

    void work() {
        Child child;
        for (;;) {
            std::pair<std::string, std::vector<uint8_t>> job;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [&] { return stopping || !queue.empty(); });
                if (queue.empty()) break;
                job = std::move(queue.front());
                queue.pop_front();
                ++busy;
            }
            std::string line;
            for (int attempt = 0; attempt < 2 && line.empty(); ++attempt) {
                if (child.pid < 0 && !child.start(program)) continue;
                line = child.ask(job.second);
            }
            done(job.first, parseVerdict(line));
            std::lock_guard<std::mutex> lock(mutex);
            --busy;
        }
        child.stop();
    }
};

VerifierPool::VerifierPool(std::string program, int workers,
                           std::function<void(const std::string&, const Verdict&)> done)
    : s_(new State) {
    s_->program = std::move(program);
    s_->done = std::move(done);
    for (int i = 0; i < (workers < 1 ? 1 : workers); ++i)
        s_->threads.emplace_back([this] { s_->work(); });
}

VerifierPool::~VerifierPool() {
    drain();
    delete s_;
}

void VerifierPool::add(const std::string& ticket, std::vector<uint8_t> replay) {
    {
        std::lock_guard<std::mutex> lock(s_->mutex);
        s_->queue.emplace_back(ticket, std::move(replay));
    }
    s_->wake.notify_one();
}

size_t VerifierPool::waiting() const {
    std::lock_guard<std::mutex> lock(s_->mutex);
    return s_->queue.size() + s_->busy;
}

void VerifierPool::drain() {
    {
        std::lock_guard<std::mutex> lock(s_->mutex);
        if (s_->threads.empty()) return;
        s_->stopping = true;
    }
    s_->wake.notify_all();
    for (std::thread& t : s_->threads) t.join();
    s_->threads.clear();
}
