// A bounded load test of reefdart-scores on 127.0.0.1: it starts the server
// itself (a temporary SQLite file, no rate limit, the site's clock sped up
// so that games need not take their real time), keeps many games in flight
// for the given seconds (each: ticket, start, its play time, submission,
// verification, publishing), stops the server and prints the games verified
// and ranked a second and the time from a game's end to its rank.
//
//     scores_load [--seconds 30] [--minutes 1] [--clients 16] [--in-flight 24]
//                 [--speed 60] SERVER
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
    int clients = 16, inFlight = 24;
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
// every game, while the clients go on with their others.
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

struct Game {
    std::string ticket;
    std::future<std::string> bytes;
    Clock::time_point due, submitted, nextTry;
    std::chrono::milliseconds wait{2}; // before the next publishing attempt
    bool sent = false;
};

void client(const Settings& s, int port, Clock::time_point end, int index, Totals* totals,
            Player* player) {
    httplib::Client http("127.0.0.1", port);
    http.set_read_timeout(60);
    http.set_keep_alive(false);
    uint32_t ticks = static_cast<uint32_t>(s.minutes * 60 * 200) + 1;
    auto playWall = std::chrono::duration<double>(s.minutes * 60 / s.speed);
    std::vector<Game> games;
    uint32_t salt = static_cast<uint32_t>(index) * 7919;
    auto fail = [&](const std::string& what) {
        std::lock_guard<std::mutex> lock(totals->mutex);
        ++totals->failed;
        if (totals->firstRefusal.empty()) totals->firstRefusal = what;
    };
    while (Clock::now() < end || !games.empty()) {
        if (Clock::now() < end && static_cast<int>(games.size()) < s.inFlight / s.clients + 1) {
            auto t = http.Post("/api/tickets");
            if (!t || t->status != 201) {
                fail("ticket");
                continue;
            }
            json j = json::parse(t->body);
            Game g;
            g.ticket = j["ticket"];
            auto started = http.Post(("/api/tickets/" + g.ticket + "/start").c_str());
            g.due = Clock::now() + std::chrono::duration_cast<Clock::duration>(playWall);
            if (!started || started->status != 204) {
                fail("start");
                continue;
            }
            g.bytes = player->play(g.ticket, j["seed"].get<uint32_t>(), ticks, ++salt);
            games.push_back(std::move(g));
        }
        for (size_t i = 0; i < games.size();) {
            Game& g = games[i];
            bool done = false;
            if (!g.sent && Clock::now() >= g.due) {
                g.submitted = Clock::now();
                g.nextTry = g.submitted + g.wait;
                auto r = http.Post("/api/runs", g.bytes.get(), "application/octet-stream");
                g.sent = true;
                if (!r || r->status != 202) {
                    std::lock_guard<std::mutex> lock(totals->mutex);
                    ++totals->refused;
                    if (totals->firstRefusal.empty() && r) totals->firstRefusal = r->body;
                    done = true;
                }
            } else if (g.sent && Clock::now() >= g.nextTry) {
                auto r = http.Post(
                    ("/api/runs/" + g.ticket + "/publish").c_str(),
                    json{{"name", "Load" + std::to_string(index)},
                         {"key", "load-test-key-" + std::to_string(index) + "-0123456789"}}
                        .dump(),
                    "application/json");
                if (r && r->status == 200) {
                    double ms =
                        std::chrono::duration<double, std::milli>(Clock::now() - g.submitted)
                            .count();
                    std::lock_guard<std::mutex> lock(totals->mutex);
                    totals->latencies.push_back(ms);
                    done = true;
                } else if (!r || r->status != 202) {
                    fail(r ? r->body : "publish");
                    done = true;
                } else {
                    // Still being verified: try again a little later each time.
                    g.wait = std::min(g.wait * 2, std::chrono::milliseconds(40));
                    g.nextTry = Clock::now() + g.wait;
                }
            }
            if (done) {
                games.erase(games.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
        } else if (a == "--clients" && value) {
            s.clients = std::atoi(argv[++i]);
        } else if (a == "--in-flight" && value) {
            s.inFlight = std::atoi(argv[++i]);
        } else if (a == "--speed" && value) {
            s.speed = std::atof(argv[++i]);
        } else if (a[0] != '-' && s.server.empty()) {
            s.server = a;
        } else {
            std::fprintf(stderr, "usage: scores_load [--seconds N] [--minutes N] [--clients N] "
                                 "[--in-flight N] [--speed N] SERVER\n");
            return 2;
        }
    }
    if (s.server.empty() || s.seconds <= 0 || s.seconds > 600 || s.minutes <= 0 || s.minutes > 60 ||
        s.clients < 1 || s.clients > 256 || s.inFlight < 1 || s.speed < 1) {
        std::fprintf(stderr, "scores_load: a server, 0 < seconds <= 600, 0 < minutes <= 60, "
                             "1 to 256 clients, and a speed of at least 1\n");
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
    for (int i = 0; i < s.clients; ++i)
        clients.emplace_back(client, std::cref(s), port, end, i, &totals, &player);
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
    std::printf("%g-minute games, %d clients, %d in flight, clock x%g: %zu ranked in %.1f s "
                "(%.1f a second); end to rank p50 %.1f ms, p99 %.1f ms, most %.1f ms; %d refused, "
                "%d failed%s%s\n",
                s.minutes, s.clients, s.inFlight, s.speed, l.size(), took, l.size() / took, at(0.5),
                at(0.99), l.empty() ? 0.0 : l.back(), totals.refused, totals.failed,
                totals.firstRefusal.empty() ? "" : "; first: ", totals.firstRefusal.c_str());
    return totals.failed == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
