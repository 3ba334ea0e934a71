// The store in a PostgreSQL database over libpq. Several servers may share
// one database, so it is the database that keeps the rules the SQLite store
// keeps with its one lock:
//  - a call is one transaction on a connection of its own, taken from a
//    small pool; calls that only read see one snapshot (REPEATABLE READ READ
//    ONLY), calls that write run at READ COMMITTED and let the unique keys
//    decide races (INSERT ... ON CONFLICT DO NOTHING waits for the other
//    transaction and then sees what it committed): one run per ticket, one
//    key per name, one entry per run;
//  - opening the store migrates the schema under an advisory lock, so
//    servers starting together over one database migrate it once;
//  - a connection that breaks is dropped, and a call that had not yet asked
//    for its commit is tried again on a new one, as is one the database
//    cancelled to undo a deadlock or a serialization conflict.
// Every value goes as a parameter and every result comes back in binary;
// replays are bytea.
#include "scores/schema.h"
#include "scores/store.h"

#include <libpq-fe.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace {

// Type oids of the values sent and read (pg_type.h).
constexpr Oid BYTEA_OID = 17, INT8_OID = 20, INT2_OID = 21, INT4_OID = 23, TEXT_OID = 25;
// The advisory lock migrations are made under: "reefdart" in ASCII.
constexpr int64_t MIGRATION_LOCK = 0x7265656664617274;
// At most this many connections per store; a call waits for one to be free.
constexpr size_t MAX_CONNECTIONS = 16;
// Attempts at a call that its connection breaking or a conflict cancelled.
constexpr int ATTEMPTS = 4;

class PgError : public std::runtime_error {
  public:
    PgError(const std::string& message, std::string sqlState, bool lost)
        : std::runtime_error(message), state(std::move(sqlState)), connectionLost(lost) {}
    std::string state;   // SQLSTATE, when the server answered
    bool connectionLost; // the connection is gone
    // Whether the call may be tried again from its start.
    bool transient() const { return connectionLost || state == "40001" || state == "40P01"; }
};

// One line of libpq's message text (which may run over several).
std::string oneLine(const char* text) {
    std::string out;
    bool space = false;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '\n' || *p == '\t' || *p == ' ') {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += *p;
    }
    return out.empty() ? "unknown error" : out;
}

// The address with any password left out, fit for messages.
std::string shown(const std::string& address) {
    size_t scheme = address.find("://");
    if (scheme == std::string::npos) return address;
    size_t hostStart = scheme + 3;
    size_t hostEnd = address.find_first_of("/?", hostStart);
    size_t at = address.rfind('@', hostEnd == std::string::npos ? address.size() : hostEnd);
    if (at == std::string::npos || at < hostStart) return address;
    size_t colon = address.find(':', hostStart);
    if (colon == std::string::npos || colon > at) return address;
    return address.substr(0, colon) + ":***" + address.substr(at);
}

// Text PostgreSQL can hold: UTF-8 without NUL. Anything else cannot have
// been stored, so looking it up finds nothing.
bool storable(const std::string& s) {
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t more;
        uint32_t min, cp;
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            more = 1, min = 0x80, cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            more = 2, min = 0x800, cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            more = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= more) return false;
        for (size_t k = 1; k <= more; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3f);
        }
        if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        i += more + 1;
    }
    return true;
}

