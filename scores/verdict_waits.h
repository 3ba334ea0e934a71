// Requests that wait for a run's verdict (`?wait=S`) instead of asking
// again and again: each waits on a condition of its own, which the verifier
// wakes as soon as it has stored that ticket's verdict. At most `most`
// requests wait at once, and one a ticket, so that waits can never take every
// HTTP thread; beyond that a request is answered at once, as without `wait`.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>

class VerdictWaits {
  public:
    explicit VerdictWaits(size_t most) : most_(most) {}

    // Waits up to `longest` while `queued()` says the ticket's run has no
    // verdict yet. The wait is registered before `queued()` reads the store,
    // so a verdict stored in between still wakes it.
    void wait(const std::string& ticket, std::chrono::milliseconds longest,
              const std::function<bool()>& queued) {
        Waiter self;
        std::unique_lock<std::mutex> lock(mutex_);
        if (waiting_.size() >= most_ || !waiting_.emplace(ticket, &self).second) return;
        lock.unlock();
        bool stillQueued = queued();
        lock.lock();
        if (stillQueued) self.woken.wait_for(lock, longest, [&] { return self.settled; });
        waiting_.erase(ticket);
    }

    // Called once the ticket's verdict is stored.
    void settle(const std::string& ticket) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto at = waiting_.find(ticket);
        if (at == waiting_.end()) return;
        at->second->settled = true;
        at->second->woken.notify_one();
    }

    size_t waiting() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waiting_.size();
    }

  private:
    struct Waiter {
        std::condition_variable woken;
        bool settled = false;
    };
    size_t most_;
    std::mutex mutex_;
    std::map<std::string, Waiter*> waiting_;
};
