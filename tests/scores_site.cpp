// The score site over HTTP (SQLite, or the PostgreSQL REEFDART_SCORES_DB names), as a
// process killed or stopped mid-work, and the game as its client.
#include "game/replay.h"
#include "scores/checks.h"
#include "scores/site.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <tuple>
#include <unistd.h>

using json = nlohmann::json;

namespace {

constexpr int64_t T0 = 1765152000000; // a Monday, 00:00 UTC
const std::string KEY = "k3y-of-this-installation-0123456789";
const std::string OTHER_KEY = "another-key-0123456789abcdef";

// Steady 5 ms ticks, rise toggled every 40 (or never: the same score whatever the seed).
Replay game(const std::string& ticket, uint32_t seed, uint32_t seconds, bool flown = true) {
    Replay r;
    r.edition = EDITION_BROWSER;
    r.version = "1.0.0";
    r.ticket = ticket;
    r.start.randomState = seed;
    for (uint32_t t = 0; t <= seconds * 200; ++t) r.tickTimes.push_back(50000 + 5 * t);
    for (uint32_t t = 0; flown && t < r.tickTimes.size(); t += 40)
        r.changes.push_back(RiseChange{t, static_cast<int32_t>(t / 40 % 2 == 0)});
    sealReplay(&r);
    return r;
}

std::string bytesOf(const Replay& r) {
    std::vector<uint8_t> b = encodeReplay(r);
    return std::string(b.begin(), b.end());
}

std::string named(const std::string& name, const std::string& key) {
    return json{{"name", name}, {"key", key}}.dump();
}

std::string refusal(const json& answer) {
    return answer.is_object() ? answer.value("refused", "") : "";
}

std::string urlEncoded(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += hex;
    }
    return out;
}

class ScoreTest : public ::testing::Test {
  protected:
    void connect(int port) {
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port);
        client_->set_read_timeout(30);
    }
    httplib::Result request(const std::string& method, const std::string& path,
                            const std::string& body = "", const char* type = "application/json") {
        return method == "GET"      ? client_->Get(path.c_str())
               : method == "DELETE" ? client_->Delete(path.c_str(), body, type)
                                    : client_->Post(path.c_str(), body, type);
    }
    json call(const std::string& method, const std::string& path, const std::string& body = "",
              int* status = nullptr, const char* type = "application/json") {
        httplib::Result r = request(method, path, body, type);
        EXPECT_TRUE(r) << method << " " << path;
        if (!r) return json();
        if (status) *status = r->status;
        return json::parse(r->body, nullptr, false);
    }
    json ticket() {
        json t = call("POST", "/api/tickets");
        tickets_.push_back(t["ticket"]);
        return t;
    }
    // A new ticket's game of the given length, started now.
    Replay started(uint32_t seconds, bool flown = true) {
        json t = ticket();
        Replay r = game(t["ticket"], t["seed"], seconds, flown);
        int status = 0;
        call("POST", "/api/tickets/" + r.ticket + "/start", "", &status);
        EXPECT_EQ(status, 204);
        return r;
    }
    json submit(const std::string& bytes, int* status = nullptr) {
        return call("POST", "/api/runs", bytes, status, "application/octet-stream");
    }
    // The run's state once no longer queued, each request held up to ten seconds.
    json settled(const std::string& ticket) {
        json run;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        do {
            run = call("GET", "/api/runs/" + ticket + "?wait=10");
        } while (run.value("state", "") == "queued" && std::chrono::steady_clock::now() < deadline);
        return run;
    }

    std::unique_ptr<httplib::Client> client_;
    std::vector<std::string> tickets_;
};

class Site : public ScoreTest {
  protected:
    void SetUp() override { open(0); }
    void TearDown() override { close(); }

    void open(double rate) {
        std::string error;
        const char* db = std::getenv("REEFDART_SCORES_DB");
        if (!db || !*db) {
            char folder[] = "/tmp/reefdart-scores-XXXXXX";
            ASSERT_NE(mkdtemp(folder), nullptr);
            folder_ = folder;
        }
        store_ = openStore(folder_.empty() ? db : folder_ + "/scores.db", &error);
        ASSERT_TRUE(store_) << error;
        SiteConfig c;
        c.verifierProgram = REEFDART_SCORES_EXE;
        c.ratePerSecond = rate;
        c.rateBurst = rate * 3;
        c.now = [this] { return clock_.load(); };
        c.log = [this](const std::string& line) { logged_ += line + "\n"; };
        site_ = std::make_unique<ScoreSite>(*store_, c);
        port_ = site_->bind("127.0.0.1", 0);
        ASSERT_GT(port_, 0);
        server_ = std::thread([this] { site_->http().listen_after_bind(); });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!site_->http().is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        connect(port_);
    }
    void close() {
        if (!site_) return;
        site_->http().stop();
        server_.join();
        site_.reset();
        store_.reset();
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
        folder_.clear();
    }