// A statement's parameters, each sent in binary with its type.
class Params {
  public:
    Params& text(const std::string& v) {
        if (!storable(v))
            throw std::runtime_error("text that is not UTF-8, or holds a NUL, cannot be stored");
        items_.push_back({TEXT_OID, v, nullptr, 0, false});
        return *this;
    }
    Params& integer(int64_t v) {
        std::string bytes(8, '\0');
        uint64_t u = static_cast<uint64_t>(v);
        for (int i = 7; i >= 0; --i, u >>= 8) bytes[static_cast<size_t>(i)] = static_cast<char>(u);
        items_.push_back({INT8_OID, std::move(bytes), nullptr, 0, false});
        return *this;
    }
    // The bytes are read where they are: they must outlive the statement.
    Params& bytes(const std::vector<uint8_t>& v) {
        static const char none = 0;
        items_.push_back({BYTEA_OID, std::string(),
                          v.empty() ? &none : reinterpret_cast<const char*>(v.data()),
                          static_cast<int>(v.size()), false});
        return *this;
    }
    // A LIMIT: none when negative, as SQLite takes it.
    Params& limit(int64_t v) { return v < 0 ? null(INT8_OID) : integer(v); }
    Params& null(Oid type) {
        items_.push_back({type, std::string(), nullptr, 0, true});
        return *this;
    }

    PGresult* exec(PGconn* conn, const char* sql) const {
        std::vector<Oid> types;
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        for (const Item& p : items_) {
            types.push_back(p.type);
            if (p.isNull) {
                values.push_back(nullptr);
                lengths.push_back(0);
            } else if (p.external) {
                values.push_back(p.external);
                lengths.push_back(p.externalSize);
            } else {
                values.push_back(p.owned.data());
                lengths.push_back(static_cast<int>(p.owned.size()));
            }
            formats.push_back(1);
        }
        return PQexecParams(conn, sql, static_cast<int>(items_.size()), types.data(), values.data(),
                            lengths.data(), formats.data(), 1);
    }

  private:
    struct Item {
        Oid type;
        std::string owned;
        const char* external;
        int externalSize;
        bool isNull;
    };
    std::vector<Item> items_;
};

// A statement's answer, in binary.
class Result {
  public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(Result&& o) noexcept : r_(std::exchange(o.r_, nullptr)) {}
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    PGresult* get() const { return r_; }
    int rows() const { return PQntuples(r_); }
    int64_t affected() const {
        const char* n = PQcmdTuples(r_);
        return n && *n ? std::stoll(n) : 0;
    }
    bool isNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
    // An integer column of any width; 0 when NULL.
    int64_t integer(int row, int col) const {
        if (isNull(row, col)) return 0;
        const unsigned char* p = reinterpret_cast<const unsigned char*>(PQgetvalue(r_, row, col));
        int size = PQgetlength(r_, row, col);
        Oid type = PQftype(r_, col);
        if (!((type == INT8_OID && size == 8) || (type == INT4_OID && size == 4) ||
              (type == INT2_OID && size == 2)))
            throw std::runtime_error("column " + std::to_string(col) + " is not an integer");
        uint64_t u = p[0] & 0x80 ? ~uint64_t{0} : 0; // sign-extended
        for (int i = 0; i < size; ++i) u = (u << 8) | p[i];
        return static_cast<int64_t>(u);
    }
    // A text column; empty when NULL.
    std::string text(int row, int col) const {
        if (isNull(row, col)) return std::string();
        return std::string(PQgetvalue(r_, row, col),
                           static_cast<size_t>(PQgetlength(r_, row, col)));
    }
    // A bytea column; empty when NULL.
    std::vector<uint8_t> bytes(int row, int col) const {
        if (isNull(row, col)) return {};
        const uint8_t* p = reinterpret_cast<const uint8_t*>(PQgetvalue(r_, row, col));
        return std::vector<uint8_t>(p, p + PQgetlength(r_, row, col));
    }

  private:
    PGresult* r_;
};

void ignoreNotice(void*, const char*) {}

// Connections to one database, opened as calls need them.
class Pool {
  public:
    explicit Pool(std::string address) : address_(std::move(address)) {}
    ~Pool() {
        for (PGconn* c : idle_) PQfinish(c);
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    const std::string& address() const { return address_; }

    // An idle connection, or a new one while there are fewer than the most.
    PGconn* take() {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            freed_.wait(lock, [&] { return !idle_.empty() || open_ < MAX_CONNECTIONS; });
            if (!idle_.empty()) {
                PGconn* c = idle_.back();
                idle_.pop_back();
                return c;
            }
            ++open_;
        }
        try {
            return connect();
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            --open_;
            freed_.notify_one();
            throw;
        }
    }

