// A bounded load test of reefdart-scores on 127.0.0.1: it starts the server
// itself (a temporary SQLite file, no rate limit, the site's clock sped up
// so that games need not take their real time), keeps many games in flight
// for the given seconds (each: ticket, start, its play time, submission,
// verification, publishing), stops the server and prints the games verified
// and ranked a second and the time from a game's end to its rank.
//
//     scores_load [--seconds 30] [--minutes 1] [--in-flight 24] [--speed 60] SERVER
//
// The client plays each game by the rules itself (on one thread of its own),
// on the same machine.
#include "game/replay.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

struct Settings {
    double seconds = 30, minutes = 1, speed = 60;
    int inFlight = 24;
    std::string server;
};

struct Totals {
    std::mutex mutex;
    std::vector<double> latencies; // ms from submission to rank
    int refused = 0, failed = 0;
    std::string firstRefusal;
};

std::string replayFor(const std::string& ticket, uint32_t seed, uint32_t ticks, uint32_t salt) {
    Replay r;
    r.edition = EDITION_BROWSER;
    r.version = "load";
    r.ticket = ticket;
    r.start.randomState = seed;
    for (uint32_t t = 0; t < ticks; ++t) r.tickTimes.push_back(1000 + 5 * t);
    for (uint32_t t = salt % 50; t < ticks; t += 37 + salt % 23)
        r.changes.push_back(RiseChange{t, static_cast<int32_t>(r.changes.size() % 2 == 0)});
    sealReplay(&r);
    std::vector<uint8_t> b = encodeReplay(r);
    return std::string(b.begin(), b.end());
}

// The rules keep their state in program-wide variables, so one thread plays
// every game, while the players go on waiting for their games to end.
class Player {
  public:
    Player() : thread_([this] { run(); }) {}
    ~Player() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    std::future<std::string> play(std::string ticket, uint32_t seed, uint32_t ticks,
                                  uint32_t salt) {
        Job job{std::move(ticket), seed, ticks, salt, {}};
        std::future<std::string> done = job.result.get_future();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
        return done;
    }

  private:
    struct Job {
        std::string ticket;
        uint32_t seed, ticks, salt;
        std::promise<std::string> result;
    };
    void run() {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job.result.set_value(replayFor(job.ticket, job.seed, job.ticks, job.salt));
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

// One player after another on one connection-less client, as a browser
// would be: ticket, start, the game's play time, its replay, then publishing
// with `?wait=`, so that the rank comes back as soon as the site has it.
void playerLoop(const Settings& s, int port, Clock::time_point end, int index, Totals* totals,
                Player* player) {
    httplib::Client http("127.0.0.1", port);
    http.set_read_timeout(60);
    http.set_keep_alive(false);
    uint32_t ticks = static_cast<uint32_t>(s.minutes * 60 * 200) + 1;
    auto playWall = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(s.minutes * 60 / s.speed));
    auto note = [&](int* count, const std::string& what) {
        std::lock_guard<std::mutex> lock(totals->mutex);
        ++*count;
        if (totals->firstRefusal.empty()) totals->firstRefusal = what;
    };
    // The players start spread over one game's time, as they would, so that
    // their games do not all end in the same instant.
    std::this_thread::sleep_for(playWall * index / s.inFlight);
    json publishBody = {{"name", "Load" + std::to_string(index % 100)},
                        {"key", "load-test-key-" + std::to_string(index % 100) + "-0123456789"}};
    for (uint32_t salt = static_cast<uint32_t>(index) * 7919; Clock::now() < end; ++salt) {
        auto t = http.Post("/api/tickets");
        if (!t || t->status != 201) {
            note(&totals->failed, t ? t->body : "ticket");
            continue;
        }
        json j = json::parse(t->body);
        std::string ticket = j["ticket"];
        auto started = http.Post(("/api/tickets/" + ticket + "/start").c_str());
        auto due = Clock::now() + playWall;
        if (!started || started->status != 204) {
            note(&totals->failed, "start");
            continue;
        }
        std::string bytes = player->play(ticket, j["seed"].get<uint32_t>(), ticks, salt).get();
        std::this_thread::sleep_until(due);
        auto submitted = Clock::now();
        auto r = http.Post("/api/runs", bytes, "application/octet-stream");
        if (!r || r->status != 202) {
            note(&totals->refused, r ? r->body : "submission");
            continue;
        }
        std::string publish = "/api/runs/" + ticket + "/publish?wait=10";
        do {
            r = http.Post(publish.c_str(), publishBody.dump(), "application/json");
        } while (r && r->status == 202);
        if (!r || r->status != 200) {
            note(&totals->failed, r ? r->body : "publish");
            continue;
        }
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - submitted).count();
        std::lock_guard<std::mutex> lock(totals->mutex);
        totals->latencies.push_back(ms);
    }
}