    json publish(const std::string& ticket, const std::string& name, const std::string& key = KEY,
                 int* status = nullptr) {
        return call("POST", "/api/runs/" + ticket + "/publish", named(name, key), status);
    }
    json board() { return call("GET", "/api/boards/all")["entries"]; }
    // What the store holds on its board and about every ticket handed out.
    std::string stored() {
        std::string s;
        for (const Entry& e : store_->board(0, 100))
            s += e.name + " " + std::to_string(e.score) + " " + std::to_string(e.reports) + "\n";
        for (const std::string& id : tickets_) {
            Ticket t;
            ::Run r;
            if (store_->ticket(id, &t))
                s += id + std::to_string(t.startedMs) + "/" + std::to_string(t.finishedMs) +
                     t.finalHash + "\n";
            if (store_->run(id, &r)) s += std::string(runStateName(r.state)) + r.digest + "\n";
        }
        return s;
    }

    std::atomic<int64_t> clock_{T0 + 3600000};
    std::string folder_, logged_;
    std::unique_ptr<Store> store_;
    std::unique_ptr<ScoreSite> site_;
    std::thread server_;
    int port_ = 0;
};

TEST_F(Site, AGameIsVerifiedPublishedRankedAndWatchable) {
    Replay r = started(60);
    clock_ += 60000;
    int status = 0;
    EXPECT_EQ(submit(bytesOf(r), &status)["state"], "queued");
    EXPECT_EQ(status, 202);
    json run = settled(r.ticket);
    ASSERT_EQ(run["state"], "verified") << run.dump();
    EXPECT_EQ(run["score"], r.score);
    EXPECT_EQ(run["ticks"], r.tickTimes.size());
    EXPECT_EQ(board().size(), 0u); // nothing is public before it is published
    json ranked = publish(r.ticket, "Fin-1.a", KEY, &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(ranked["state"], "ranked");
    EXPECT_EQ(ranked["rank"], 1);
    EXPECT_EQ(ranked["week_rank"], 1);
    for (const char* which : {"week", "all"}) {
        json b = call("GET", std::string("/api/boards/") + which)["entries"];
        ASSERT_EQ(b.size(), 1u) << which;
        EXPECT_EQ(b[0]["name"], "Fin-1.a");
        EXPECT_EQ(b[0]["score"], r.score);
    }
    std::string entry = "/api/entries/" + std::to_string(ranked["id"].get<int64_t>());
    auto download = client_->Get((entry + "/replay").c_str());
    ASSERT_TRUE(download);
    EXPECT_TRUE(download->body == bytesOf(r));
    // A report's reason is kept as text, whatever it holds.
    call("POST", entry + "/report", json{{"reason", "'); DELETE FROM entries; --<b>"}}.dump(),
         &status);
    EXPECT_EQ(status, 200);
    // Its input, a change every 40 ticks exactly, is noted as no hand's.
    EXPECT_EQ(board()[0]["flag"], "regular");
    EXPECT_EQ(board()[0]["reports"], 1);
    EXPECT_EQ(call("GET", "/api/players/fin-1.A")["best"]["rank"], 1);
    auto page = client_->Get("/boards");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("Fin-1.a"), std::string::npos);
    EXPECT_NE(page->body.find("/play/?watch=/api/entries/"), std::string::npos);
    EXPECT_NE(page->body.find("input of machine regularity reported 1 time"), std::string::npos);
    // Publishing again changes nothing; the same replay again gets the same answer.
    publish(r.ticket, "Fin-1.a");
    EXPECT_EQ(submit(bytesOf(r), &status)["state"], "verified");
    EXPECT_EQ(status, 200);
    EXPECT_EQ(board().size(), 1u);
}