    // Back to the pool when it is fit for another call, else closed.
    void give(PGconn* c) {
        bool fit = PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) == PQTRANS_IDLE;
        if (!fit) PQfinish(c);
        std::lock_guard<std::mutex> lock(mutex_);
        if (fit)
            idle_.push_back(c);
        else
            --open_;
        freed_.notify_one();
    }

    // Closes the idle connections: after one broke, the others most likely
    // went with it (a restarted server).
    void dropIdle() {
        std::vector<PGconn*> dropped;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            dropped.swap(idle_);
            open_ -= dropped.size();
            freed_.notify_all();
        }
        for (PGconn* c : dropped) PQfinish(c);
    }

  private:
    PGconn* connect() {
        // The address comes after the defaults, so its own settings win; the
        // client encoding is the store's own.
        const char* keys[] = {"connect_timeout", "application_name", "dbname", "client_encoding",
                              nullptr};
        const char* values[] = {"10", "reefdart-scores", address_.c_str(), "UTF8", nullptr};
        PGconn* c = PQconnectdbParams(keys, values, 1);
        // Not one to try again at once: the server is down, or refuses.
        if (!c) throw PgError("cannot connect to PostgreSQL: out of memory", "", false);
        if (PQstatus(c) != CONNECTION_OK) {
            std::string why = oneLine(PQerrorMessage(c));
            PQfinish(c);
            throw PgError("cannot reach PostgreSQL at " + shown(address_) + ": " + why, "", false);
        }
        PQsetNoticeProcessor(c, ignoreNotice, nullptr);
        return c;
    }

    const std::string address_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<PGconn*> idle_;
    size_t open_ = 0;
};

enum class Access { Read, Write };

// One call's connection and transaction: rolled back unless committed, and
// the connection given back to the pool (or closed) at the end.
class Tx {
  public:
    Tx(Pool& pool, Access access) : pool_(pool), conn_(pool.take()) {
        try {
            run(access == Access::Read ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"
                                       : "BEGIN ISOLATION LEVEL READ COMMITTED");
        } catch (...) {
            pool_.give(conn_);
            throw;
        }
        open_ = true;
    }
    ~Tx() {
        if (open_ && PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
        pool_.give(conn_);
    }
    Tx(const Tx&) = delete;
    Tx& operator=(const Tx&) = delete;

    Result run(const char* sql, const Params& params = Params()) {
        Result r(params.exec(conn_, sql));
        check(r);
        return r;
    }
    Result run(const std::string& sql, const Params& params = Params()) {
        return run(sql.c_str(), params);
    }

    void commit() {
        committing_ = true;
        run("COMMIT");
        open_ = false;
    }
    // Whether the commit was asked for: past that, the call must not be
    // tried again, since it may have taken effect.
    bool committing() const { return committing_; }

  private:
    void check(const Result& r) {
        ExecStatusType status = r.get() ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
        if (PQstatus(conn_) != CONNECTION_OK)
            throw PgError("lost the connection to PostgreSQL at " + shown(pool_.address()) + ": " +
                              oneLine(PQerrorMessage(conn_)),
                          "", true);
        const char* state = r.get() ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
        throw PgError("PostgreSQL: " +
                          oneLine(r.get() ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn_)),
                      state ? state : "", false);
    }

    Pool& pool_;
    PGconn* conn_;
    bool open_ = false, committing_ = false;
};

// The columns of a run, in readRun's order.
const char* const RUN_COLUMNS = "SELECT ticket, state, digest, arrived_ms, replay, score, ticks, "
                                "play_ms, final_hash, layout, reason, flag FROM runs ";
