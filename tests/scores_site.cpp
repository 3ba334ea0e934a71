// The score site end to end over HTTP on 127.0.0.1: tickets, submissions,
// verification by the verifier processes, publishing, boards and pages, and
// every refusal with nothing stored. The store is a temporary SQLite file, or
// the PostgreSQL database REEFDART_SCORES_DB names.
#include "game/replay.h"
#include "scores/checks.h"
#include "scores/site.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

using json = nlohmann::json;

namespace {

constexpr int64_t T0 = 1765152000000; // a Monday, 00:00 UTC
const std::string KEY = "k3y-of-this-installation-0123456789";

// A game of the given length at steady 5 ms ticks, its rise toggled every
// 40 ticks (or never: the fish sinks at once, to the same score whatever the
// seed), sealed by the rules.
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

class Site : public ::testing::Test {
  protected:
    void SetUp() override { open(20); }
    void TearDown() override { close(); }

    void open(double rate) {
        std::string error;
        const char* db = std::getenv("REEFDART_SCORES_DB");
        if (!db || !*db) {
            char folder[] = "/tmp/reefdart-scores-XXXXXX";
            ASSERT_NE(mkdtemp(folder), nullptr);
            folder_ = folder;
            dbPath_ = folder_ + "/scores.db";
        } else {
            dbPath_ = db;
        }
        store_ = openStore(dbPath_, &error);
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
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
        client_->set_read_timeout(30);
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

    json call(const char* method, const std::string& path, const std::string& body = "",
              int* status = nullptr, const char* type = "application/json") {
        httplib::Result r = std::string(method) == "GET" ? client_->Get(path.c_str())
                            : std::string(method) == "DELETE"
                                ? client_->Delete(path.c_str(), body, type)
                                : client_->Post(path.c_str(), body, type);
        EXPECT_TRUE(r) << method << " " << path;
        if (!r) return json();
        if (status) *status = r->status;
        return json::parse(r->body, nullptr, false);
    }
    // A new ticket: its id and seed.
    std::pair<std::string, uint32_t> ticket() {
        json t = call("POST", "/api/tickets");
        return {t["ticket"].get<std::string>(), t["seed"].get<uint32_t>()};
    }
    // Starts a ticket's game now, and lets its play time pass.
    void play(const std::string& ticket, const Replay& r) {
        int status = 0;
        call("POST", "/api/tickets/" + ticket + "/start", "", &status);
        EXPECT_EQ(status, 204);
        clock_ += r.tickTimes.back() - r.tickTimes.front();
    }
    json submit(const std::string& bytes, int* status) {
        return call("POST", "/api/runs", bytes, status, "application/octet-stream");
    }
    // The run's state once it is no longer queued (a generous deadline).
    json settled(const std::string& ticket) {
        json run;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        do {
            run = call("GET", "/api/runs/" + ticket);
            if (run.value("state", "") != "queued") break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        return run;
    }
    // A verified run of the given length, published under name.
    json publishedRun(const std::string& name, uint32_t seconds, const std::string& key = KEY) {
        auto [id, seed] = ticket();
        Replay r = game(id, seed, seconds, false);
        play(id, r);
        int status = 0;
        submit(bytesOf(r), &status);
        EXPECT_EQ(status, 202);
        EXPECT_EQ(settled(id)["state"], "verified");
        return call("POST", "/api/runs/" + id + "/publish",
                    json{{"name", name}, {"key", key}}.dump(), &status);
    }
    size_t boardSize() { return call("GET", "/api/boards/all")["entries"].size(); }

    std::atomic<int64_t> clock_{T0 + 3600000};
    std::string folder_, dbPath_, logged_;
    std::unique_ptr<Store> store_;
    std::unique_ptr<ScoreSite> site_;
    std::unique_ptr<httplib::Client> client_;
    std::thread server_;
    int port_ = 0;
};

TEST_F(Site, AGameIsVerifiedPublishedRankedAndWatchable) {
    auto [id, seed] = ticket();
    EXPECT_EQ(id.size(), 22u);
    Replay r = game(id, seed, 60);
    play(id, r);
    int status = 0;
    json queued = submit(bytesOf(r), &status);
    EXPECT_EQ(status, 202);
    EXPECT_EQ(queued["state"], "queued");
    json run = settled(id);
    ASSERT_EQ(run["state"], "verified") << run.dump();
    EXPECT_EQ(run["score"], r.score);
    EXPECT_EQ(run["ticks"], r.tickTimes.size());
    // Nothing is public before it is published.
    EXPECT_EQ(boardSize(), 0u);
    json ranked = call("POST", "/api/runs/" + id + "/publish",
                       json{{"name", "Fin-1.a"}, {"key", KEY}}.dump(), &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(ranked["state"], "ranked");
    EXPECT_EQ(ranked["rank"], 1);
    EXPECT_EQ(ranked["week_rank"], 1);
    EXPECT_EQ(ranked["score"], r.score);
    for (const char* board : {"week", "all"}) {
        json b = call("GET", std::string("/api/boards/") + board);
        ASSERT_EQ(b["entries"].size(), 1u) << board;
        EXPECT_EQ(b["entries"][0]["name"], "Fin-1.a");
        EXPECT_EQ(b["entries"][0]["score"], r.score);
    }
    auto download = client_->Get(
        ("/api/entries/" + std::to_string(ranked["id"].get<int64_t>()) + "/replay").c_str());
    ASSERT_TRUE(download);
    EXPECT_TRUE(download->body == bytesOf(r));
    // Its input, a change every 40 ticks exactly, is noted as no hand's.
    EXPECT_EQ(call("GET", "/api/boards/all")["entries"][0]["flag"], "regular");
    // Anyone may report it, once an address, with a reason.
    std::string report = "/api/entries/" + std::to_string(ranked["id"].get<int64_t>()) + "/report";
    struct Report {
        std::string path, body;
        int status;
    } reports[] = {
        {report, json{{"reason", "<b>too good</b>"}}.dump(), 200},
        {report, json{{"reason", "again"}}.dump(), 409},
        {report, json{{"reason", std::string(201, 'x')}}.dump(), 400},
        {report, "not json", 400},
        {"/api/entries/999999/report", json{{"reason", "who?"}}.dump(), 404},
    };
    for (const Report& r : reports) {
        call("POST", r.path, r.body, &status);
        EXPECT_EQ(status, r.status) << r.body;
    }
    EXPECT_EQ(call("GET", "/api/boards/all")["entries"][0]["reports"], 1);
    json player = call("GET", "/api/players/fin-1.A");
    EXPECT_EQ(player["best"]["rank"], 1);
    auto page = client_->Get("/boards");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("Fin-1.a"), std::string::npos);
    EXPECT_NE(page->body.find("/play/?watch=/api/entries/"), std::string::npos);
    EXPECT_NE(page->body.find("input of machine regularity reported 1 time"), std::string::npos);
    // Publishing again changes nothing; the same replay again gets the same answer.
    call("POST", "/api/runs/" + id + "/publish", json{{"name", "Fin-1.a"}, {"key", KEY}}.dump());
    EXPECT_EQ(submit(bytesOf(r), &status)["state"], "verified");
    EXPECT_EQ(status, 200);
    EXPECT_EQ(boardSize(), 1u);
}

TEST_F(Site, RefusalsSayWhyAndStoreNothing) {
    auto [id, seed] = ticket();
    Replay good = game(id, seed, 30);
    Replay otherSeed = game(id, seed + 1, 30);
    Replay offline = game("", seed, 30);
    Replay unknown = game("NoSuchTicket", seed, 30);
    std::string bytes = bytesOf(good);
    std::string wrongVersion = bytes;
    wrongVersion[4] = 9;
    struct Case {
        const char* what;
        std::string body;
        int status;
        std::string says;
    } cases[] = {
        {"not a replay", "<script>alert(1)</script>", 400, "no valid replay: it is not a"},
        {"cut short", bytes.substr(0, bytes.size() / 2), 400, "no valid replay:"},
        {"another format", wrongVersion, 400, "its format version is 9"},
        {"no ticket", bytesOf(offline), 400, "an offline run"},
        {"unknown ticket", bytesOf(unknown), 404, "no such ticket"},
        {"before its start", bytes, 422, "its game's start was never announced"},
        {"another seed", bytesOf(otherSeed), 422, "not seeded from its ticket"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int status = 0;
        json j = submit(c.body, &status);
        EXPECT_EQ(status, c.status);
        EXPECT_NE(j.value("refused", "").find(c.says), std::string::npos) << j.dump();
        EXPECT_NE(logged_.find("\"refused\""), std::string::npos);
        EXPECT_EQ(call("GET", "/api/runs/" + id, "", &status).value("state", ""), "");
        EXPECT_EQ(status, 404);
    }
    // Too large: refused before it is read.
    int status = 0;
    submit(std::string(REPLAY_MAX_BYTES + 4096, 'R'), &status);
    EXPECT_EQ(status, 413);
}

TEST_F(Site, AGameMustTakeItsOwnTimeToArrive) {
    // Within 2% and 2 s either way it is taken; beyond, refused.
    struct Case {
        int64_t early; // ms it arrives before its play time has passed
        int status;
    } cases[] = {{0, 202}, {3199, 202}, {-3199, 202}, {3300, 422}, {-3300, 422}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.early);
        auto [id, seed] = ticket();
        Replay r = game(id, seed, 60); // tolerance 1.2 s + 2 s
        play(id, r);
        clock_ -= c.early;
        int status = 0;
        json j = submit(bytesOf(r), &status);
        EXPECT_EQ(status, c.status) << j.dump();
        if (c.status == 422) {
            EXPECT_NE(j["refused"].get<std::string>().find(c.early > 0 ? "sooner" : "slowed"),
                      std::string::npos);
        }
    }
}

TEST_F(Site, TicketsAreSingleUseAndExpire) {
    auto [id, seed] = ticket();
    Replay first = game(id, seed, 20);
    play(id, first);
    int status = 0;
    submit(bytesOf(first), &status);
    EXPECT_EQ(status, 202);
    Replay second = game(id, seed, 21);
    clock_ += 1000;
    EXPECT_EQ(submit(bytesOf(second), &status)["refused"], "its ticket has been used");
    EXPECT_EQ(status, 409);
    EXPECT_EQ(settled(id)["ticks"], first.tickTimes.size());
    // An unstarted ticket expires after ten minutes.
    auto [late, lateSeed] = ticket();
    clock_ += 600001;
    call("POST", "/api/tickets/" + late + "/start", "", &status);
    EXPECT_EQ(status, 410);
    EXPECT_EQ(submit(bytesOf(game(late, lateSeed, 5)), &status)["refused"],
              "the ticket has expired");
}

TEST_F(Site, AReplayThatStopsMatchingIsRefusedWhereItDiverges) {
    auto [id, seed] = ticket();
    Replay r = game(id, seed, 30);
    r.checks[2] ^= 1; // the state after tick 3000 is not what the rules reach
    play(id, r);
    int status = 0;
    submit(bytesOf(r), &status);
    EXPECT_EQ(status, 202);
    json run = settled(id);
    EXPECT_EQ(run["state"], "refused");
    EXPECT_EQ(run["reason"].get<std::string>().rfind("it diverged at tick 3000", 0), 0u) << run;
    call("POST", "/api/runs/" + id + "/publish", json{{"name", "Cheat"}, {"key", KEY}}.dump(),
         &status);
    EXPECT_EQ(status, 409);
    EXPECT_EQ(boardSize(), 0u);
    ::Run stored;
    ASSERT_TRUE(store_->run(id, &stored));
    EXPECT_TRUE(stored.replay.empty());
}

TEST_F(Site, NamesAreHeldByTheirKeyAndEveryFieldIsSafe) {
    int status = 0;
    for (const char* bad : {"", "Thirteen chars", "<b>x</b>", "' OR 1=1 --", "a;b", " lead",
                            "ADMIN", "x\"y", "名前"}) {
        SCOPED_TRACE(bad);
        json j = publishedRun(bad, 5);
        EXPECT_NE(j.value("refused", ""), "");
    }
    EXPECT_EQ(boardSize(), 0u);
    EXPECT_EQ(publishedRun("Rob", 5)["rank"], 1);
    json taken = publishedRun("ROB", 5, "another-key-0123456789abcdef");
    EXPECT_EQ(taken["refused"], "that name is held by another player");
    EXPECT_EQ(publishedRun("Rob", 5, "bad key <>")["refused"], "the key is malformed");
    EXPECT_EQ(boardSize(), 1u);
    publishedRun("Rob", 5);
    // Only the key deletes the name's entries.
    call("DELETE", "/api/players/Rob", json{{"key", "another-key-0123456789abcdef"}}.dump(),
         &status);
    EXPECT_EQ(status, 403);
    EXPECT_EQ(call("DELETE", "/api/players/Rob", json{{"key", KEY}}.dump(), &status)["removed"], 2);
    EXPECT_EQ(boardSize(), 0u);
    // Markup in a path or a query comes back escaped, never as markup.
    auto page = client_->Get("/check?code=%3Cscript%3Ealert(1)%3C/script%3E");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body.find("<script>"), std::string::npos);
    EXPECT_NE(page->body.find("&lt;script&gt;"), std::string::npos);
    EXPECT_NE(page->body.find("is not genuine"), std::string::npos);
    auto player = client_->Get("/players/%3Cb%3E");
    ASSERT_TRUE(player);
    EXPECT_EQ(player->status, 404);
    call("POST", "/api/tickets/x'%20OR%20'1/start", "", &status);
    EXPECT_EQ(status, 404);
}

TEST_F(Site, TiesGoToTheEarlierRunWhicheverIsPublishedFirst) {
    // Two verified runs of one score, finished a minute apart.
    for (int64_t finished : {T0 + 120000, T0 + 60000}) {
        Ticket t;
        t.id = "tie" + std::to_string(finished);
        store_->addTicket(t, "127.0.0.1");
        ::Run run, existing;
        run.ticket = t.id;
        run.digest = t.id;
        run.arrivedMs = finished;
        ASSERT_EQ(store_->addRun(run, &existing), StoreResult::Done);
        run.state = RunState::Verified;
        run.score = 700;
        store_->finishRun(run);
    }
    int status = 0;
    json later = call("POST", "/api/runs/tie" + std::to_string(T0 + 120000) + "/publish",
                      json{{"name", "Late"}, {"key", KEY}}.dump(), &status);
    EXPECT_EQ(later["rank"], 1);
    json earlier =
        call("POST", "/api/runs/tie" + std::to_string(T0 + 60000) + "/publish",
             json{{"name", "Early"}, {"key", "early-key-0123456789abc"}}.dump(), &status);
    EXPECT_EQ(earlier["rank"], 1);
    json board = call("GET", "/api/boards/all");
    ASSERT_EQ(board["entries"].size(), 2u);
    EXPECT_EQ(board["entries"][0]["name"], "Early");
    EXPECT_EQ(board["entries"][1]["name"], "Late");
    EXPECT_EQ(board["entries"][1]["rank"], 2);
}

TEST_F(Site, ScoreCodesAreCheckedAndSaidToProveLittle) {
    json j = call("GET", "/api/check-code?code=00054401");
    EXPECT_EQ(j["genuine"], true);
    EXPECT_EQ(j["score"], 70);
    EXPECT_NE(j["note"].get<std::string>().find("not verified"), std::string::npos);
    EXPECT_EQ(call("GET", "/api/check-code?code=12345678")["genuine"], false);
}

TEST_F(Site, AFloodFromOneAddressIsHeldBack) {
    close();
    open(2); // two a second, bursts of six
    int refused = 0, status = 0;
    for (int i = 0; i < 10; ++i) {
        call("GET", "/health", "", &status);
        if (status == 429) ++refused;
    }
    EXPECT_EQ(refused, 4);
    clock_ += 1000;
    call("GET", "/health", "", &status);
    EXPECT_EQ(status, 200);
}

TEST_F(Site, QueuedRunsSurviveARestart) {
    auto [id, seed] = ticket();
    Replay r = game(id, seed, 10);
    play(id, r);
    ::Run queued;
    queued.ticket = id;
    queued.digest = sha256Hex(bytesOf(r));
    queued.arrivedMs = clock_;
    std::vector<uint8_t> b = encodeReplay(r);
    queued.replay = b;
    ::Run existing;
    ASSERT_EQ(store_->addRun(queued, &existing), StoreResult::Done);
    EXPECT_EQ(site_->resumeQueued(), 1u);
    EXPECT_EQ(settled(id)["state"], "verified");
}

TEST(ScoreChecks, WeeksStartOnMondayAtMidnightUtc) {
    const int64_t day = 86400000;
    for (int64_t at : {T0, T0 + 1, T0 + 7 * day - 1}) EXPECT_EQ(weekStartMs(at), T0) << at;
    EXPECT_EQ(weekStartMs(T0 - 1), T0 - 7 * day);
    EXPECT_EQ(weekStartMs(T0 + 7 * day), T0 + 7 * day);
}

TEST(ScoreChecks, InputNoHandCouldGiveIsNoted) {
    // Changes every `every` ticks (plus a wobble of up to `wobble` ticks),
    // for a minute of play.
    auto changes = [](uint32_t every, uint32_t wobble) {
        std::vector<RiseChange> list;
        for (uint32_t t = 0, i = 0; t < 12000;
             t += every + (wobble ? i * 7 % (wobble + 1) : 0), ++i)
            list.push_back(RiseChange{t, static_cast<int32_t>(i % 2)});
        return list;
    };
    struct Case {
        uint32_t every, wobble;
        const char* flag;
    } cases[] = {
        {40, 13, ""},       // five changes a second, unevenly: a hand
        {15, 3, "fast"},    // over ten a second
        {40, 0, "regular"}, // a metronome
        {2000, 0, ""},      // too few changes to judge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.every);
        EXPECT_EQ(inputTimingFlag(changes(c.every, c.wobble), 60000), c.flag);
    }
}

} // namespace
