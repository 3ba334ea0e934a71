// The JSON API; the pages are in pages.cpp.
#include "scores/site.h"

#include "game/replay.h"
#include "game/score_code.h"
#include "platform/server/os.h"
#include "scores/checks.h"
#include "scores/pages.h"
#include "scores/submission.h"
#include "scores/verdict_waits.h"

#include <nlohmann/json.hpp>

#include <map>
#include <mutex>

using json = nlohmann::json;

namespace {

constexpr size_t MAX_BODY = REPLAY_MAX_BYTES + 1024;
const char* const TICKET = "([A-Za-z0-9_-]{1,32})";

void answer(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}

// Token buckets by address.
class RateLimit {
  public:
    RateLimit(double perSecond, double burst) : rate_(perSecond), burst_(burst) {}
    bool allow(const std::string& address, int64_t nowMs) {
        if (rate_ <= 0) return true;
        std::lock_guard<std::mutex> lock(mutex_);
        if (buckets_.size() > 100000) buckets_.clear(); // a flood of addresses: start afresh
        Bucket& b = buckets_[address];
        if (b.atMs == 0) b.tokens = burst_;
        b.tokens += (nowMs - b.atMs) / 1000.0 * rate_;
        if (b.tokens > burst_) b.tokens = burst_;
        b.atMs = nowMs;
        if (b.tokens < 1) return false;
        b.tokens -= 1;
        return true;
    }

  private:
    struct Bucket {
        double tokens = 0;
        int64_t atMs = 0;
    };
    double rate_, burst_;
    std::mutex mutex_;
    std::map<std::string, Bucket> buckets_;
};

json entryJson(const Entry& e) {
    json j = {{"id", e.id},
              {"rank", e.rank},
              {"name", e.name},
              {"score", e.score},
              {"finished_ms", e.finishedMs},
              {"reports", e.reports}};
    if (!e.flag.empty()) j["flag"] = e.flag;
    return j;
}

json runJson(const Run& r) {
    json j = {{"ticket", r.ticket}, {"state", runStateName(r.state)}};
    if (r.state == RunState::Verified) {
        j["score"] = r.score;
        j["ticks"] = r.ticks;
        j["play_ms"] = r.playMs;
        j["final_hash"] = r.finalHash;
    }
    if (r.state == RunState::Refused) j["reason"] = r.reason;
    return j;
}

// The named string fields of a JSON object body, or false with the answer
// given.
bool fields(const httplib::Request& req, httplib::Response& res,
            std::initializer_list<const char*> names, std::vector<std::string>* values) {
    if (readFields(req.body, names, values)) return true;
    answer(res, 400, {{"refused", "the body is not a JSON object"}});
    return false;
}

// How long a request may wait for its run's verdict: `?wait=S`, 1 to 10
// seconds; 0 without it, -1 for any other value.
int waitSeconds(const httplib::Request& req) {
    if (!req.has_param("wait")) return 0;
    const std::string& v = req.get_param_value("wait");
    if (v == "10") return 10;
    return v.size() == 1 && v[0] >= '1' && v[0] <= '9' ? v[0] - '0' : -1;
}

} // namespace

// The server, with the listening socket's backlog in reach: the library
// listens with room for only five waiting connections, and a burst of
// clients then waits a second for its connections to be retried.
class SiteServer : public httplib::Server {
  public:
    void widenBacklog(int waiting) { ::widenBacklog(svr_sock_, waiting); }
};

struct ScoreSite::State {
    Store& store;
    SiteConfig config;
    RateLimit limit;
    SiteServer http;
    std::unique_ptr<VerifierPool> pool;
    VerdictWaits waits;

    State(Store& st, SiteConfig c)
        : store(st), config(std::move(c)), limit(config.ratePerSecond, config.rateBurst),
          waits(static_cast<size_t>(config.threads / 2)) {}

    // With `?wait=S`, holds the request until the ticket's run has its
    // verdict or S seconds pass; false when the parameter was refused.
    bool awaitVerdict(const httplib::Request& req, httplib::Response& res,
                      const std::string& ticket) {
        int seconds = waitSeconds(req);
        if (seconds < 0) {
            refuse(res, req, 400, "wait takes 1 to 10 seconds", ticket);
            return false;
        }
        if (seconds > 0)
            waits.wait(ticket, std::chrono::seconds(seconds), [&] {
                Run run;
                return store.run(ticket, &run) && run.state == RunState::Queued;
            });
        return true;
    }

    int64_t now() const { return config.now(); }

    void log(const std::string& event, const json& details) {
        if (!config.log) return;
        json line = details;
        line["event"] = event;
        line["at_ms"] = now();
        config.log(line.dump());
    }

