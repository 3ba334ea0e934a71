// reefdart-scores: the score site. See docs/scores.md.
#include "platform/server/os.h"
#include "scores/site.h"
#include "scores/store.h"
#include "scores/verifier.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Options {
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string db = "reefdart-scores.db";
    std::string site;
    int workers = 2;
    double rate = 20;
    double clockSpeed = 1;
    std::string testClock;
    long long removeEntry = -1;
};

void help() {
    std::printf(
        "Usage: reefdart-scores [OPTION]...\n"
        "The Reefdart score site: plays every submitted game again before it ranks it.\n\n"
        "  --listen ADDRESS:PORT  where to serve the site and its API (default 127.0.0.1:8080)\n"
        "  --db WHERE             a SQLite file (default reefdart-scores.db), or a PostgreSQL\n"
        "                         server as postgresql://user@host/database\n"
        "  --site DIR             the browser edition's files, served under /play/\n"
        "  --workers N            verifier processes (default 2)\n"
        "  --rate-limit N         requests a second from one address, bursts of 3N (default\n"
        "                         20; 0: none, for load tests or behind a limiting proxy)\n"
        "  --remove-entry ID      remove one board entry and exit\n"
        "  --clock-speed N        tests only, on 127.0.0.1: the site's clock runs N times as\n"
        "                         fast, so that a test's games need not take their real time\n"
        "  --test-clock FILE      tests only, on 127.0.0.1: the site's clock is the number of\n"
        "                         milliseconds FILE holds, read at every request\n"
        "  --help, --version\n\n"
        "Refusals and operator events are logged to standard error as JSON lines. SIGTERM or\n"
        "SIGINT stops taking requests, finishes the verifications queued and exits 0.\n");
}

int usage(const std::string& message) {
    std::fprintf(stderr, "reefdart-scores: %s (see --help)\n", message.c_str());
    return 2;
}

bool number(const char* text, double low, double high, double* out) {
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (!*text || *end || !(v >= low && v <= high)) return false;
    *out = v;
    return true;
}

// -1 to go on, else the exit code.
int parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            help();
            return 0;
        }
        if (a == "--version") {
            std::printf("reefdart-scores %s\n", REEFDART_VERSION);
            return 0;
        }
        if (i + 1 >= argc) return usage("unknown option or missing value: " + a);
        const char* v = argv[++i];
        double n = 0;
        if (a == "--listen") {
            std::string text = v;
            size_t colon = text.rfind(':');
            if (colon == std::string::npos || colon == 0 ||
                !number(text.c_str() + colon + 1, 0, 65535, &n))
                return usage("--listen takes ADDRESS:PORT");
            o->host = text.substr(0, colon);
            o->port = static_cast<int>(n);
        } else if (a == "--db") {
            o->db = v;
        } else if (a == "--site") {
            o->site = v;
        } else if (a == "--workers") {
            if (!number(v, 1, 64, &n)) return usage("--workers takes 1 to 64");
            o->workers = static_cast<int>(n);
        } else if (a == "--rate-limit") {
            if (!number(v, 0, 1e6, &o->rate)) return usage("--rate-limit takes a number");
        } else if (a == "--clock-speed") {
            if (!number(v, 1, 10000, &o->clockSpeed))
                return usage("--clock-speed takes 1 to 10000");
        } else if (a == "--test-clock") {
            o->testClock = v;
        } else if (a == "--remove-entry") {
            if (!number(v, 1, 1e15, &n)) return usage("--remove-entry takes an entry's number");
            o->removeEntry = static_cast<long long>(n);
        } else {
            return usage("unknown option " + a);
        }
    }
    if ((o->clockSpeed != 1 || !o->testClock.empty()) && o->host != "127.0.0.1")
        return usage("--clock-speed and --test-clock are for tests on 127.0.0.1 only");
    return -1;
}

int64_t wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--verifier") == 0) return runVerifierProcess();
    Options o;
    int done = parse(argc, argv, &o);
    if (done >= 0) return done;
    std::string error;
    std::unique_ptr<Store> store = openStore(o.db, &error);
    if (!store) {
        std::fprintf(stderr, "reefdart-scores: %s\n", error.c_str());
        return 1;
    }
    if (o.removeEntry > 0) {
        bool removed = store->removeEntry(o.removeEntry);
        std::printf(removed ? "entry %lld removed\n" : "no entry %lld\n", o.removeEntry);
        return removed ? 0 : 1;
    }
    // Signals go to the one thread that waits for them.
    holdStopSignals();
    ignoreBrokenPipes();

    SiteConfig config;
    config.siteDir = o.site;
    config.verifierProgram = ownExecutable(argv[0]);
    config.workers = o.workers;
    config.ratePerSecond = o.rate;
    config.rateBurst = 3 * o.rate;
    int64_t started = wallMs();
    double speed = o.clockSpeed;
    config.now = [started, speed] {
        return started + static_cast<int64_t>((wallMs() - started) * speed);
    };
    if (!o.testClock.empty()) {
        std::string file = o.testClock;
        config.now = [file] {
            FILE* f = std::fopen(file.c_str(), "r");
            long long ms = 0;
            bool read = f && std::fscanf(f, "%lld", &ms) == 1;
            if (f) std::fclose(f);
            return read ? static_cast<int64_t>(ms) : wallMs();
        };
    }
    static std::mutex logLock;
    config.log = [](const std::string& line) {
        std::lock_guard<std::mutex> lock(logLock);
        std::fprintf(stderr, "%s\n", line.c_str());
    };
    ScoreSite site(*store, config);
    size_t resumed = site.resumeQueued();
    // Port 0: any free port, which the "listening" line gives.
    int port = site.bind(o.host, o.port);
    if (port < 0) {
        std::fprintf(stderr, "reefdart-scores: cannot listen on %s:%d\n", o.host.c_str(), o.port);
        return 1;
    }
    std::atomic<bool> signalled{false};
    std::thread stopper([&] {
        if (!waitForStopSignal()) return;
        signalled = true;
        site.http().stop();
    });
    std::fprintf(stderr,
                 "{\"event\":\"listening\",\"address\":\"http://%s:%d/\",\"store\":\"%s\","
                 "\"resumed\":%zu}\n",
                 o.host.c_str(), port, store->kind(), resumed);
    site.http().listen_after_bind();
    site.drain();
    std::fprintf(stderr, "{\"event\":\"stopped\"}\n");
    if (!signalled) releaseStopWaiter();
    stopper.join();
    return 0;
}
