#include "platform/online/online.h"

#include "platform/wince/files.h"
#include "platform/wince/winapi.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

using json = nlohmann::json;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// An unstarted ticket lives ten minutes on the site; one older than this is
// not used.
constexpr auto TICKET_SHELF_LIFE = std::chrono::minutes(9);
constexpr auto RETRY_AFTER = std::chrono::seconds(5);

struct Job {
    enum Kind { FETCH, START, FINISH, SEND, PUBLISH } kind;
    std::string ticket, hash;
    Clock::time_point notBefore;
    int attempts = 0;
};

struct Link {
    std::unique_ptr<httplib::Client> http;
    std::string url, name, key, outbox;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    bool stopping = false;
    bool fetching = false;
    bool busy = false;  // a job is running
    std::string ticket; // at hand: "" for none
    uint32_t seed = 0;
    Clock::time_point fetchedAt;
    std::thread thread;
};

Link* site = nullptr;

void say(const std::string& text) {
    std::fprintf(stderr, "reefdart: %s\n", text.c_str());
}

std::string readKey(const std::string& path, std::string* error) {
    std::ifstream in(path);
    std::string key;
    if (in && std::getline(in, key) && key.size() >= 16) return key;
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    key.clear();
    for (int i = 0; i < 32; ++i) key += alphabet[random() % 36];
    std::string temporary = path + ".new";
    std::ofstream out(temporary, std::ios::trunc);
    out << key << "\n";
    out.close();
    if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot keep the installation's key in " + path;
        return "";
    }
    return key;
}

void queue(Job job) {
    {
        std::lock_guard<std::mutex> lock(site->mutex);
        site->jobs.push_back(std::move(job));
    }
    site->wake.notify_one();
}

// Whether the site answered at all (a refusal is an answer too).
bool answered(const httplib::Result& r) {
    return r && r->status > 0 && r->status != 429 && r->status < 500;
}

std::string outboxPath(const std::string& ticket) {
    return site->outbox + "/" + ticket + ".rdr";
}

// Runs one job; false when it should be tried again later.
bool run(Job& job) {
    httplib::Client& http = *site->http;
    switch (job.kind) {
    case Job::FETCH: {
        auto r = http.Post("/api/tickets");
        std::lock_guard<std::mutex> lock(site->mutex);
        site->fetching = false;
        if (!r || r->status != 201) return true; // the next game asks again
        json j = json::parse(r->body, nullptr, false);
        if (!j.is_object() || !j["ticket"].is_string() || !j["seed"].is_number_unsigned())
            return true;
        site->ticket = j["ticket"].get<std::string>();
        site->seed = j["seed"].get<uint32_t>();
        site->fetchedAt = Clock::now();
        return true;
    }
    case Job::START:
        return answered(http.Post(("/api/tickets/" + job.ticket + "/start").c_str()));
    case Job::FINISH:
        return answered(http.Post(("/api/tickets/" + job.ticket + "/finish").c_str(),
                                  json{{"final_hash", job.hash}}.dump(), "application/json"));
    case Job::SEND: {
        std::ifstream in(outboxPath(job.ticket), std::ios::binary);
        if (!in) return true;
        std::stringstream bytes;
        bytes << in.rdbuf();
        auto r = http.Post("/api/runs", bytes.str(), "application/octet-stream");
        if (!answered(r)) return false;
        json j = json::parse(r->body, nullptr, false);
        if (r->status == 202 || r->status == 200) {
            if (!site->name.empty()) queue(Job{Job::PUBLISH, job.ticket, "", Clock::now()});
        } else {
            say("the score site refused the game: " +
                (j.is_object() ? j.value("refused", r->body) : r->body));
        }
        fs::remove(outboxPath(job.ticket));
        return true;
    }
    case Job::PUBLISH: {
        auto r =
            http.Post(("/api/runs/" + job.ticket + "/publish?wait=2").c_str(),
                      json{{"name", site->name}, {"key", site->key}}.dump(), "application/json");
        if (!answered(r) || r->status == 202) return false; // still being verified
        json j = json::parse(r->body, nullptr, false);
        if (r->status == 200 && j.is_object())
            say("a score of " + std::to_string(j.value("score", 0)) + " is ranked " +
                std::to_string(j.value("rank", 0)) + " on " + site->url);
        else
            say("the score site would not publish the game: " +
                (j.is_object() ? j.value("refused", r->body) : r->body));
        return true;
    }
    }
    return true;
}