TEST_F(Site, EveryRefusalSaysWhyAndStoresNothing) {
    json expired = ticket();
    clock_ += 600001; // an unstarted ticket lives ten minutes
    json fresh = ticket();
    const std::string expiredId = expired["ticket"], freshId = fresh["ticket"];
    // Games of 30 s started together: 2% and 2 s either way are allowed.
    Replay unpublished = started(30, false), held = started(30, false), used = started(30),
           diverged = started(30), timed = started(30), early = started(30), late = started(30),
           ended = started(30);
    clock_ += 30000;
    diverged.checks[2] ^= 1; // the state after tick 3000 is not what the rules reach
    int status = 0;
    for (const Replay* r : {&unpublished, &held, &used, &diverged}) {
        submit(bytesOf(*r), &status);
        EXPECT_EQ(status, 202);
        EXPECT_EQ(settled(r->ticket)["state"], r == &diverged ? "refused" : "verified");
    }
    ::Run dropped;
    ASSERT_TRUE(store_->run(diverged.ticket, &dropped));
    EXPECT_TRUE(dropped.replay.empty());
    auto field = [](const char* name, const std::string& value) {
        return json{{name, value}}.dump();
    };
    call("POST", "/api/tickets/" + ended.ticket + "/finish",
         field("final_hash", "0123456789abcdef"), &status);
    EXPECT_EQ(status, 204);
    json rob = publish(held.ticket, "Rob");
    EXPECT_EQ(rob["rank"], 1);
    const std::string report =
        "POST /api/entries/" + std::to_string(rob["id"].get<int64_t>()) + "/report";
    call("POST", report.substr(5), field("reason", "too good"));

    const std::string runs = "POST /api/runs",
                      pub = "POST /api/runs/" + unpublished.ticket + "/publish",
                      finish = "POST /api/tickets/" + freshId + "/finish",
                      delRob = "DELETE /api/players/Rob", notJson = "the body is not a JSON object",
                      good = bytesOf(timed);
    const uint32_t seed = fresh["seed"];
    struct Case {
        std::string request, body;
        int status;
        std::string says = "";
        int64_t shift = 0; // ms the clock moves for this request alone
    };
    std::vector<Case> cases = {
        {runs, "<script>alert(1)</script>", 400, "no valid replay: it is not a"},
        {runs, bytesOf(game("", seed, 30)), 400, "an offline run"},
        {runs, bytesOf(game("NoSuchTicket", seed, 30)), 404, "no such ticket"},
        {runs, bytesOf(game(expiredId, expired["seed"], 30)), 410, "the ticket has expired"},
        {runs, bytesOf(game(freshId, seed, 30)), 422, "its game's start was never announced"},
        {runs, bytesOf(game(freshId, seed + 1, 30)), 422, "not seeded from its ticket"},
        {runs, good, 422, "sooner than its 30.0 s of play allow", -2601},
        {runs, good, 422, "the play was slowed down", 2601},
        {runs, bytesOf(ended), 422, "its end is not the one announced"},
        {runs, bytesOf(game(used.ticket, used.start.randomState, 31)), 409,
         "its ticket has been used"},
        {runs, std::string(REPLAY_MAX_BYTES + 4096, 'R'), 413, ""},
        {"POST /api/tickets/" + expiredId + "/start", "", 410, "the ticket has expired"},
        {"POST /api/tickets/NoSuchTicket/start", "", 404, "no such ticket"},
        {finish, field("final_hash", "0123456789ABCDEF"), 400, "16 lower-case hex digits"},
        {finish, field("final_hash", "0123456789abcdef"), 404, "its game was never started"},
        {pub, named("", KEY), 400, "a name is 1 to 12 letters"},
        {pub, named("Thirteen chars", KEY), 400, "a name is 1 to 12 letters"},
        {pub, named(" lead", KEY), 400, "starts and ends with no space"},
        {pub, named("ADMIN", KEY), 400, "that name is reserved"},
        {pub, named("ROB", OTHER_KEY), 403, "that name is held by another player"},
        {pub, named("Fin", "short-key"), 400, "the key is malformed"},
        {pub, "not json", 400, notJson},
        {"POST /api/runs/NoSuchTicket/publish", named("Fin", KEY), 404, "no run for that ticket"},
        {"POST /api/runs/" + diverged.ticket + "/publish", named("Fin", KEY), 409,
         "the run was refused: it diverged at tick 3000"},
        {delRob, field("key", OTHER_KEY), 403, "that name is held by another key"},
        {delRob, "[]", 400, notJson},
        {"DELETE /api/players/Nobody", field("key", KEY), 404, "no such player"},
        {report, field("reason", "again"), 409, "reported that entry already"},
        {report, field("reason", std::string(201, 'x')), 400, "in 1 to 200 characters"},
        {report, field("reason", ""), 400, "in 1 to 200 characters"},
        {"POST /api/entries/999999/report", field("reason", "who?"), 404, "no such entry"},
        {"GET /api/runs/" + freshId + "?wait=11", "", 400, "wait takes 1 to 10 seconds"},
        {pub + "?wait=0", named("Fin", KEY), 400, "wait takes 1 to 10 seconds"},
        // At the very edges of the allowed time it is taken.
        {runs, bytesOf(early), 202, "", -2600},
        {runs, bytesOf(late), 202, "", 2600},
    };
    // SQL and HTML metacharacters, and more than any field takes, in every
    // field of every request: refused, or shown escaped.
    const std::string values[] = {"' OR '1'='1' --", "<script>alert(1)</script>",
                                  "x\"};DROP TABLE runs;--", "名前", std::string(300, 'x')};
    const Case fields[] = {
        {pub, named("$", KEY), 400},
        {pub, named("Fin", "$"), 400},
        {delRob, field("key", "$"), 400},
        {finish, field("final_hash", "$"), 400},
        {runs, "$", 400},
        {"POST /api/tickets/$/start", "", 404},
        {"GET /api/runs/$", "", 404},
        {"POST /api/runs/$/publish", named("Fin", KEY), 404},
        {"GET /api/players/$", "", 404},
        {"DELETE /api/players/$", field("key", KEY), 404},
        {"POST /api/entries/$/report", field("reason", "x"), 404},
        {"GET /players/$", "", 404},
        {"GET /api/check-code?code=$", "", 200},
        {"GET /check?code=$", "", 200},
    };
    for (const std::string& v : values) {
        for (Case c : fields) {
            size_t at = c.request.find('$');
            if (at != std::string::npos) c.request.replace(at, 1, urlEncoded(v));
            if ((at = c.body.find("\"$\"")) != std::string::npos)
                c.body.replace(at, 3, json(v).dump());
            if (c.body == "$") c.body = v;
            cases.push_back(c);
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.substr(0, 80) + " " + c.body.substr(0, 60));
        std::string before = stored();
        size_t logged = logged_.size(), space = c.request.find(' ');
        clock_ += c.shift;
        httplib::Result r =
            request(c.request.substr(0, space), c.request.substr(space + 1), c.body);
        clock_ -= c.shift;
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, c.status);
        EXPECT_NE(refusal(json::parse(r->body, nullptr, false)).find(c.says), std::string::npos)
            << r->body;
        EXPECT_EQ(r->body.find("<script"), std::string::npos);
        if (r->status == 202) settled(json::parse(r->body)["ticket"]);
        EXPECT_EQ(stored() == before, c.status != 202);
        EXPECT_TRUE(c.says.empty() || c.says == notJson ||
                    logged_.find(c.says, logged) != std::string::npos);
    }
    auto page = client_->Get("/check?code=%3Cscript%3Ealert(1)%3C/script%3E");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("&lt;script&gt;"), std::string::npos);
    EXPECT_NE(page->body.find("is not genuine"), std::string::npos);
    json code = call("GET", "/api/check-code?code=00054401");
    EXPECT_EQ(code["genuine"], true);
    EXPECT_EQ(code["score"], 70);
    EXPECT_NE(code["note"].get<std::string>().find("not verified"), std::string::npos);
    EXPECT_EQ(call("GET", "/api/check-code?code=12345678")["genuine"], false);

    // A name's own key publishes under it again, and deletes all its entries.
    EXPECT_EQ(publish(unpublished.ticket, "rob")["state"], "ranked");
    EXPECT_EQ(call("DELETE", "/api/players/Rob", field("key", KEY))["removed"], 2);
    EXPECT_EQ(board().size(), 0u);
}

