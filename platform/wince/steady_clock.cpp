#include "platform/wince/steady_clock.h"

#include "platform/host/host.h"
#include "platform/wince/messages.h"

#include <cstdint>

namespace {

// A program that falls further behind its timers than this (the machine
// stalled, or slept) drops the rest instead of playing it through at full
// speed.
constexpr uint32_t MAX_LAG_MS = 100;

struct Steady {
    const Host* inner = nullptr;
    uint32_t clock = 0;
    uint32_t dropped = 0; // ms of the wall clock dropped after stalls
    bool innerWaiting = false;
    bool hasDeadline = false;
    uint32_t deadline = 0;
};

Steady s;
Host steadyHost;

bool before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

// The latest tick count input can be handed out at without passing a due timer.
uint32_t inputLimit(uint32_t wall) {
    if (s.hasDeadline && !before(wall, s.deadline)) wall = s.deadline - 1;
    return before(wall, s.clock) ? s.clock : wall;
}

// The wall clock less what stalls dropped.
uint32_t wallClock() {
    return s.inner->tickCount() - s.dropped;
}

uint32_t steadyTickCount() {
    return s.innerWaiting ? inputLimit(wallClock()) : s.clock;
}

void steadySleep(uint32_t ms) {
    s.inner->sleep(ms);
    s.clock += ms;
}

bool steadyWait(bool hasDeadline, uint32_t deadline) {
    s.hasDeadline = hasDeadline;
    s.deadline = deadline;
    uint32_t wall = wallClock();
    if (hasDeadline && !before(wall, deadline) && wall - deadline > MAX_LAG_MS) {
        s.dropped += wall - deadline - MAX_LAG_MS;
        wall = deadline + MAX_LAG_MS;
    }
    if (hasDeadline && !before(wall, deadline)) {
        // A timer is due by the wall clock: it comes before anything waiting.
        s.clock = deadline;
        return true;
    }
    s.clock = inputLimit(wall);
    s.innerWaiting = true;
    bool more = s.inner->waitForInput(hasDeadline, deadline);
    s.innerWaiting = false;
    wall = wallClock();
    if (!inputQueued() && hasDeadline && !before(wall, deadline))
        s.clock = deadline;
    else
        s.clock = inputLimit(wall);
    return more;
}

} // namespace

void steadyTheClock() {
    if (host == &steadyHost) return;
    s = Steady();
    s.inner = host;
    s.clock = host->tickCount();
    steadyHost = *host;
    steadyHost.tickCount = steadyTickCount;
    steadyHost.sleep = steadySleep;
    steadyHost.waitForInput = steadyWait;
    host = &steadyHost;
}

void unsteadyTheClock() {
    if (host == &steadyHost) host = s.inner;
}
