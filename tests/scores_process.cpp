// reefdart-scores as a process: killed (SIGKILL) while it verifies and
// publishes it loses no accepted run and leaves no half-written entry, and
// stopped (SIGTERM) it finishes what it queued before it exits. The game
// sends its runs to it, or plays offline when it is out of reach.
#include "game/replay.h"
#include "scores/store.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

using json = nlohmann::json;

namespace {

// The server's clock is a file the test writes: a game's play time passes
// when the test says so.
std::string clockFile;
int64_t testNow = 1765152000000;
void advanceClock(int64_t ms) {
    testNow += ms;
    std::ofstream(clockFile + ".new") << testNow << "\n";
    std::rename((clockFile + ".new").c_str(), clockFile.c_str());
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ServerProcess {
  public:
    explicit ServerProcess(const std::string& db) : log_(db + std::to_string(++started_) + ".log") {
        pid_ = fork();
        if (pid_ == 0) {
            dup2(open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            execl(REEFDART_SCORES_EXE, REEFDART_SCORES_EXE, "--db", db.c_str(), "--listen",
                  "127.0.0.1:0", "--rate-limit", "0", "--test-clock", clockFile.c_str(),
                  "--workers", "1", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Its first line names the address it listens on.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (port_ == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::string text = slurp(log_);
            size_t at = text.find("\"address\":\"http://127.0.0.1:");
            if (at != std::string::npos && text.find('\n', at) != std::string::npos)
                port_ = std::atoi(text.c_str() + at + 28);
        }
        EXPECT_GT(port_, 0);
    }
    ~ServerProcess() {
        if (pid_ > 0) stop(SIGKILL);
    }
    int stop(int signal) {
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    int port() const { return port_; }

  private:
    static inline int started_ = 0;
    std::string log_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Ten minutes of play: a few milliseconds to verify, so that a kill right
// after the last submission finds most of them queued.
std::string gameFor(const std::string& ticket, uint32_t seed, Replay* r) {
    r->edition = EDITION_DESKTOP;
    r->version = "1.0.0";
    r->ticket = ticket;
    r->start.randomState = seed;
    for (uint32_t t = 0; t <= 120000; ++t) r->tickTimes.push_back(9000 + 5 * t);
    sealReplay(r);
    std::vector<uint8_t> b = encodeReplay(*r);
    return std::string(b.begin(), b.end());
}

struct Client {
    httplib::Client http;
    explicit Client(int port) : http("127.0.0.1", port) { http.set_read_timeout(30); }
    json post(const std::string& path, const std::string& body = "", int* status = nullptr,
              const char* type = "application/json") {
        auto r = http.Post(path.c_str(), body, type);
        if (status) *status = r ? r->status : 0;
        return r ? json::parse(r->body, nullptr, false) : json();
    }
    json get(const std::string& path) {
        auto r = http.Get(path.c_str());
        return r ? json::parse(r->body, nullptr, false) : json();
    }
    // A ticket's game, started and its play time passed on the site's clock.
    std::string started(Replay* r) {
        json t = post("/api/tickets");
        post("/api/tickets/" + t.value("ticket", "") + "/start");
        advanceClock(600000);
        return gameFor(t.value("ticket", ""), t.value("seed", 0u), r);
    }
    // Plays and submits a game; its ticket once the site accepted it.
    std::string play() {
        Replay r;
        int status = 0;
        json answer = post("/api/runs", started(&r), &status, "application/octet-stream");
        EXPECT_EQ(status, 202) << answer.dump();
        return status == 202 ? r.ticket : "";
    }
    // The run's state once it is no longer queued (a generous deadline).
    std::string settled(const std::string& ticket) {
        std::string state;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        do {
            state = get("/api/runs/" + ticket).value("state", "");
            if (state != "queued") break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < deadline);
        return state;
    }
};

class ScoresProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/reefdart-scores-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        clockFile = folder_ + "/clock";
        advanceClock(0);
        std::ofstream(folder_ + "/game.txt") << "wait 1500\nkey START\nwait 10000\n";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string db() const { return folder_ + "/scores.db"; }
    // The game, headless, playing `script` with its data in data/ and the
    // site at port; its exit code.
    int runGame(int port, const std::string& script = "game.txt", const std::string& more = "") {
        std::string command = std::string(REEFDART_EXE) + " --headless " + folder_ + "/" + script +
                              " --data-dir " + data() +
                              " --scores http://127.0.0.1:" + std::to_string(port) + more +
                              " >/dev/null 2>&1";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string data() const { return folder_ + "/data"; }
    std::string folder_;
};

TEST_F(ScoresProcess, AKillLosesNoAcceptedRunAndAStopFinishesWhatWasQueued) {
    std::vector<std::string> accepted;
    std::map<std::string, int64_t> published; // ticket: entry id
    {
        ServerProcess server(db());
        Client c(server.port());
        for (int i = 0; i < 30; ++i) {
            accepted.push_back(c.play());
            ASSERT_FALSE(accepted.back().empty());
        }
        // Publishing what is verified while the rest is still being verified;
        // the kill comes in the middle of it.
        std::atomic<bool> publishing{true};
        std::thread publisher([&] {
            Client p(server.port());
            for (size_t i = 0; publishing && i < accepted.size(); ++i) {
                int status = 0;
                json j = p.post(
                    "/api/runs/" + accepted[i] + "/publish",
                    json{{"name", "Kill" + std::to_string(i)}, {"key", "kill-test-key-0123456789"}}
                        .dump(),
                    &status);
                if (status == 200) published[accepted[i]] = j["id"].get<int64_t>();
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        server.stop(SIGKILL);
        publishing = false;
        publisher.join();
    }
    ServerProcess again(db());
    Client c(again.port());
    for (const std::string& id : accepted) EXPECT_EQ(c.settled(id), "verified") << id;
    // Every entry answered is on the board.
    json board = c.get("/api/boards/all");
    std::map<int64_t, bool> listed;
    for (const json& e : board["entries"]) listed[e["id"].get<int64_t>()] = true;
    for (const auto& [ticket, entry] : published) EXPECT_TRUE(listed.count(entry)) << ticket;
    // Stopped, it finishes what it has queued first.
    for (int i = 0; i < 20; ++i) ASSERT_FALSE(c.play().empty());
    EXPECT_EQ(again.stop(SIGTERM), 0);
    std::string error;
    std::unique_ptr<Store> store = openStore(db(), &error);
    ASSERT_TRUE(store) << error;
    EXPECT_TRUE(store->queuedRuns().empty());
}

TEST_F(ScoresProcess, AGamePlayedOnlineIsSentVerifiedAndPublished) {
    ServerProcess server(db());
    ASSERT_EQ(runGame(server.port(), "game.txt", " --name Online1"), 0);
    json board = Client(server.port()).get("/api/boards/all");
    ASSERT_EQ(board["entries"].size(), 1u) << board;
    EXPECT_EQ(board["entries"][0]["name"], "Online1");
    EXPECT_EQ(board["entries"][0]["score"], std::stoi(slurp(data() + "/record.dat")));
    EXPECT_TRUE(std::filesystem::is_empty(data() + "/outbox"));
    EXPECT_GE(slurp(data() + "/scores.key").size(), 16u);
}

TEST_F(ScoresProcess, AReplayLeftInTheOutboxGoesAtTheNextStart) {
    ServerProcess server(db());
    Client c(server.port());
    Replay r;
    std::string bytes = c.started(&r);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(r.finalHash));
    int status = 0;
    c.post("/api/tickets/" + r.ticket + "/finish", json{{"final_hash", hash}}.dump(), &status);
    EXPECT_EQ(status, 204);
    // The game was killed before its replay went; it comes back an hour later.
    advanceClock(3600000);
    std::filesystem::create_directories(data() + "/outbox");
    std::ofstream(data() + "/outbox/" + r.ticket + ".rdr", std::ios::binary) << bytes;
    std::ofstream(folder_ + "/idle.txt") << "wait 100\n";
    ASSERT_EQ(runGame(server.port(), "idle.txt"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(data() + "/outbox"));
    EXPECT_EQ(c.settled(r.ticket), "verified");
}

TEST_F(ScoresProcess, WithTheSiteOutOfReachGamesArePlayedOffline) {
    // A port nothing listens on: bound, then closed.
    int port = 0;
    {
        ServerProcess gone(folder_ + "/gone.db");
        port = gone.port();
        gone.stop(SIGKILL);
    }
    ASSERT_EQ(runGame(port), 0);
    std::string last = slurp(data() + "/lastgame.rdr");
    Replay r;
    std::string why;
    ASSERT_TRUE(decodeReplay(reinterpret_cast<const uint8_t*>(last.data()), last.size(), &r, &why))
        << why;
    EXPECT_EQ(r.ticket, "");
    EXPECT_TRUE(std::filesystem::is_empty(data() + "/outbox"));
}

} // namespace