TEST_F(Site, PublishingThatWaitsIsAnsweredWithTheRank) {
    // Ten-minute games queue on the two verifiers, so the last is still
    // queued when its publishing comes; held until its verdict, it is ranked.
    std::vector<Replay> games;
    for (int i = 0; i < 6; ++i) games.push_back(started(600));
    clock_ += 600000;
    for (const Replay& r : games) submit(bytesOf(r));
    int status = 0;
    json ranked = call("POST", "/api/runs/" + games.back().ticket + "/publish?wait=10",
                       named("Patient", KEY), &status);
    EXPECT_EQ(status, 200) << ranked.dump();
    EXPECT_EQ(ranked["state"], "ranked");
    EXPECT_EQ(ranked["score"], games.back().score);
}

TEST_F(Site, TiesGoToTheEarlierRunWhicheverIsPublishedFirst) {
    // Two runs of one score, arriving a minute apart: tickets are dealt until
    // two of their sinking games tie (the cave is the ticket's).
    std::map<int32_t, Replay> dealt;
    Replay early, late;
    for (int i = 0; i < 50 && late.ticket.empty(); ++i) {
        json t = ticket();
        Replay r = game(t["ticket"], t["seed"], 5, false);
        auto [at, fresh] = dealt.emplace(r.score, r);
        if (!fresh) {
            early = at->second;
            late = r;
        }
    }
    ASSERT_FALSE(late.ticket.empty());
    int status = 0;
    for (Replay* r : {&early, &late}) {
        call("POST", "/api/tickets/" + r->ticket + "/start", "", &status);
        EXPECT_EQ(status, 204);
        clock_ += 5000;
        submit(bytesOf(*r), &status);
        EXPECT_EQ(settled(r->ticket)["state"], "verified");
        clock_ += 60000;
    }
    EXPECT_EQ(publish(late.ticket, "Late")["rank"], 1);
    EXPECT_EQ(publish(early.ticket, "Early", OTHER_KEY)["rank"], 1);
    json b = board();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1]["name"], "Late");
    EXPECT_EQ(b[1]["rank"], 2);
}

