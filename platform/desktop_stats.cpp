#include "platform/desktop_stats.h"

#include <cstdio>

namespace {

struct Stats {
    bool on = false;
    uint32_t start = 0;
    unsigned long frames = 0;
    // The press being followed: 0 none, 1 queued, 2 drawn after it was taken.
    int stage = 0;
    uint32_t pressedAt = 0;
    unsigned long presses = 0;
    uint64_t delaySum = 0;
    uint32_t delayMax = 0;
};

Stats s;

} // namespace

void enableDesktopStats() {
    s = Stats();
    s.on = true;
}

void statsPressArrived(uint32_t at) {
    if (!s.on || s.stage != 0) return;
    if (s.start == 0) s.start = at;
    s.stage = 1;
    s.pressedAt = at;
}

void statsScreenDrawn(bool inputWaiting) {
    if (s.stage == 1 && !inputWaiting) s.stage = 2;
}

void statsFramePresented(uint32_t at) {
    if (!s.on) return;
    if (s.start == 0) s.start = at;
    ++s.frames;
    if (s.stage != 2) return;
    uint32_t delay = at - s.pressedAt;
    ++s.presses;
    s.delaySum += delay;
    if (delay > s.delayMax) s.delayMax = delay;
    s.stage = 0;
}

void printDesktopStats(uint32_t now, unsigned long ticks) {
    if (!s.on) return;
    double seconds = (now - s.start) / 1000.0;
    if (seconds <= 0) seconds = 1e-3;
    std::fprintf(stderr,
                 "reefdart: %.1f s: %lu ticks (%.1f a second), %lu frames (%.1f a second)\n",
                 seconds, ticks, ticks / seconds, s.frames, s.frames / seconds);
    if (s.presses)
        std::fprintf(
            stderr,
            "reefdart: press to frame: %.1f ms on average, %u ms at most, over %lu presses\n",
            static_cast<double>(s.delaySum) / s.presses, s.delayMax, s.presses);
}
