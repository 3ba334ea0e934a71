#include "scores/verifier.h"

#include "game/replay.h"
#include "platform/server/os.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

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
    ChildProcess process;

    bool start(const std::string& program) { return startChild(program, "--verifier", &process); }
    void stop() { stopChild(&process); }
    bool running() const { return process.pid > 0; }
    // The child's answer for one replay; empty when it failed (it is then
    // stopped, to be started afresh).
    std::string ask(const std::vector<uint8_t>& replay) {
        uint8_t length[4] = {
            static_cast<uint8_t>(replay.size()), static_cast<uint8_t>(replay.size() >> 8),
            static_cast<uint8_t>(replay.size() >> 16), static_cast<uint8_t>(replay.size() >> 24)};
        std::string line;
        if (writeAll(process.in, length, 4) && writeAll(process.in, replay.data(), replay.size())) {
            char c = 0;
            while (readAll(process.out, &c, 1) && c != '\n') line += c;
            if (c == '\n') return line;
        }
        stop();
        return "";
    }
};

} // namespace

int runVerifierProcess() {
    ignoreBrokenPipes();
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
                if (!child.running() && !child.start(program)) continue;
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