    void refuse(httplib::Response& res, const httplib::Request& req, int status,
                const std::string& reason, const std::string& ticket = "") {
        json details = {{"reason", reason}, {"address", req.remote_addr}, {"path", req.path}};
        if (!ticket.empty()) details["ticket"] = ticket;
        log("refused", details);
        answer(res, status, {{"refused", reason}});
    }

    void verified(const std::string& ticket, const Verdict& v) {
        Run run;
        if (!store.run(ticket, &run)) return;
        run.state = v.verified ? RunState::Verified : RunState::Refused;
        run.score = v.score;
        run.ticks = v.ticks;
        run.playMs = v.playMs;
        run.finalHash = v.finalHash;
        run.reason = v.reason;
        Replay replay;
        std::string why;
        if (v.verified && decodeReplay(run.replay.data(), run.replay.size(), &replay, &why))
            run.flag = inputTimingFlag(replay.changes, v.playMs);
        if (!v.verified) log("refused", {{"ticket", ticket}, {"reason", v.reason}});
        if (!run.flag.empty()) log("flagged", {{"ticket", ticket}, {"flag", run.flag}});
        store.finishRun(run);
        waits.settle(ticket);
    }

    void routes();
    void newTicket(const httplib::Request& req, httplib::Response& res);
    void startTicket(const httplib::Request& req, httplib::Response& res);
    void finishTicket(const httplib::Request& req, httplib::Response& res);
    void submit(const httplib::Request& req, httplib::Response& res);
    std::string submissionProblem(const Replay& replay, const Ticket& ticket, int64_t arrival);
    void publish(const httplib::Request& req, httplib::Response& res);
    void deleteEntries(const httplib::Request& req, httplib::Response& res);
    void report(const httplib::Request& req, httplib::Response& res);
};

void ScoreSite::State::report(const httplib::Request& req, httplib::Response& res) {
    std::vector<std::string> f;
    if (!fields(req, res, {"reason"}, &f)) return;
    if (f[0].empty() || f[0].size() > 200)
        return refuse(res, req, 400, "a report gives its reason in 1 to 200 characters");
    StoreResult r = store.report(std::stoll(req.matches[1]), req.remote_addr, f[0], now());
    if (r == StoreResult::NotFound) return refuse(res, req, 404, "no such entry");
    if (r == StoreResult::Already)
        return refuse(res, req, 409, "this address has reported that entry already");
    log("reported", {{"entry", req.matches[1]}, {"reason", f[0]}, {"address", req.remote_addr}});
    answer(res, 200, {{"reported", true}});
}

void ScoreSite::State::newTicket(const httplib::Request& req, httplib::Response& res) {
    Ticket t;
    t.id = randomTicketId();
    t.seed = randomSeed();
    t.issuedMs = now();
    t.expiresMs = t.issuedMs + config.ticketLifetimeMs;
    store.addTicket(t, req.remote_addr);
    answer(res, 201, {{"ticket", t.id}, {"seed", t.seed}, {"expires_ms", t.expiresMs}});
}

void ScoreSite::State::startTicket(const httplib::Request& req, httplib::Response& res) {
    std::string id = req.matches[1];
    Ticket t;
    if (!store.ticket(id, &t)) return refuse(res, req, 404, "no such ticket", id);
    if (t.startedMs < 0 && now() > t.expiresMs)
        return refuse(res, req, 410, "the ticket has expired", id);
    store.startTicket(id, now());
    res.status = 204;
}

void ScoreSite::State::finishTicket(const httplib::Request& req, httplib::Response& res) {
    std::string id = req.matches[1];
    std::vector<std::string> f;
    if (!fields(req, res, {"final_hash"}, &f)) return;
    const std::string& hash = f[0];
    bool hex = hash.size() == 16 && hash.find_first_not_of("0123456789abcdef") == std::string::npos;
    if (!hex) return refuse(res, req, 400, "final_hash is 16 lower-case hex digits", id);
    if (!store.finishTicket(id, hash, now()))
        return refuse(res, req, 404, "no such ticket, or its game was never started", id);
    res.status = 204;
}

std::string ScoreSite::State::submissionProblem(const Replay& replay, const Ticket& t,
                                                int64_t arrival) {
    if (replay.start.randomState != t.seed) return "its game was not seeded from its ticket";
    if (t.startedMs < 0) return "its game's start was never announced";
    uint32_t playMs = replay.tickTimes.empty() ? 0 : replay.tickTimes.back() - replay.tickTimes[0];
    int64_t end = arrival;
    if (t.finishedMs >= 0) {
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx",
                      static_cast<unsigned long long>(replay.finalHash));
        if (t.finalHash != hash) return "its end is not the one announced";
        end = t.finishedMs;
    }
    return timingProblem(t.startedMs, end, playMs);
}