void work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(site->mutex);
            site->wake.wait_for(lock, std::chrono::milliseconds(500), [] {
                return site->stopping ||
                       (!site->jobs.empty() && site->jobs.front().notBefore <= Clock::now());
            });
            if (site->jobs.empty()) {
                if (site->stopping) return;
                continue;
            }
            if (site->jobs.front().notBefore > Clock::now()) {
                if (site->stopping) return;
                // Later ones may be due: rotate.
                site->jobs.push_back(std::move(site->jobs.front()));
                site->jobs.pop_front();
                continue;
            }
            job = std::move(site->jobs.front());
            site->jobs.pop_front();
            site->busy = true;
        }
        bool done = run(job);
        {
            std::lock_guard<std::mutex> lock(site->mutex);
            site->busy = false;
        }
        if (!done && ++job.attempts < (job.kind == Job::PUBLISH ? 600 : 1000000)) {
            bool stopping;
            {
                std::lock_guard<std::mutex> lock(site->mutex);
                stopping = site->stopping;
            }
            // A replay left unsent stays in the outbox for the next start.
            if (stopping) continue;
            job.notBefore =
                Clock::now() + (job.kind == Job::PUBLISH ? std::chrono::milliseconds(200)
                                                         : std::chrono::milliseconds(RETRY_AFTER));
            queue(std::move(job));
        }
    }
}

} // namespace

bool startOnline(const std::string& address, const std::string& name, std::string* error) {
    std::string url = address.substr(0, address.find_last_not_of('/') + 1);
    size_t host = url.find("://");
    if ((url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) ||
        url.find('/', host + 3) != std::string::npos) {
        *error = "--scores takes the site's address, http://HOST[:PORT] or https://...";
        return false;
    }
    auto http = std::make_unique<httplib::Client>(url);
    if (!http->is_valid()) {
        *error = "the score site's address " + url + " cannot be used";
        return false;
    }
    http->set_connection_timeout(5);
    http->set_read_timeout(10);
    std::string folder = dataFolder();
    std::string key = readKey(folder + "/scores.key", error);
    if (key.empty()) return false;
    std::error_code ec;
    fs::create_directories(folder + "/outbox", ec);
    if (ec) {
        *error = "cannot make the outbox " + folder + "/outbox";
        return false;
    }
    site = new Link;
    site->http = std::move(http);
    site->url = url;
    site->name = name;
    site->key = key;
    site->outbox = folder + "/outbox";
    // What a killed or cut-off run left behind goes first.
    for (const fs::directory_entry& e : fs::directory_iterator(site->outbox, ec))
        if (e.path().extension() == ".rdr")
            site->jobs.push_back(Job{Job::SEND, e.path().stem().string(), "", Clock::now()});
    // The first ticket is fetched before the program starts, so that its
    // first game is already an online one.
    Job first{Job::FETCH, "", "", Clock::now()};
    site->fetching = true;
    run(first);
    if (site->ticket.empty()) say("the score site " + url + " cannot be reached yet; games wait");
    site->thread = std::thread(work);
    return true;
}

void stopOnline() {
    if (!site) return;
    // What is due goes now; whatever waits on the network after a few
    // seconds stays in the outbox.
    auto deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(site->mutex);
            bool due = site->busy;
            for (const Job& j : site->jobs)
                if (j.kind == Job::PUBLISH || (j.kind != Job::FETCH && j.attempts == 0))
                    due = true;
            if (!due || Clock::now() > deadline) {
                site->stopping = true;
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    site->wake.notify_all();
    site->http->stop();
    site->thread.join();
    delete site;
    site = nullptr;
}

bool onlineTakeTicket(char* ticket, size_t capacity, uint32_t* randomState) {
    if (!site) return false;
    std::lock_guard<std::mutex> lock(site->mutex);
    bool fresh = !site->ticket.empty() && Clock::now() - site->fetchedAt < TICKET_SHELF_LIFE &&
                 site->ticket.size() < capacity;
    std::string id = site->ticket;
    site->ticket.clear();
    if (!site->fetching) {
        site->fetching = true;
        site->jobs.push_back(Job{Job::FETCH, "", "", Clock::now()});
    }
    if (fresh) {
        std::snprintf(ticket, capacity, "%s", id.c_str());
        *randomState = site->seed;
        site->jobs.push_back(Job{Job::START, id, "", Clock::now()});
    }
    site->wake.notify_one();
    return fresh;
}

void onlineSendReplay(const uint8_t* bytes, size_t size, const char* ticket, uint64_t finalHash) {
    if (!site) return;
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(finalHash));
    // Into the outbox first, as safely as the settings files: once there,
    // the replay outlives a crash.
    if (!replaceFile(outboxPath(ticket).c_str(), reinterpret_cast<const char*>(bytes), size)) {
        say("cannot keep the game's replay in the outbox");
        return;
    }
    std::lock_guard<std::mutex> lock(site->mutex);
    site->jobs.push_back(Job{Job::FINISH, ticket, hash, Clock::now()});
    site->jobs.push_back(Job{Job::SEND, ticket, "", Clock::now()});
    site->wake.notify_one();
}
