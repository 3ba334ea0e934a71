// The replay encoding and its check by the game's rules.
#include "game/replay.h"

#include "game/world.h"
#include "gfx/text.h"
#include "shell/state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const uint8_t MAGIC[4] = {'R', 'D', 'R', 'P'};
// A tick at least every 5 ms: the longest game has this many ticks at most.
constexpr uint32_t MAX_TICKS = REPLAY_MAX_PLAY_MS / 5 + 1;

uint32_t fnv32(const uint8_t* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

struct Writer {
    std::vector<uint8_t> out;
    void u8(uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v));
        u32(static_cast<uint32_t>(v >> 32));
    }
    void varint(uint64_t v) {
        while (v >= 0x80) {
            u8(static_cast<uint8_t>(v | 0x80));
            v >>= 7;
        }
        u8(static_cast<uint8_t>(v));
    }
    void signedVarint(int32_t v) {
        uint32_t u = static_cast<uint32_t>(v);
        varint(v < 0 ? ~(u << 1) : u << 1);
    }
};

struct Reader {
    const uint8_t* p;
    size_t n, at = 0;
    bool ok = true;
    bool take(size_t count) {
        if (!ok || n - at < count) return ok = false;
        at += count;
        return true;
    }
    uint32_t u8() { return take(1) ? p[at - 1] : 0; }
    uint32_t u16() { return take(2) ? p[at - 2] | uint32_t{p[at - 1]} << 8 : 0; }
    uint32_t u32() {
        uint32_t low = u16();
        return low | u16() << 16;
    }
    uint64_t u64() {
        uint64_t low = u32();
        return low | uint64_t{u32()} << 32;
    }
    // At most 35 bits, every count and delta here fits in 32; written in its
    // shortest form only, so that every replay has one encoding.
    uint64_t varint() {
        uint64_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            uint32_t b = u8();
            v |= uint64_t{b & 0x7F} << shift;
            if (!(b & 0x80)) {
                if (b == 0 && shift > 0) break;
                return v;
            }
        }
        ok = false;
        return 0;
    }
    int64_t signedVarint() {
        uint64_t u = varint();
        return u & 1 ? -static_cast<int64_t>(u >> 1) - 1 : static_cast<int64_t>(u >> 1);
    }
};

bool knownLayout(int32_t w, int32_t h) {
    return (w == 240 && (h == 320 || h == 240)) || (w == 176 && h == 220);
}

void encodeTicks(Writer& w, const std::vector<uint32_t>& times) {
    w.varint(times.size());
    if (times.empty()) return;
    w.u32(times[0]);
    std::vector<std::pair<uint32_t, uint32_t>> runs; // delta, count
    for (size_t i = 1; i < times.size(); ++i) {
        uint32_t delta = times[i] - times[i - 1];
        if (!runs.empty() && runs.back().first == delta)
            ++runs.back().second;
        else
            runs.emplace_back(delta, 1);
    }
    w.varint(runs.size());
    for (const auto& run : runs) {
        w.varint(run.first);
        w.varint(run.second);
    }
}

// Reads the tick times; the reason when they are not acceptable.
const char* decodeTicks(Reader& r, std::vector<uint32_t>* times) {
    uint64_t count = r.varint();
    if (!r.ok) return nullptr;
    if (count > MAX_TICKS) return "it holds more ticks than an hour of play";
    if (count == 0) return nullptr;
    uint32_t t = r.u32();
    uint64_t runs = r.varint();
    if (!r.ok) return nullptr;
    if (runs > count) return "its tick runs are malformed";
    times->reserve(static_cast<size_t>(count));
    times->push_back(t);
    uint64_t playMs = 0, previous = ~uint64_t{0};
    for (uint64_t i = 0; i < runs && r.ok; ++i) {
        uint64_t delta = r.varint(), n = r.varint();
        if (!r.ok) return nullptr;
        if (n == 0 || n > count - times->size() || delta == previous)
            return "its tick runs are malformed";
        previous = delta;
        playMs += delta * n;
        if (playMs > REPLAY_MAX_PLAY_MS) return "its game is longer than an hour";
        for (uint64_t k = 0; k < n; ++k) times->push_back(t += static_cast<uint32_t>(delta));
    }
    if (r.ok && times->size() != count) return "its tick runs are malformed";
    return nullptr;
}