// The rank of an entry among those finished since $1: one more than the
// entries ahead of it (a higher score, or the same score finished earlier).
const char* const RANKED =
    "SELECT e.id, e.ticket, p.name, e.score, e.finished_ms, "
    "(SELECT COUNT(*) FROM entries o WHERE o.finished_ms >= $1 AND "
    "(o.score > e.score OR (o.score = e.score AND (o.finished_ms < "
    "e.finished_ms OR (o.finished_ms = e.finished_ms AND o.id < e.id))))) "
    "+ 1, (SELECT r.flag FROM runs r WHERE r.ticket = e.ticket), (SELECT COUNT(*) "
    "FROM reports x WHERE x.entry_id = e.id) FROM entries e JOIN players "
    "p ON p.name_key = e.name_key ";
const char* const BY_RANK = " ORDER BY e.score DESC, e.finished_ms, e.id";

RunState stateOf(const std::string& name) {
    return name == "verified"  ? RunState::Verified
           : name == "refused" ? RunState::Refused
                               : RunState::Queued;
}

Run readRun(const Result& r, int row) {
    Run run;
    run.ticket = r.text(row, 0);
    run.state = stateOf(r.text(row, 1));
    run.digest = r.text(row, 2);
    run.arrivedMs = r.integer(row, 3);
    run.replay = r.bytes(row, 4);
    run.score = static_cast<int32_t>(r.integer(row, 5));
    run.ticks = static_cast<uint32_t>(r.integer(row, 6));
    run.playMs = static_cast<uint32_t>(r.integer(row, 7));
    run.finalHash = r.text(row, 8);
    run.layout = r.text(row, 9);
    run.reason = r.text(row, 10);
    run.flag = r.text(row, 11);
    return run;
}

Entry readEntry(const Result& r, int row) {
    Entry e;
    e.id = r.integer(row, 0);
    e.ticket = r.text(row, 1);
    e.name = r.text(row, 2);
    e.score = static_cast<int32_t>(r.integer(row, 3));
    e.finishedMs = r.integer(row, 4);
    e.rank = r.integer(row, 5);
    e.flag = r.text(row, 6);
    e.reports = r.integer(row, 7);
    return e;
}

std::string nameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

bool findRun(Tx& tx, const std::string& ticket, Run* out) {
    Result r = tx.run(std::string(RUN_COLUMNS) + "WHERE ticket = $1", Params().text(ticket));
    if (r.rows() == 0) return false;
    *out = readRun(r, 0);
    return true;
}

class PgStore : public Store {
  public:
    explicit PgStore(const std::string& address) : pool_(address) {}
    const char* kind() const override { return "postgresql"; }

    void addTicket(const Ticket& t, const std::string& address) override {
        call(Access::Write, [&](Tx& tx) {
            tx.run("INSERT INTO tickets (id, seed, issued_ms, expires_ms, address) VALUES ($1, "
                   "$2, $3, $4, $5)",
                   Params()
                       .text(t.id)
                       .integer(t.seed)
                       .integer(t.issuedMs)
                       .integer(t.expiresMs)
                       .text(address));
        });
    }

    bool ticket(const std::string& id, Ticket* out) override {
        if (!storable(id)) return false;
        return call(Access::Read, [&](Tx& tx) {
            Result r = tx.run("SELECT seed, issued_ms, expires_ms, started_ms, finished_ms, "
                              "final_hash FROM tickets WHERE id = $1",
                              Params().text(id));
            if (r.rows() == 0) return false;
            out->id = id;
            out->seed = static_cast<uint32_t>(r.integer(0, 0));
            out->issuedMs = r.integer(0, 1);
            out->expiresMs = r.integer(0, 2);
            out->startedMs = r.isNull(0, 3) ? -1 : r.integer(0, 3);
            out->finishedMs = r.isNull(0, 4) ? -1 : r.integer(0, 4);
            out->finalHash = r.text(0, 5);
            return true;
        });
    }

