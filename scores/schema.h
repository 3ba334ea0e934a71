// The database's schema as numbered migrations, the same for SQLite and
// PostgreSQL: {ID} and {BLOB} stand for each one's own column types. A
// database records the last migration it has had in schema_version; opening
// it runs the ones after that, each in its own transaction.
#pragma once

#include <string>
#include <vector>

struct Migration {
    int version;
    std::vector<const char*> statements;
};

inline const std::vector<Migration>& migrations() {
    static const std::vector<Migration> all = {
        {1,
         {"CREATE TABLE tickets (id TEXT PRIMARY KEY, seed BIGINT NOT NULL, issued_ms BIGINT "
          "NOT NULL, expires_ms BIGINT NOT NULL, started_ms BIGINT, finished_ms BIGINT, "
          "final_hash TEXT, address TEXT NOT NULL)",
          "CREATE TABLE runs (ticket TEXT PRIMARY KEY REFERENCES tickets(id), state TEXT NOT "
          "NULL, digest TEXT NOT NULL, arrived_ms BIGINT NOT NULL, replay {BLOB}, score "
          "INTEGER, ticks BIGINT, play_ms BIGINT, final_hash TEXT, layout TEXT, reason TEXT)",
          "CREATE INDEX runs_state ON runs(state, arrived_ms)",
          "CREATE TABLE players (name_key TEXT PRIMARY KEY, name TEXT NOT NULL, key_hash TEXT "
          "NOT NULL)",
          "CREATE TABLE entries (id {ID}, ticket TEXT NOT NULL UNIQUE REFERENCES runs(ticket), "
          "name_key TEXT NOT NULL REFERENCES players(name_key), score INTEGER NOT NULL, "
          "finished_ms BIGINT NOT NULL, published_ms BIGINT NOT NULL)",
          "CREATE INDEX entries_rank ON entries(score DESC, finished_ms, id)",
          "CREATE INDEX entries_week ON entries(finished_ms)",
          "CREATE INDEX entries_player ON entries(name_key)"}},
        // What watchers and moderators see beside a run: a note on input no
        // hand could give, and the reports of players.
        {2,
         {"ALTER TABLE runs ADD COLUMN flag TEXT",
          "CREATE TABLE reports (entry_id BIGINT NOT NULL REFERENCES entries(id) ON DELETE "
          "CASCADE, address TEXT NOT NULL, reason TEXT NOT NULL, at_ms BIGINT NOT NULL, PRIMARY "
          "KEY (entry_id, address))"}},
    };
    return all;
}

inline std::string schemaText(const char* statement, const char* idType, const char* blobType) {
    std::string s = statement;
    for (auto [mark, value] : {std::pair<const char*, const char*>{"{ID}", idType},
                               std::pair<const char*, const char*>{"{BLOB}", blobType}}) {
        size_t at;
        while ((at = s.find(mark)) != std::string::npos)
            s.replace(at, std::char_traits<char>::length(mark), value);
    }
    return s;
}