const char* decodeChanges(Reader& r, size_t ticks, std::vector<RiseChange>* changes) {
    uint64_t count = r.varint();
    if (!r.ok) return nullptr;
    if (count > ticks) return "it holds more rise changes than ticks";
    uint64_t tick = 0;
    for (uint64_t i = 0; i < count && r.ok; ++i) {
        uint64_t v = r.varint();
        tick += v >> 1;
        if (r.ok && tick >= ticks) return "a rise change comes after the last tick";
        changes->push_back(RiseChange{static_cast<uint32_t>(tick), static_cast<int32_t>(v & 1)});
    }
    return nullptr;
}

const char* decodeStart(Reader& r, GameStart* s) {
    s->randomState = r.u32();
    int64_t values[5];
    for (int64_t& v : values) v = r.signedVarint();
    s->layoutWidth = static_cast<int32_t>(r.u16());
    s->layoutHeight = static_cast<int32_t>(r.u16());
    s->riseHeld = static_cast<int32_t>(r.u8());
    int64_t best = r.signedVarint();
    uint32_t phase = r.u32();
    if (!r.ok) return nullptr;
    std::memcpy(&s->textPhase, &phase, sizeof phase);
    if (!(s->textPhase >= 0.0f && s->textPhase <= MENU_PHASE_WRAP))
        return "its text phase is out of range";
    if (best < 0 || best > INT32_MAX) return "its best score is out of range";
    s->bestScore = static_cast<int32_t>(best);
    if (values[0] < 0 || values[0] > HIT_COOLDOWN_COLUMNS) return "its wall grace is out of range";
    for (int k = 1; k < 5; ++k)
        if (values[k] < 0 || values[k] > 3) return "its edge styles are out of range";
    s->hitCooldown = static_cast<int32_t>(values[0]);
    s->floorEdgeNow = static_cast<int32_t>(values[1]);
    s->floorEdgeRun = static_cast<int32_t>(values[2]);
    s->ceilingEdgeNow = static_cast<int32_t>(values[3]);
    s->ceilingEdgeRun = static_cast<int32_t>(values[4]);
    if (!knownLayout(s->layoutWidth, s->layoutHeight)) return "its layout is not one of the game's";
    if (s->riseHeld > 1) return "its rise control is neither held nor let go";
    return nullptr;
}

// The body after the format version; the reason when it is not acceptable.
const char* decodeBody(Reader& r, Replay* out) {
    out->edition = static_cast<uint8_t>(r.u8());
    size_t length = r.u8();
    if (r.ok && (out->edition < EDITION_DESKTOP || out->edition > EDITION_BROWSER))
        return "it names no edition of the game";
    if (r.ok && length > REPLAY_MAX_VERSION) return "its version text is too long";
    if (!r.take(length)) return nullptr;
    out->version.assign(reinterpret_cast<const char*>(r.p + r.at - length), length);
    for (char c : out->version)
        if (c < 0x20 || c > 0x7E) return "its version text is not plain text";
    size_t ticketLength = r.u8();
    if (r.ok && ticketLength > REPLAY_MAX_TICKET) return "its ticket is too long";
    if (!r.take(ticketLength)) return nullptr;
    out->ticket.assign(reinterpret_cast<const char*>(r.p + r.at - ticketLength), ticketLength);
    if (ticketLength > 0 && !isTicketText(out->ticket)) return "its ticket is malformed";
    if (const char* why = decodeStart(r, &out->start)) return why;
    if (const char* why = decodeTicks(r, &out->tickTimes)) return why;
    if (const char* why = decodeChanges(r, out->tickTimes.size(), &out->changes)) return why;
    uint64_t checks = r.varint();
    if (r.ok && checks != out->tickTimes.size() / REPLAY_CHECK_TICKS)
        return "its state checks do not match its ticks";
    for (uint64_t i = 0; i < checks && r.ok; ++i) out->checks.push_back(r.u32());
    out->finalHash = r.u64();
    int64_t score = r.signedVarint();
    if (r.ok && (score < 0 || score > INT32_MAX)) return "its score is out of range";
    out->score = static_cast<int32_t>(score);
    return nullptr;
}

} // namespace

