// The store in a SQLite file: one connection behind a lock, write-ahead
// logging, every call one transaction (BEGIN IMMEDIATE ... COMMIT).
#include "scores/schema.h"
#include "scores/store.h"

#include <sqlite3.h>

#include <mutex>
#include <stdexcept>

namespace {

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, const std::string& v) {
        check(sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int i, int64_t v) {
        check(sqlite3_bind_int64(s_, i, v));
        return *this;
    }
    Statement& bind(int i, const std::vector<uint8_t>& v) {
        check(v.empty() ? sqlite3_bind_zeroblob(s_, i, 0)
                        : sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()),
                                            SQLITE_TRANSIENT));
        return *this;
    }
    Statement& null(int i) {
        check(sqlite3_bind_null(s_, i));
        return *this;
    }
    // True while there is a row.
    bool step() {
        int rc = sqlite3_step(s_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw std::runtime_error(sqlite3_errmsg(db_));
    }
    int64_t integer(int i) { return sqlite3_column_int64(s_, i); }
    bool isNull(int i) { return sqlite3_column_type(s_, i) == SQLITE_NULL; }
    std::string text(int i) {
        const unsigned char* t = sqlite3_column_text(s_, i);
        return t ? std::string(reinterpret_cast<const char*>(t),
                               static_cast<size_t>(sqlite3_column_bytes(s_, i)))
                 : std::string();
    }
    std::vector<uint8_t> blob(int i) {
        const uint8_t* b = static_cast<const uint8_t*>(sqlite3_column_blob(s_, i));
        return b ? std::vector<uint8_t>(b, b + sqlite3_column_bytes(s_, i))
                 : std::vector<uint8_t>();
    }

  private:
    void check(int rc) {
        if (rc != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
};

const char* const RUN_COLUMNS = "ticket, state, digest, arrived_ms, replay, score, ticks, "
                                "play_ms, final_hash, layout, reason, flag";
// The rank of an entry among those finished since ?1: one more than the
// entries ahead of it (a higher score, or the same score finished earlier).
const char* const RANKED =
    "SELECT e.id, e.ticket, p.name, e.score, e.finished_ms, "
    "(SELECT COUNT(*) FROM entries o WHERE o.finished_ms >= ?1 AND "
    "(o.score > e.score OR (o.score = e.score AND (o.finished_ms < "
    "e.finished_ms OR (o.finished_ms = e.finished_ms AND o.id < e.id))))) "
    "+ 1, (SELECT r.flag FROM runs r WHERE r.ticket = e.ticket), (SELECT COUNT(*) "
    "FROM reports x WHERE x.entry_id = e.id) FROM entries e JOIN players "
    "p ON p.name_key = e.name_key ";

RunState stateOf(const std::string& name) {
    return name == "verified"  ? RunState::Verified
           : name == "refused" ? RunState::Refused
                               : RunState::Queued;
}

Run readRun(Statement& s) {
    Run r;
    r.ticket = s.text(0);
    r.state = stateOf(s.text(1));
    r.digest = s.text(2);
    r.arrivedMs = s.integer(3);
    r.replay = s.blob(4);
    r.score = static_cast<int32_t>(s.integer(5));
    r.ticks = static_cast<uint32_t>(s.integer(6));
    r.playMs = static_cast<uint32_t>(s.integer(7));
    r.finalHash = s.text(8);
    r.layout = s.text(9);
    r.reason = s.text(10);
    r.flag = s.text(11);
    return r;
}

Entry readEntry(Statement& s) {
    Entry e;
    e.id = s.integer(0);
    e.ticket = s.text(1);
    e.name = s.text(2);
    e.score = static_cast<int32_t>(s.integer(3));
    e.finishedMs = s.integer(4);
    e.rank = s.integer(5);
    e.flag = s.text(6);
    e.reports = s.integer(7);
    return e;
}

std::string nameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

class SqliteStore : public Store {
  public:
    explicit SqliteStore(sqlite3* db) : db_(db) {}
    ~SqliteStore() override { sqlite3_close(db_); }
    const char* kind() const override { return "sqlite"; }

    void addTicket(const Ticket& t, const std::string& address) override {
        Tx tx(this);
        Statement(db_, "INSERT INTO tickets (id, seed, issued_ms, expires_ms, address) VALUES "
                       "(?1, ?2, ?3, ?4, ?5)")
            .bind(1, t.id)
            .bind(2, int64_t{t.seed})
            .bind(3, t.issuedMs)
            .bind(4, t.expiresMs)
            .bind(5, address)
            .step();
        tx.commit();
    }

    bool ticket(const std::string& id, Ticket* out) override {
        Tx tx(this);
        Statement s(db_, "SELECT seed, issued_ms, expires_ms, started_ms, finished_ms, final_hash "
                         "FROM tickets WHERE id = ?1");
        s.bind(1, id);
        if (!s.step()) return false;
        out->id = id;
        out->seed = static_cast<uint32_t>(s.integer(0));
        out->issuedMs = s.integer(1);
        out->expiresMs = s.integer(2);
        out->startedMs = s.isNull(3) ? -1 : s.integer(3);
        out->finishedMs = s.isNull(4) ? -1 : s.integer(4);
        out->finalHash = s.text(5);
        return true;
    }

    bool finishTicket(const std::string& id, const std::string& finalHash, int64_t nowMs) override {
        Tx tx(this);
        Statement(db_, "UPDATE tickets SET finished_ms = ?2, final_hash = ?3 WHERE id = ?1 AND "
                       "started_ms IS NOT NULL AND finished_ms IS NULL")
            .bind(1, id)
            .bind(2, nowMs)
            .bind(3, finalHash)
            .step();
        Statement s(db_, "SELECT 1 FROM tickets WHERE id = ?1 AND started_ms IS NOT NULL");
        s.bind(1, id);
        bool known = s.step();
        tx.commit();
        return known;
    }

    bool startTicket(const std::string& id, int64_t nowMs) override {
        Tx tx(this);
        Statement(db_, "UPDATE tickets SET started_ms = ?2 WHERE id = ?1 AND started_ms IS NULL")
            .bind(1, id)
            .bind(2, nowMs)
            .step();
        Statement s(db_, "SELECT 1 FROM tickets WHERE id = ?1");
        s.bind(1, id);
        bool known = s.step();
        tx.commit();
        return known;
    }

    StoreResult addRun(const Run& r, Run* existing) override {
        Tx tx(this);
        if (findRun(r.ticket, existing)) return StoreResult::Already;
        Statement(db_, "INSERT INTO runs (ticket, state, digest, arrived_ms, replay) VALUES (?1, "
                       "?2, ?3, ?4, ?5)")
            .bind(1, r.ticket)
            .bind(2, std::string(runStateName(r.state)))
            .bind(3, r.digest)
            .bind(4, r.arrivedMs)
            .bind(5, r.replay)
            .step();
        tx.commit();
        return StoreResult::Done;
    }

    bool run(const std::string& ticket, Run* out) override {
        Tx tx(this);
        return findRun(ticket, out);
    }

    std::vector<std::string> queuedRuns() override {
        Tx tx(this);
        std::vector<std::string> tickets;
        Statement s(db_, "SELECT ticket FROM runs WHERE state = 'queued' ORDER BY arrived_ms");
        while (s.step()) tickets.push_back(s.text(0));
        return tickets;
    }

    void finishRun(const Run& r) override {
        Tx tx(this);
        Statement s(db_, "UPDATE runs SET state = ?2, replay = ?3, score = ?4, ticks = ?5, "
                         "play_ms = ?6, final_hash = ?7, layout = ?8, reason = ?9, flag = ?10 "
                         "WHERE ticket = ?1 AND state = 'queued'");
        s.bind(1, r.ticket).bind(2, std::string(runStateName(r.state)));
        if (r.state == RunState::Verified)
            s.bind(3, r.replay);
        else
            s.null(3);
        s.bind(4, int64_t{r.score})
            .bind(5, int64_t{r.ticks})
            .bind(6, int64_t{r.playMs})
            .bind(7, r.finalHash)
            .bind(8, r.layout)
            .bind(9, r.reason)
            .bind(10, r.flag)
            .step();
        tx.commit();
    }

    StoreResult publish(const std::string& ticket, const std::string& name,
                        const std::string& keyHash, int64_t nowMs, Entry* entry) override {
        Tx tx(this);
        Run r;
        if (!findRun(ticket, &r) || r.state != RunState::Verified) return StoreResult::NotFound;
        std::string key = nameKey(name);
        Statement holder(db_, "SELECT key_hash FROM players WHERE name_key = ?1");
        holder.bind(1, key);
        if (holder.step()) {
            if (holder.text(0) != keyHash) return StoreResult::Conflict;
        } else {
            Statement(db_, "INSERT INTO players (name_key, name, key_hash) VALUES (?1, ?2, ?3)")
                .bind(1, key)
                .bind(2, name)
                .bind(3, keyHash)
                .step();
        }
        Statement have(db_, "SELECT id FROM entries WHERE ticket = ?1");
        have.bind(1, ticket);
        StoreResult result = StoreResult::Already;
        if (!have.step()) {
            Statement(db_, "INSERT INTO entries (ticket, name_key, score, finished_ms, "
                           "published_ms) VALUES (?1, ?2, ?3, ?4, ?5)")
                .bind(1, ticket)
                .bind(2, key)
                .bind(3, int64_t{r.score})
                .bind(4, r.arrivedMs)
                .bind(5, nowMs)
                .step();
            result = StoreResult::Done;
        }
        Statement s(db_, (std::string(RANKED) + "WHERE e.ticket = ?2").c_str());
        s.bind(1, int64_t{0}).bind(2, ticket);
        if (s.step()) *entry = readEntry(s);
        tx.commit();
        return result;
    }

    StoreResult deleteEntries(const std::string& name, const std::string& keyHash,
                              int* removed) override {
        Tx tx(this);
        std::string key = nameKey(name);
        Statement holder(db_, "SELECT key_hash FROM players WHERE name_key = ?1");
        holder.bind(1, key);
        if (!holder.step()) return StoreResult::NotFound;
        if (holder.text(0) != keyHash) return StoreResult::Conflict;
        Statement(db_, "DELETE FROM entries WHERE name_key = ?1").bind(1, key).step();
        *removed = sqlite3_changes(db_);
        tx.commit();
        return StoreResult::Done;
    }

    bool removeEntry(int64_t id) override {
        Tx tx(this);
        Statement(db_, "DELETE FROM entries WHERE id = ?1").bind(1, id).step();
        bool removed = sqlite3_changes(db_) > 0;
        tx.commit();
        return removed;
    }

    StoreResult report(int64_t id, const std::string& address, const std::string& reason,
                       int64_t nowMs) override {
        Tx tx(this);
        Statement entry(db_, "SELECT 1 FROM entries WHERE id = ?1");
        entry.bind(1, id);
        if (!entry.step()) return StoreResult::NotFound;
        Statement(db_, "INSERT INTO reports (entry_id, address, reason, at_ms) VALUES (?1, ?2, ?3, "
                       "?4) ON CONFLICT DO NOTHING")
            .bind(1, id)
            .bind(2, address)
            .bind(3, reason)
            .bind(4, nowMs)
            .step();
        StoreResult result = sqlite3_changes(db_) > 0 ? StoreResult::Done : StoreResult::Already;
        tx.commit();
        return result;
    }

    std::vector<Entry> board(int64_t sinceMs, int limit) override {
        Tx tx(this);
        std::vector<Entry> out;
        Statement s(db_, (std::string(RANKED) +
                          "WHERE e.finished_ms >= ?1 ORDER BY e.score DESC, e.finished_ms, e.id "
                          "LIMIT ?2")
                             .c_str());
        s.bind(1, sinceMs).bind(2, int64_t{limit});
        while (s.step()) out.push_back(readEntry(s));
        return out;
    }

    bool playerBest(const std::string& name, int64_t sinceMs, int radius, Entry* best,
                    std::vector<Entry>* around) override {
        Tx tx(this);
        Statement s(db_, (std::string(RANKED) +
                          "WHERE e.finished_ms >= ?1 AND e.name_key = ?2 ORDER BY e.score DESC, "
                          "e.finished_ms, e.id LIMIT 1")
                             .c_str());
        s.bind(1, sinceMs).bind(2, nameKey(name));
        if (!s.step()) return false;
        *best = readEntry(s);
        Statement near(db_, (std::string(RANKED) +
                             "WHERE e.finished_ms >= ?1 ORDER BY e.score DESC, e.finished_ms, "
                             "e.id LIMIT ?2 OFFSET ?3")
                                .c_str());
        int64_t first = best->rank - 1 - radius < 0 ? 0 : best->rank - 1 - radius;
        near.bind(1, sinceMs).bind(2, int64_t{2 * radius + 1}).bind(3, first);
        while (near.step()) around->push_back(readEntry(near));
        return true;
    }

    bool entryRank(int64_t id, int64_t sinceMs, Entry* entry) override {
        Tx tx(this);
        Statement s(db_, (std::string(RANKED) + "WHERE e.id = ?2").c_str());
        s.bind(1, sinceMs).bind(2, id);
        if (!s.step()) return false;
        *entry = readEntry(s);
        return true;
    }

    bool entryReplay(int64_t id, std::vector<uint8_t>* replay, Entry* entry) override {
        Tx tx(this);
        Statement s(db_, (std::string(RANKED) + "WHERE e.id = ?2").c_str());
        s.bind(1, int64_t{0}).bind(2, id);
        if (!s.step()) return false;
        *entry = readEntry(s);
        Run r;
        if (!findRun(entry->ticket, &r)) return false;
        *replay = r.replay;
        return true;
    }

    void migrate() {
        exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
        int have = 0;
        {
            Statement s(db_, "SELECT MAX(version) FROM schema_version");
            if (s.step()) have = static_cast<int>(s.integer(0));
        }
        for (const Migration& m : migrations()) {
            if (m.version <= have) continue;
            Tx tx(this);
            for (const char* sql : m.statements)
                exec(schemaText(sql, "INTEGER PRIMARY KEY AUTOINCREMENT", "BLOB").c_str());
            Statement(db_, "INSERT INTO schema_version (version) VALUES (?1)")
                .bind(1, int64_t{m.version})
                .step();
            tx.commit();
        }
    }

    void exec(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            std::string text = message ? message : "unknown error";
            sqlite3_free(message);
            throw std::runtime_error(text);
        }
    }

  private:
    // The lock and the transaction of one call; rolled back unless committed.
    class Tx {
      public:
        explicit Tx(SqliteStore* s) : s_(s), lock_(s->mutex_) { s_->exec("BEGIN IMMEDIATE"); }
        ~Tx() {
            if (!done_) sqlite3_exec(s_->db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        void commit() {
            s_->exec("COMMIT");
            done_ = true;
        }

      private:
        SqliteStore* s_;
        std::lock_guard<std::recursive_mutex> lock_;
        bool done_ = false;
    };

    bool findRun(const std::string& ticket, Run* out) {
        Statement s(
            db_, (std::string("SELECT ") + RUN_COLUMNS + " FROM runs WHERE ticket = ?1").c_str());
        s.bind(1, ticket);
        if (!s.step()) return false;
        *out = readRun(s);
        return true;
    }

    sqlite3* db_;
    std::recursive_mutex mutex_;
};

} // namespace

const char* runStateName(RunState state) {
    switch (state) {
    case RunState::Verified:
        return "verified";
    case RunState::Refused:
        return "refused";
    default:
        return "queued";
    }
}

std::unique_ptr<Store> openSqliteStore(const std::string& path, std::string* error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        *error = "cannot open " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return nullptr;
    }
    auto store = std::make_unique<SqliteStore>(db);
    try {
        sqlite3_busy_timeout(db, 5000);
        // A killed server loses nothing committed: the log is on disk before
        // a commit returns (only a power cut could lose the last few).
        store->exec("PRAGMA journal_mode = WAL");
        store->exec("PRAGMA synchronous = NORMAL");
        store->exec("PRAGMA foreign_keys = ON");
        store->migrate();
    } catch (const std::exception& e) {
        *error = path + ": " + e.what();
        return nullptr;
    }
    return store;
}

std::unique_ptr<Store> openStore(const std::string& where, std::string* error) {
    if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0)
        return openPostgresStore(where, error);
    return openSqliteStore(where, error);
}