pid_t startServer(const Settings& s, const std::string& db, int* port) {
    int err[2];
    if (pipe(err) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], 2);
        std::string speed = std::to_string(s.speed);
        execl(s.server.c_str(), s.server.c_str(), "--db", db.c_str(), "--listen", "127.0.0.1:0",
              "--rate-limit", "0", "--clock-speed", speed.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    FILE* log = fdopen(err[0], "r");
    char line[512];
    while (*port == 0 && std::fgets(line, sizeof line, log)) {
        const char* at = std::strstr(line, "\"address\":\"http://127.0.0.1:");
        if (at) *port = std::atoi(at + 28);
    }
    // The refusals it logs go on being read, so that it never blocks on them.
    std::thread([log] {
        char rest[512];
        while (std::fgets(rest, sizeof rest, log)) {
        }
        std::fclose(log);
    }).detach();
    return pid;
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool value = i + 1 < argc;
        if (a == "--seconds" && value) {
            s.seconds = std::atof(argv[++i]);
        } else if (a == "--minutes" && value) {
            s.minutes = std::atof(argv[++i]);
        } else if (a == "--in-flight" && value) {
            s.inFlight = std::atoi(argv[++i]);
        } else if (a == "--speed" && value) {
            s.speed = std::atof(argv[++i]);
        } else if (a[0] != '-' && s.server.empty()) {
            s.server = a;
        } else {
            std::fprintf(stderr, "usage: scores_load [--seconds N] [--minutes N] [--in-flight N] "
                                 "[--speed N] SERVER\n");
            return 2;
        }
    }
    if (s.server.empty() || s.seconds <= 0 || s.seconds > 600 || s.minutes <= 0 || s.minutes > 60 ||
        s.inFlight < 1 || s.inFlight > 1000 || s.speed < 1) {
        std::fprintf(stderr, "scores_load: a server, 0 < seconds <= 600, 0 < minutes <= 60, "
                             "1 to 1000 games in flight, and a speed of at least 1\n");
        return 2;
    }
    char folder[] = "/tmp/reefdart-load-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    int port = 0;
    pid_t server = startServer(s, std::string(folder) + "/scores.db", &port);
    if (server <= 0 || port <= 0) {
        std::fprintf(stderr, "scores_load: the server did not start\n");
        return 1;
    }
    Totals totals;
    Player player;
    auto begin = Clock::now();
    auto end = begin + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(s.seconds));
    std::vector<std::thread> clients;
    for (int i = 0; i < s.inFlight; ++i)
        clients.emplace_back(playerLoop, std::cref(s), port, end, i, &totals, &player);
    for (std::thread& t : clients) t.join();
    double took = std::chrono::duration<double>(Clock::now() - begin).count();
    kill(server, SIGTERM);
    int status = 0;
    waitpid(server, &status, 0);
    std::filesystem::remove_all(folder);
    std::vector<double>& l = totals.latencies;
    std::sort(l.begin(), l.end());
    auto at = [&](double q) {
        return l.empty() ? 0.0 : l[static_cast<size_t>(q * (l.size() - 1))];
    };
    std::printf("%g-minute games, %d in flight, clock x%g: %zu ranked in %.1f s "
                "(%.1f a second); end to rank p50 %.1f ms, p99 %.1f ms, most %.1f ms; %d refused, "
                "%d failed%s%s\n",
                s.minutes, s.inFlight, s.speed, l.size(), took, l.size() / took, at(0.5), at(0.99),
                l.empty() ? 0.0 : l.back(), totals.refused, totals.failed,
                totals.firstRefusal.empty() ? "" : "; first: ", totals.firstRefusal.c_str());
    return totals.failed == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