TEST_F(Site, AFloodFromOneAddressIsHeldBack) {
    close();
    open(2); // two a second, bursts of six
    int refused = 0, status = 0;
    for (int i = 0; i < 10; ++i) {
        json j = call("GET", "/health", "", &status);
        if (status == 429 && refusal(j).find("too many requests") == 0) ++refused;
    }
    EXPECT_EQ(refused, 4);
    clock_ += 1000;
    call("GET", "/health", "", &status);
    EXPECT_EQ(status, 200);
}

TEST_F(Site, QueuedRunsSurviveARestart) {
    Replay r = started(10);
    clock_ += 10000;
    ::Run queued, existing;
    queued.ticket = r.ticket;
    queued.digest = sha256Hex(bytesOf(r));
    queued.arrivedMs = clock_;
    queued.replay = encodeReplay(r);
    ASSERT_EQ(store_->addRun(queued, &existing), StoreResult::Done);
    EXPECT_EQ(site_->resumeQueued(), 1u);
    EXPECT_EQ(settled(r.ticket)["state"], "verified");
}

TEST(ScoreChecks, WeeksStartOnMondayAtMidnightUtc) {
    const int64_t day = 86400000;
    for (int64_t at : {T0, T0 + 7 * day - 1}) EXPECT_EQ(weekStartMs(at), T0) << at;
    EXPECT_EQ(weekStartMs(T0 - 1), T0 - 7 * day);
}

TEST(ScoreChecks, InputNoHandCouldGiveIsNoted) {
    // A minute of changes every `every` ticks plus a wobble of up to `wobble`:
    // five a second unevenly (a hand), over ten a second, a metronome, too few to judge.
    const std::tuple<uint32_t, uint32_t, const char*> cases[] = {
        {40, 13, ""}, {15, 3, "fast"}, {40, 0, "regular"}, {2000, 0, ""}};
    for (auto [every, wobble, flag] : cases) {
        std::vector<RiseChange> changes;
        for (uint32_t t = 0, i = 0; t < 12000;
             t += every + (wobble ? i * 7 % (wobble + 1) : 0), ++i)
            changes.push_back(RiseChange{t, static_cast<int32_t>(i % 2)});
        EXPECT_EQ(inputTimingFlag(changes, 60000), flag) << every;
    }
}

