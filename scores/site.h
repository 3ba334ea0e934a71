// The score site on one port: the JSON API, the score pages and the browser
// edition's files. Every request is taken as hostile: bodies and fields have
// size limits, each address a rate limit, SQL goes through prepared
// statements and HTML is escaped; a refusal says why and stores nothing.
#pragma once

#include "scores/store.h"
#include "scores/verifier.h"

#include <httplib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct SiteConfig {
    std::string siteDir;               // the browser edition, served under /play/ ("": none)
    std::string verifierProgram;       // run with --verifier
    int workers = 2;                   // verifier processes
    int threads = 64;                  // HTTP threads
    int64_t ticketLifetimeMs = 600000; // an unstarted ticket's life
    double ratePerSecond = 20;         // requests per address (0: no limit)
    double rateBurst = 60;
    std::function<int64_t()> now; // ms since the epoch
    // Where each refusal and operator event is logged, one JSON object a line.
    std::function<void(const std::string&)> log;
};

class ScoreSite {
  public:
    ScoreSite(Store& store, SiteConfig config);
    ~ScoreSite();
    httplib::Server& http();
    // Binds to host and port (0: any free port) with room for a thousand
    // waiting connections; the port, or -1 when it cannot.
    int bind(const std::string& host, int port);
    // Queues again the runs a stopped server left queued.
    size_t resumeQueued();
    // Waits for every queued verification; new ones are still taken.
    void drain();
    size_t verifying() const;

  private:
    struct State;
    std::unique_ptr<State> s_;
};