    bool startTicket(const std::string& id, int64_t nowMs) override {
        if (!storable(id)) return false;
        return call(Access::Write, [&](Tx& tx) {
            tx.run("UPDATE tickets SET started_ms = $2 WHERE id = $1 AND started_ms IS NULL",
                   Params().text(id).integer(nowMs));
            return tx.run("SELECT 1 FROM tickets WHERE id = $1", Params().text(id)).rows() > 0;
        });
    }

    bool finishTicket(const std::string& id, const std::string& finalHash, int64_t nowMs) override {
        if (!storable(id)) return false;
        return call(Access::Write, [&](Tx& tx) {
            tx.run("UPDATE tickets SET finished_ms = $2, final_hash = $3 WHERE id = $1 AND "
                   "started_ms IS NOT NULL AND finished_ms IS NULL",
                   Params().text(id).integer(nowMs).text(finalHash));
            return tx.run("SELECT 1 FROM tickets WHERE id = $1 AND started_ms IS NOT NULL",
                          Params().text(id))
                       .rows() > 0;
        });
    }

    StoreResult addRun(const Run& run, Run* existing) override {
        return call(Access::Write, [&](Tx& tx) {
            // Of two calls for one ticket, the second waits here for the
            // first to end, then finds its run.
            Result added = tx.run("INSERT INTO runs (ticket, state, digest, arrived_ms, replay) "
                                  "VALUES ($1, $2, $3, $4, $5) ON CONFLICT (ticket) DO NOTHING "
                                  "RETURNING ticket",
                                  Params()
                                      .text(run.ticket)
                                      .text(runStateName(run.state))
                                      .text(run.digest)
                                      .integer(run.arrivedMs)
                                      .bytes(run.replay));
            if (added.rows() > 0) return StoreResult::Done;
            if (!findRun(tx, run.ticket, existing))
                throw std::runtime_error("the run for " + run.ticket + " was there and is not");
            return StoreResult::Already;
        });
    }

    bool run(const std::string& ticket, Run* out) override {
        if (!storable(ticket)) return false;
        return call(Access::Read, [&](Tx& tx) { return findRun(tx, ticket, out); });
    }

    std::vector<std::string> queuedRuns() override {
        return call(Access::Read, [&](Tx& tx) {
            Result r = tx.run(
                "SELECT ticket FROM runs WHERE state = 'queued' ORDER BY arrived_ms, ticket");
            std::vector<std::string> tickets;
            for (int i = 0; i < r.rows(); ++i) tickets.push_back(r.text(i, 0));
            return tickets;
        });
    }

    void finishRun(const Run& run) override {
        call(Access::Write, [&](Tx& tx) {
            Params p;
            p.text(run.ticket).text(runStateName(run.state));
            if (run.state == RunState::Verified)
                p.bytes(run.replay);
            else
                p.null(BYTEA_OID);
            p.integer(run.score)
                .integer(run.ticks)
                .integer(run.playMs)
                .text(run.finalHash)
                .text(run.layout)
                .text(run.reason)
                .text(run.flag);
            tx.run("UPDATE runs SET state = $2, replay = $3, score = $4, ticks = $5, play_ms = $6, "
                   "final_hash = $7, layout = $8, reason = $9, flag = $10 WHERE ticket = $1 AND "
                   "state = 'queued'",
                   p);
        });
    }