// The server's clock is a file the test writes.
std::string clockFile;
int64_t testNow = 1765152000000;
void advanceClock(int64_t ms) {
    testNow += ms;
    std::ofstream(clockFile + ".new") << testNow << "\n";
    std::rename((clockFile + ".new").c_str(), clockFile.c_str());
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

class ScoresProcess : public ScoreTest {
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
    // The game, headless, playing game.txt with its data in data/ and the site at port.
    int runGame(int port, const std::string& more = "") {
        std::string command = std::string(REEFDART_EXE) + " --headless " + folder_ + "/game.txt" +
                              " --data-dir " + data() +
                              " --scores http://127.0.0.1:" + std::to_string(port) + more +
                              " >/dev/null 2>&1";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string data() const { return folder_ + "/data"; }
    // Plays and submits a game; its ticket once the site accepted it.
    std::string play() {
        Replay r = started(600, false); // ten minutes: a few milliseconds to verify
        advanceClock(600000);
        int status = 0;
        json answer = submit(bytesOf(r), &status);
        EXPECT_EQ(status, 202) << answer.dump();
        return status == 202 ? r.ticket : "";
    }
    std::string folder_;
};

TEST_F(ScoresProcess, AKillLosesNoAcceptedRunAndAStopFinishesWhatWasQueued) {
    std::vector<std::string> accepted;
    std::map<std::string, int64_t> published; // ticket: entry id
    {
        ServerProcess server(db());
        connect(server.port());
        for (int i = 0; i < 30; ++i) {
            accepted.push_back(play());
            ASSERT_FALSE(accepted.back().empty());
        }
        // Publishing what is verified while the rest is still being verified;
        // the kill comes once the first publishing is answered.
        std::atomic<bool> publishing{true};
        std::atomic<int> answered{0};
        std::thread publisher([&] {
            httplib::Client p("127.0.0.1", server.port());
            for (size_t i = 0; publishing && i < accepted.size(); ++i, ++answered) {
                auto r = p.Post(("/api/runs/" + accepted[i] + "/publish").c_str(),
                                named("Kill" + std::to_string(i), KEY), "application/json");
                if (r && r->status == 200) published[accepted[i]] = json::parse(r->body)["id"];
            }
        });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (answered == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server.stop(SIGKILL);
        publishing = false;
        publisher.join();
    }
    ServerProcess again(db());
    connect(again.port());
    for (const std::string& id : accepted) EXPECT_EQ(settled(id)["state"], "verified") << id;
    // Every entry answered is on the board.
    json board = call("GET", "/api/boards/all");
    std::map<int64_t, bool> listed;
    for (const json& e : board["entries"]) listed[e["id"].get<int64_t>()] = true;
    for (const auto& [ticket, entry] : published) EXPECT_TRUE(listed.count(entry)) << ticket;
    // Stopped, it finishes what it has queued first.
    for (int i = 0; i < 20; ++i) ASSERT_FALSE(play().empty());
    EXPECT_EQ(again.stop(SIGTERM), 0);
    std::string error;
    std::unique_ptr<Store> store = openStore(db(), &error);
    ASSERT_TRUE(store) << error;
    EXPECT_TRUE(store->queuedRuns().empty());
}

TEST_F(ScoresProcess, OfflineWithoutTheSiteThenTheOutboxGoesAndTheGameIsPublished) {
    ASSERT_EQ(runGame(1), 0); // a port nothing listens on
    std::string last = slurp(data() + "/lastgame.rdr");
    Replay offline;
    std::string why;
    ASSERT_TRUE(
        decodeReplay(reinterpret_cast<const uint8_t*>(last.data()), last.size(), &offline, &why))
        << why;
    EXPECT_EQ(offline.ticket, "");
    EXPECT_TRUE(std::filesystem::is_empty(data() + "/outbox"));

    ServerProcess server(db());
    connect(server.port());
    Replay r = started(600, false);
    advanceClock(600000);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(r.finalHash));
    int status = 0;
    call("POST", "/api/tickets/" + r.ticket + "/finish", json{{"final_hash", hash}}.dump(),
         &status);
    EXPECT_EQ(status, 204);
    // The game was killed before its replay went; it comes back an hour later.
    advanceClock(3600000);
    std::ofstream(data() + "/outbox/" + r.ticket + ".rdr", std::ios::binary) << bytesOf(r);
    ASSERT_EQ(runGame(server.port(), " --name Online1"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(data() + "/outbox"));
    EXPECT_EQ(settled(r.ticket)["state"], "verified");
    json board = call("GET", "/api/boards/all");
    ASSERT_EQ(board["entries"].size(), 2u) << board; // the outbox's run is published too
    // The online game is seeded by its ticket, so either may rank first.
    last = slurp(data() + "/lastgame.rdr");
    Replay online;
    ASSERT_TRUE(
        decodeReplay(reinterpret_cast<const uint8_t*>(last.data()), last.size(), &online, &why));
    std::multiset<int> scores = {r.score, online.score}, listed;
    for (const json& e : board["entries"]) {
        EXPECT_EQ(e["name"], "Online1");
        listed.insert(e["score"].get<int>());
    }
    EXPECT_EQ(listed, scores);
    EXPECT_GE(slurp(data() + "/scores.key").size(), 16u);
}

} // namespace