std::vector<uint8_t> encodeReplay(const Replay& replay) {
    Writer w;
    for (uint8_t b : MAGIC) w.u8(b);
    w.u16(REPLAY_FORMAT);
    w.u8(replay.edition);
    std::string version = replay.version.substr(0, REPLAY_MAX_VERSION);
    w.u8(static_cast<uint32_t>(version.size()));
    for (char c : version) w.u8(static_cast<uint8_t>(c));
    std::string ticket = replay.ticket.substr(0, REPLAY_MAX_TICKET);
    w.u8(static_cast<uint32_t>(ticket.size()));
    for (char c : ticket) w.u8(static_cast<uint8_t>(c));
    const GameStart& s = replay.start;
    w.u32(s.randomState);
    for (int32_t v :
         {s.hitCooldown, s.floorEdgeNow, s.floorEdgeRun, s.ceilingEdgeNow, s.ceilingEdgeRun})
        w.signedVarint(v);
    w.u16(static_cast<uint32_t>(s.layoutWidth));
    w.u16(static_cast<uint32_t>(s.layoutHeight));
    w.u8(static_cast<uint32_t>(s.riseHeld));
    w.signedVarint(s.bestScore);
    uint32_t phase;
    std::memcpy(&phase, &s.textPhase, sizeof phase);
    w.u32(phase);
    encodeTicks(w, replay.tickTimes);
    w.varint(replay.changes.size());
    uint32_t tick = 0;
    for (const RiseChange& c : replay.changes) {
        w.varint(uint64_t{c.tick - tick} << 1 | (c.held ? 1 : 0));
        tick = c.tick;
    }
    w.varint(replay.checks.size());
    for (uint32_t c : replay.checks) w.u32(c);
    w.u64(replay.finalHash);
    w.signedVarint(replay.score);
    w.u32(fnv32(w.out.data(), w.out.size()));
    return w.out;
}

bool decodeReplay(const uint8_t* bytes, size_t size, Replay* replay, std::string* reason) {
    auto refuse = [reason](const char* why) {
        *reason = why;
        return false;
    };
    if (size > REPLAY_MAX_BYTES) return refuse("it is larger than 64 KB");
    if (size < 4 || !bytes || std::equal(MAGIC, MAGIC + 4, bytes) == false)
        return refuse("it is not a Reefdart replay");
    Reader r{bytes, size};
    r.take(4);
    uint32_t format = r.u16();
    if (!r.ok) return refuse("it is cut short");
    if (format != REPLAY_FORMAT) {
        char text[96];
        std::snprintf(text, sizeof text, "its format version is %u; this program reads version %u",
                      format, unsigned{REPLAY_FORMAT});
        *reason = text;
        return false;
    }
    Replay out;
    if (const char* why = decodeBody(r, &out)) return refuse(why);
    size_t end = r.at;
    uint32_t checksum = r.u32();
    if (!r.ok) return refuse("it is cut short");
    if (r.at != size) return refuse("it has bytes after its end");
    if (checksum != fnv32(bytes, end)) return refuse("it is damaged: its checksum does not match");
    *replay = std::move(out);
    return true;
}

namespace {

// Plays the replay; calls check(tick number, hash) after every check tick.
template <typename Check> void play(const Replay& replay, Check check) {
    beginSimulation(replay.start);
    size_t next = 0;
    for (size_t t = 0; t < replay.tickTimes.size(); ++t) {
        while (next < replay.changes.size() && replay.changes[next].tick <= t)
            riseHeld = replay.changes[next++].held;
        simulateTick(replay.tickTimes[t]);
        if ((t + 1) % REPLAY_CHECK_TICKS == 0 && !check(t + 1, hashGameState())) return;
    }
}

} // namespace

void sealReplay(Replay* replay) {
    replay->checks.clear();
    play(*replay, [replay](size_t, uint64_t hash) {
        replay->checks.push_back(static_cast<uint32_t>(hash));
        return true;
    });
    replay->finalHash = hashGameState();
    replay->score = finalScore();
}

ReplayVerdict verifyReplay(const Replay& replay) {
    ReplayVerdict v;
    long diverged = -1;
    play(replay, [&](size_t tick, uint64_t hash) {
        size_t k = tick / REPLAY_CHECK_TICKS - 1;
        if (k < replay.checks.size() && replay.checks[k] == static_cast<uint32_t>(hash))
            return true;
        diverged = static_cast<long>(tick);
        return false;
    });
    v.score = finalScore();
    v.finalHash = hashGameState();
    v.ticks = static_cast<uint32_t>(replay.tickTimes.size());
    if (!replay.tickTimes.empty()) v.playMs = replay.tickTimes.back() - replay.tickTimes.front();
    char text[96];
    if (diverged < 0 && v.finalHash != replay.finalHash) diverged = static_cast<long>(v.ticks);
    if (diverged >= 0) {
        std::snprintf(text, sizeof text, "diverged at tick %ld", diverged);
        v.reason = text;
    } else if (v.score != replay.score) {
        std::snprintf(text, sizeof text, "reaches a score of %d where the game showed %d", v.score,
                      replay.score);
        v.reason = text;
    } else {
        v.matches = true;
    }
    return v;
}

bool isTicketText(const std::string& text) {
    if (text.empty() || text.size() > REPLAY_MAX_TICKET) return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_'))
            return false;
    return true;
}