    StoreResult publish(const std::string& ticket, const std::string& name,
                        const std::string& keyHash, int64_t nowMs, Entry* entry) override {
        if (!storable(ticket)) return StoreResult::NotFound;
        return call(Access::Write, [&](Tx& tx) {
            Run r;
            if (!findRun(tx, ticket, &r) || r.state != RunState::Verified)
                return StoreResult::NotFound;
            std::string key = nameKey(name);
            // The first to claim a name holds it; one claiming it at the same
            // time waits for that and then finds the holder.
            tx.run("INSERT INTO players (name_key, name, key_hash) VALUES ($1, $2, $3) ON "
                   "CONFLICT (name_key) DO NOTHING",
                   Params().text(key).text(name).text(keyHash));
            Result holder =
                tx.run("SELECT key_hash FROM players WHERE name_key = $1", Params().text(key));
            if (holder.rows() == 0 || holder.text(0, 0) != keyHash) return StoreResult::Conflict;
            // Looked for first, so that publishing again takes no number
            // from the entries' sequence.
            StoreResult result = StoreResult::Already;
            if (tx.run("SELECT 1 FROM entries WHERE ticket = $1", Params().text(ticket)).rows() ==
                0) {
                Result added = tx.run("INSERT INTO entries (ticket, name_key, score, finished_ms, "
                                      "published_ms) VALUES ($1, $2, $3, $4, $5) ON CONFLICT "
                                      "(ticket) DO NOTHING RETURNING id",
                                      Params()
                                          .text(ticket)
                                          .text(key)
                                          .integer(r.score)
                                          .integer(r.arrivedMs)
                                          .integer(nowMs));
                if (added.rows() > 0) result = StoreResult::Done;
            }
            Result ranked = tx.run(std::string(RANKED) + "WHERE e.ticket = $2",
                                   Params().integer(0).text(ticket));
            if (ranked.rows() > 0) *entry = readEntry(ranked, 0);
            return result;
        });
    }

    StoreResult deleteEntries(const std::string& name, const std::string& keyHash,
                              int* removed) override {
        if (!storable(name)) return StoreResult::NotFound;
        return call(Access::Write, [&](Tx& tx) {
            std::string key = nameKey(name);
            Result holder =
                tx.run("SELECT key_hash FROM players WHERE name_key = $1", Params().text(key));
            if (holder.rows() == 0) return StoreResult::NotFound;
            if (holder.text(0, 0) != keyHash) return StoreResult::Conflict;
            *removed = static_cast<int>(
                tx.run("DELETE FROM entries WHERE name_key = $1", Params().text(key)).affected());
            return StoreResult::Done;
        });
    }

    StoreResult report(int64_t id, const std::string& address, const std::string& reason,
                       int64_t nowMs) override {
        if (!storable(address) || !storable(reason)) return StoreResult::NotFound;
        return call(Access::Write, [&](Tx& tx) {
            if (tx.run("SELECT 1 FROM entries WHERE id = $1", Params().integer(id)).rows() == 0)
                return StoreResult::NotFound;
            return tx.run("INSERT INTO reports (entry_id, address, reason, at_ms) VALUES ($1, $2, "
                          "$3, $4) ON CONFLICT DO NOTHING",
                          Params().integer(id).text(address).text(reason).integer(nowMs))
                               .affected() > 0
                       ? StoreResult::Done
                       : StoreResult::Already;
        });
    }

    bool removeEntry(int64_t id) override {
        return call(Access::Write, [&](Tx& tx) {
            return tx.run("DELETE FROM entries WHERE id = $1", Params().integer(id)).affected() > 0;
        });
    }

    std::vector<Entry> board(int64_t sinceMs, int limit) override {
        return call(Access::Read, [&](Tx& tx) {
            Result r =
                tx.run(std::string(RANKED) + "WHERE e.finished_ms >= $1" + BY_RANK + " LIMIT $2",
                       Params().integer(sinceMs).limit(limit));
            std::vector<Entry> out;
            for (int i = 0; i < r.rows(); ++i) out.push_back(readEntry(r, i));
            return out;
        });
    }

