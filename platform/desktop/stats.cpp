#include "platform/desktop/stats.h"

#include <cstdio>
#include <mutex>

namespace {

struct Stats {
    bool on = false;
    uint32_t start = 0;
    unsigned long frames = 0;
    // The press being followed: 0 none, 1 queued, 2 drawn after it was taken,
    // 3 handed to the presenter in frame number `frame`.
    int stage = 0;
    unsigned long frame = 0;
    uint32_t pressedAt = 0;
    unsigned long presses = 0;
    uint64_t delaySum = 0;
    uint32_t delayMax = 0;
};

Stats s;
// Frames are shown on the presenter thread, everything else on the main one.
std::mutex lock;

} // namespace

void enableDesktopStats() {
    std::lock_guard<std::mutex> hold(lock);
    s = Stats();
    s.on = true;
}

void statsPressArrived(uint32_t at) {
    std::lock_guard<std::mutex> hold(lock);
    if (!s.on || s.stage != 0) return;
    if (s.start == 0) s.start = at;
    s.stage = 1;
    s.pressedAt = at;
}

void statsScreenDrawn(bool inputWaiting) {
    std::lock_guard<std::mutex> hold(lock);
    if (s.stage == 1 && !inputWaiting) s.stage = 2;
}

void statsFrameSubmitted(unsigned long number) {
    std::lock_guard<std::mutex> hold(lock);
    if (s.stage != 2) return;
    s.stage = 3;
    s.frame = number;
}

void statsFramePresented(uint32_t at, unsigned long number) {
    std::lock_guard<std::mutex> hold(lock);
    if (!s.on) return;
    if (s.start == 0) s.start = at;
    ++s.frames;
    if (s.stage != 3 || number < s.frame) return;
    uint32_t delay = at - s.pressedAt;
    ++s.presses;
    s.delaySum += delay;
    if (delay > s.delayMax) s.delayMax = delay;
    s.stage = 0;
}

void printDesktopStats(uint32_t now, unsigned long ticks, bool synced) {
    std::lock_guard<std::mutex> hold(lock);
    if (!s.on) return;
    double seconds = (now - s.start) / 1000.0;
    if (seconds <= 0) seconds = 1e-3;
    std::fprintf(stderr,
                 "reefdart: %.1f s: %lu ticks (%.1f a second), %lu frames (%.1f a second, %s)\n",
                 seconds, ticks, ticks / seconds, s.frames, s.frames / seconds,
                 synced ? "in step with the display" : "paced by the clock");
    if (s.presses)
        std::fprintf(
            stderr,
            "reefdart: press to frame: %.1f ms on average, %u ms at most, over %lu presses\n",
            static_cast<double>(s.delaySum) / s.presses, s.delayMax, s.presses);
}
