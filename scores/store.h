// The score site's database: tickets, runs, players and board entries, behind
// one interface with two implementations (SQLite in a file, PostgreSQL over
// libpq) that share the schema and its migrations (schema.h). Every call is
// one transaction: it happens whole or not at all. Calls may come from any
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Ticket {
    std::string id;
    uint32_t seed = 0;
    int64_t issuedMs = 0, expiresMs = 0;
    int64_t startedMs = -1;  // -1: its game has not been started
    int64_t finishedMs = -1; // -1: its game's end has not been announced
    std::string finalHash;   // the final state hash announced with the end
};

enum class RunState { Queued, Verified, Refused };
const char* runStateName(RunState state);

struct Run {
    std::string ticket;
    RunState state = RunState::Queued;
    std::string digest; // of the replay's bytes
    int64_t arrivedMs = 0;
    std::vector<uint8_t> replay; // kept while queued and once verified
    int32_t score = 0;
    uint32_t ticks = 0, playMs = 0;
    std::string finalHash, layout, reason;
    std::string flag; // a verified run's note on its input timing ("": none)
};

struct Entry {
    int64_t id = 0;
    std::string ticket, name;
    int32_t score = 0;
    int64_t finishedMs = 0; // the run's arrival: ties go to the earlier
    int64_t rank = 0;       // 1 for the best, on the board asked for
    std::string flag;       // the run's note on its input timing
    int64_t reports = 0;    // players who reported it
};

enum class StoreResult { Done, Already, NotFound, Conflict };

class Store {
  public:
    virtual ~Store() = default;
    virtual const char* kind() const = 0;

    virtual void addTicket(const Ticket& ticket, const std::string& address) = 0;
    virtual bool ticket(const std::string& id, Ticket* out) = 0;
    // Notes the game's start once; false when the ticket is unknown.
    virtual bool startTicket(const std::string& id, int64_t nowMs) = 0;
    // Notes the game's end and its final state hash once, after its start;
    // false when the ticket is unknown or its game was never started.
    virtual bool finishTicket(const std::string& id, const std::string& finalHash,
                              int64_t nowMs) = 0;

    // Stores a run for its ticket, unless the ticket already has one
    // (Already, with that run in *existing).
    virtual StoreResult addRun(const Run& run, Run* existing) = 0;
    virtual bool run(const std::string& ticket, Run* out) = 0;
    // The tickets of every queued run, oldest first.
    virtual std::vector<std::string> queuedRuns() = 0;
    // A queued run verified (its replay kept) or refused (its replay dropped).
    virtual void finishRun(const Run& run) = 0;

    // Publishes a verified run under name, held by the key's hash: Conflict
    // when another key holds the name, Already when the run is published.
    virtual StoreResult publish(const std::string& ticket, const std::string& name,
                                const std::string& keyHash, int64_t nowMs, Entry* entry) = 0;
    // Removes the entries of a name held by keyHash: NotFound or Conflict.
    virtual StoreResult deleteEntries(const std::string& name, const std::string& keyHash,
                                      int* removed) = 0;
    virtual bool removeEntry(int64_t id) = 0;
    // One address's report of an entry: Already when that address reported
    // it before, NotFound when there is no such entry.
    virtual StoreResult report(int64_t id, const std::string& address, const std::string& reason,
                               int64_t nowMs) = 0;

    // The best entries finished at or after sinceMs, ranked.
    virtual std::vector<Entry> board(int64_t sinceMs, int limit) = 0;
    // A player's best entry with its rank on that board, and the entries
    // around it (radius above and below); false when the player has none.
    virtual bool playerBest(const std::string& name, int64_t sinceMs, int radius, Entry* best,
                            std::vector<Entry>* around) = 0;
    // An entry with its rank among those finished at or after sinceMs.
    virtual bool entryRank(int64_t id, int64_t sinceMs, Entry* entry) = 0;
    virtual bool entryReplay(int64_t id, std::vector<uint8_t>* replay, Entry* entry) = 0;
};

// Opens (and creates or migrates) the database at where: a postgresql:// or
// postgres:// address, else a SQLite file. Null with the reason on failure.
std::unique_ptr<Store> openStore(const std::string& where, std::string* error);
std::unique_ptr<Store> openSqliteStore(const std::string& path, std::string* error);
std::unique_ptr<Store> openPostgresStore(const std::string& address, std::string* error);