void ScoreSite::State::submit(const httplib::Request& req, httplib::Response& res) {
    int64_t arrival = now();
    const auto* bytes = reinterpret_cast<const uint8_t*>(req.body.data());
    Replay replay;
    std::string why;
    if (!readSubmission(req.body, &replay, &why)) return refuse(res, req, 400, why);
    Run run;
    run.ticket = replay.ticket;
    run.digest = sha256Hex(bytes, req.body.size());
    Run existing;
    if (store.run(run.ticket, &existing)) {
        if (existing.digest != run.digest)
            return refuse(res, req, 409, "its ticket has been used", run.ticket);
        return answer(res, 200, runJson(existing)); // the same replay: the same answer
    }
    Ticket t;
    if (!store.ticket(replay.ticket, &t))
        return refuse(res, req, 404, "no such ticket", run.ticket);
    if (t.startedMs < 0 && arrival > t.expiresMs)
        return refuse(res, req, 410, "the ticket has expired", run.ticket);
    std::string problem = submissionProblem(replay, t, arrival);
    if (!problem.empty()) return refuse(res, req, 422, problem, run.ticket);
    run.arrivedMs = t.finishedMs >= 0 ? t.finishedMs : arrival;
    run.replay.assign(bytes, bytes + req.body.size());
    if (store.addRun(run, &existing) == StoreResult::Already) {
        if (existing.digest != run.digest)
            return refuse(res, req, 409, "its ticket has been used", run.ticket);
        return answer(res, 200, runJson(existing));
    }
    pool->add(run.ticket, std::move(run.replay));
    answer(res, 202, {{"ticket", run.ticket}, {"state", "queued"}});
}

void ScoreSite::State::publish(const httplib::Request& req, httplib::Response& res) {
    std::string ticket = req.matches[1];
    std::vector<std::string> f;
    if (!fields(req, res, {"name", "key"}, &f)) return;
    const std::string &name = f[0], &key = f[1];
    if (const char* problem = nameProblem(name)) return refuse(res, req, 400, problem, ticket);
    if (!keyIsValid(key)) return refuse(res, req, 400, "the key is malformed", ticket);
    if (!awaitVerdict(req, res, ticket)) return;
    Run run;
    if (!store.run(ticket, &run)) return refuse(res, req, 404, "no run for that ticket", ticket);
    if (run.state == RunState::Queued) return answer(res, 202, runJson(run));
    if (run.state == RunState::Refused)
        return refuse(res, req, 409, "the run was refused: " + run.reason, ticket);
    Entry entry;
    StoreResult r = store.publish(ticket, name, sha256Hex(key), now(), &entry);
    if (r == StoreResult::Conflict)
        return refuse(res, req, 403, "that name is held by another player", ticket);
    if (r == StoreResult::NotFound) return refuse(res, req, 404, "no run for that ticket", ticket);
    json j = entryJson(entry);
    j["state"] = "ranked";
    Entry week;
    int64_t since = weekStartMs(now());
    j["week_rank"] = nullptr;
    if (entry.finishedMs >= since && store.entryRank(entry.id, since, &week))
        j["week_rank"] = week.rank;
    answer(res, 200, j);
}

void ScoreSite::State::deleteEntries(const httplib::Request& req, httplib::Response& res) {
    std::string name = req.matches[1];
    std::vector<std::string> f;
    if (!fields(req, res, {"key"}, &f)) return;
    const std::string& key = f[0];
    if (!keyIsValid(key)) return refuse(res, req, 400, "the key is malformed");
    int removed = 0;
    StoreResult r = store.deleteEntries(name, sha256Hex(key), &removed);
    if (r == StoreResult::NotFound) return refuse(res, req, 404, "no such player");
    if (r == StoreResult::Conflict)
        return refuse(res, req, 403, "that name is held by another key");
    log("deleted", {{"name", name}, {"removed", removed}});
    answer(res, 200, {{"removed", removed}});
}

