// Plays submitted replays again by the game's rules, away from the HTTP
// threads: a bounded pool of worker threads, each with a verifier process of
// its own (the rules keep their state in program-wide variables, and a
// replay that upset them could harm only that process).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Verdict {
    bool verified = false;
    std::string reason; // why not, e.g. "diverged at tick 4000 of 12000, ..."
    int32_t score = 0;
    uint32_t ticks = 0, playMs = 0;
    std::string finalHash; // 16 hex digits
};

// The verifier process's own loop (reefdart-scores --verifier): reads
// replays from standard input, each as a 4-byte little-endian length and its
// bytes, and answers each with one line on standard output. Returns at the
// end of its input.
int runVerifierProcess();

class VerifierPool {
  public:
    // Starts workers, each running program (with --verifier) as its verifier
    // and calling done with every verdict from that worker's thread.
    VerifierPool(std::string program, int workers,
                 std::function<void(const std::string& ticket, const Verdict&)> done);
    ~VerifierPool(); // finishes every queued replay first
    void add(const std::string& ticket, std::vector<uint8_t> replay);
    size_t waiting() const;
    // Finishes what is queued, then stops the workers.
    void drain();

  private:
    struct State;
    State* s_;
};