    bool playerBest(const std::string& name, int64_t sinceMs, int radius, Entry* best,
                    std::vector<Entry>* around) override {
        if (!storable(name)) return false;
        return call(Access::Read, [&](Tx& tx) {
            Result mine =
                tx.run(std::string(RANKED) + "WHERE e.finished_ms >= $1 AND e.name_key = $2" +
                           BY_RANK + " LIMIT 1",
                       Params().integer(sinceMs).text(nameKey(name)));
            if (mine.rows() == 0) return false;
            *best = readEntry(mine, 0);
            int64_t first = best->rank - 1 - radius < 0 ? 0 : best->rank - 1 - radius;
            Result near = tx.run(
                std::string(RANKED) + "WHERE e.finished_ms >= $1" + BY_RANK + " LIMIT $2 OFFSET $3",
                Params().integer(sinceMs).limit(2 * int64_t{radius} + 1).integer(first));
            for (int i = 0; i < near.rows(); ++i) around->push_back(readEntry(near, i));
            return true;
        });
    }

    bool entryRank(int64_t id, int64_t sinceMs, Entry* entry) override {
        return call(Access::Read, [&](Tx& tx) {
            Result r = tx.run(std::string(RANKED) + "WHERE e.id = $2",
                              Params().integer(sinceMs).integer(id));
            if (r.rows() == 0) return false;
            *entry = readEntry(r, 0);
            return true;
        });
    }

    bool entryReplay(int64_t id, std::vector<uint8_t>* replay, Entry* entry) override {
        return call(Access::Read, [&](Tx& tx) {
            Result r =
                tx.run(std::string(RANKED) + "WHERE e.id = $2", Params().integer(0).integer(id));
            if (r.rows() == 0) return false;
            *entry = readEntry(r, 0);
            Run run;
            if (!findRun(tx, entry->ticket, &run)) return false;
            *replay = std::move(run.replay);
            return true;
        });
    }

    // Brings the schema up to date: each migration in its own transaction,
    // under a lock that servers opening the same database at once share, so
    // the first runs it and the others find it done.
    void migrate() {
        call(Access::Write, [&](Tx& tx) {
            tx.run("SELECT pg_advisory_xact_lock($1)", Params().integer(MIGRATION_LOCK));
            tx.run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
        });
        for (const Migration& m : migrations()) {
            try {
                call(Access::Write, [&](Tx& tx) {
                    tx.run("SELECT pg_advisory_xact_lock($1)", Params().integer(MIGRATION_LOCK));
                    Result have = tx.run("SELECT MAX(version) FROM schema_version");
                    if (have.integer(0, 0) >= m.version) return;
                    for (const char* sql : m.statements)
                        tx.run(schemaText(sql, "BIGSERIAL PRIMARY KEY", "BYTEA"));
                    tx.run("INSERT INTO schema_version (version) VALUES ($1)",
                           Params().integer(m.version));
                });
            } catch (const std::exception& e) {
                throw std::runtime_error("migrating the schema to version " +
                                         std::to_string(m.version) + ": " + e.what());
            }
        }
    }

  private:
    // Runs body in a transaction of its own and commits it; tries again,
    // from the start, when the connection broke or the database cancelled
    // the transaction over a conflict before the commit was asked for.
    template <class Body>
    auto call(Access access, Body body) -> decltype(body(std::declval<Tx&>())) {
        for (int attempt = 1;; ++attempt) {
            bool committing = false;
            try {
                Tx tx(pool_, access);
                if constexpr (std::is_void_v<decltype(body(tx))>) {
                    body(tx);
                    committing = true;
                    tx.commit();
                    return;
                } else {
                    auto result = body(tx);
                    committing = true;
                    tx.commit();
                    return result;
                }
            } catch (const PgError& e) {
                if (e.connectionLost) pool_.dropIdle();
                if (committing || !e.transient() || attempt == ATTEMPTS) throw;
            }
        }
    }

    Pool pool_;
};

} // namespace

std::unique_ptr<Store> openPostgresStore(const std::string& address, std::string* error) {
    auto store = std::make_unique<PgStore>(address);
    try {
        store->migrate();
    } catch (const std::exception& e) {
        *error = e.what();
        return nullptr;
    }
    return store;
}