void ScoreSite::State::routes() {
    int threads = config.threads;
    http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http.set_payload_max_length(MAX_BODY);
    http.set_tcp_nodelay(true);
    http.set_read_timeout(10);
    http.set_write_timeout(10);
    http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (limit.allow(req.remote_addr, now())) return httplib::Server::HandlerResponse::Unhandled;
        refuse(res, req, 429, "too many requests from this address; try again in a moment");
        return httplib::Server::HandlerResponse::Handled;
    });
    http.set_exception_handler(
        [this](const httplib::Request& req, httplib::Response& res, std::exception_ptr e) {
            std::string what = "unknown";
            try {
                if (e) std::rethrow_exception(e);
            } catch (const std::exception& x) {
                what = x.what();
            } catch (...) {
            }
            log("error", {{"path", req.path}, {"error", what}});
            answer(res, 500, {{"refused", "the site could not do that just now"}});
        });
    using R = const httplib::Request&;
    using W = httplib::Response&;
    http.Post("/api/tickets", [this](R q, W s) { newTicket(q, s); });
    http.Post(std::string("/api/tickets/") + TICKET + "/start",
              [this](R q, W s) { startTicket(q, s); });
    http.Post(std::string("/api/tickets/") + TICKET + "/finish",
              [this](R q, W s) { finishTicket(q, s); });
    http.Post("/api/runs", [this](R q, W s) { submit(q, s); });
    http.Get(std::string("/api/runs/") + TICKET, [this](R q, W s) {
        if (!awaitVerdict(q, s, q.matches[1])) return;
        Run run;
        if (!store.run(q.matches[1], &run))
            return answer(s, 404, {{"refused", "no run for that ticket"}});
        answer(s, 200, runJson(run));
    });
    http.Post(std::string("/api/runs/") + TICKET + "/publish", [this](R q, W s) { publish(q, s); });
    http.Delete(R"(/api/players/([A-Za-z0-9 .%-]{1,40}))",
                [this](R q, W s) { deleteEntries(q, s); });
    http.Get(R"(/api/boards/(week|all))", [this](R q, W s) {
        int64_t since = q.matches[1] == "week" ? weekStartMs(now()) : 0;
        json entries = json::array();
        for (const Entry& e : store.board(since, 100)) entries.push_back(entryJson(e));
        answer(s, 200, {{"since_ms", since}, {"entries", entries}});
    });
    http.Get(R"(/api/players/([A-Za-z0-9 .%-]{1,40}))", [this](R q, W s) {
        int64_t since = q.get_param_value("board") == "week" ? weekStartMs(now()) : 0;
        Entry best;
        std::vector<Entry> around;
        if (!store.playerBest(q.matches[1], since, 5, &best, &around))
            return answer(s, 404, {{"refused", "no runs of that player"}});
        json near = json::array();
        for (const Entry& e : around) near.push_back(entryJson(e));
        answer(s, 200, {{"best", entryJson(best)}, {"around", near}});
    });
    http.Get(R"(/api/entries/(\d{1,15})/replay)", [this](R q, W s) {
        std::vector<uint8_t> replay;
        Entry e;
        if (!store.entryReplay(std::stoll(q.matches[1]), &replay, &e))
            return answer(s, 404, {{"refused", "no such entry"}});
        s.set_header("Content-Disposition",
                     "attachment; filename=\"reefdart-" + std::to_string(e.id) + ".rdr\"");
        s.set_content(std::string(replay.begin(), replay.end()), "application/octet-stream");
    });
    http.Post(R"(/api/entries/(\d{1,15})/report)", [this](R q, W s) { report(q, s); });
    http.Get("/api/check-code", [](R q, W s) {
        int32_t score = 0;
        std::string code = q.get_param_value("code");
        bool genuine = code.size() <= 16 && checkScoreCode(code.c_str(), &score) != 0;
        json j = {{"genuine", genuine}, {"note", SCORE_CODE_NOTE}};
        if (genuine) j["score"] = score;
        answer(s, 200, j);
    });
    http.Get("/health", [this](R, W s) {
        answer(s, 200, {{"ok", true}, {"store", store.kind()}, {"verifying", pool->waiting()}});
    });
    addPages(http, store, config, [this] { return now(); });
    if (!config.siteDir.empty()) http.set_mount_point("/play", config.siteDir);
}

ScoreSite::ScoreSite(Store& store, SiteConfig config) : s_(new State(store, std::move(config))) {
    if (!s_->config.now)
        s_->config.now = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                .count();
        };
    State* s = s_.get();
    s->pool = std::make_unique<VerifierPool>(
        s->config.verifierProgram, s->config.workers,
        [s](const std::string& ticket, const Verdict& v) { s->verified(ticket, v); });
    s->routes();
}

ScoreSite::~ScoreSite() {
    s_->pool->drain();
}

httplib::Server& ScoreSite::http() {
    return s_->http;
}

int ScoreSite::bind(const std::string& host, int port) {
    if (port == 0) {
        port = s_->http.bind_to_any_port(host);
        if (port <= 0) return -1;
    } else if (!s_->http.bind_to_port(host, port)) {
        return -1;
    }
    s_->http.widenBacklog(1024);
    return port;
}

size_t ScoreSite::resumeQueued() {
    std::vector<std::string> queued = s_->store.queuedRuns();
    for (const std::string& ticket : queued) {
        Run run;
        if (s_->store.run(ticket, &run)) s_->pool->add(ticket, run.replay);
    }
    return queued.size();
}

void ScoreSite::drain() {
    while (s_->pool->waiting() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

size_t ScoreSite::verifying() const {
    return s_->pool->waiting();
}
