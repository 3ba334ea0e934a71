#include "scores/checks.h"

#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>

namespace {

bool nameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '.' || c == '-';
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void randomBytes(unsigned char* out, int size) {
    if (RAND_bytes(out, size) != 1) throw std::runtime_error("no random bytes");
}

} // namespace

const char* nameProblem(const std::string& name) {
    static const char* const RESERVED[] = {"admin",     "administrator", "moderator", "mod",
                                           "root",      "system",        "reefdart",  "null",
                                           "undefined", "anonymous",     "nobody",    "server"};
    if (name.empty() || name.size() > 12)
        return "a name is 1 to 12 letters, digits, spaces, dots or dashes";
    for (char c : name)
        if (!nameCharacter(c)) return "a name is 1 to 12 letters, digits, spaces, dots or dashes";
    if (name.front() == ' ' || name.back() == ' ') return "a name starts and ends with no space";
    for (const char* word : RESERVED)
        if (lower(name) == word) return "that name is reserved";
    return nullptr;
}

bool keyIsValid(const std::string& key) {
    if (key.size() < 16 || key.size() > 64) return false;
    for (char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_'))
            return false;
    return true;
}

int64_t timingTolerance(uint32_t playMs) {
    return int64_t{playMs} / 50 + 2000;
}

std::string timingProblem(int64_t startedMs, int64_t endMs, uint32_t playMs) {
    int64_t took = endMs - startedMs, tolerance = timingTolerance(playMs);
    char text[160];
    if (took < int64_t{playMs} - tolerance) {
        std::snprintf(text, sizeof text,
                      "it arrived %.1f s after its start, sooner than its %.1f s of play allow",
                      took / 1000.0, playMs / 1000.0);
        return text;
    }
    if (took > int64_t{playMs} + tolerance) {
        std::snprintf(text, sizeof text,
                      "its %.1f s of play took %.1f s to arrive: the play was slowed down or "
                      "held back",
                      playMs / 1000.0, took / 1000.0);
        return text;
    }
    return "";
}

int64_t weekStartMs(int64_t nowMs) {
    const int64_t day = 86400000;
    int64_t days = nowMs >= 0 ? nowMs / day : -((-nowMs + day - 1) / day);
    int64_t sinceMonday = ((days + 3) % 7 + 7) % 7; // 1970-01-01 was a Thursday
    return (days - sinceMonday) * day;
}

std::string inputTimingFlag(const std::vector<RiseChange>& changes, uint32_t playMs) {
    if (changes.size() < 40 || playMs == 0) return "";
    if (changes.size() * 1000.0 / playMs > 10) return "fast";
    // The most common interval between changes, in ticks.
    std::map<uint32_t, size_t> intervals;
    size_t most = 0;
    for (size_t i = 1; i < changes.size(); ++i)
        most = std::max(most, ++intervals[changes[i].tick - changes[i - 1].tick]);
    return most * 10 >= (changes.size() - 1) * 8 ? "regular" : "";
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string sha256Hex(const uint8_t* data, size_t size) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(data, size, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

std::string sha256Hex(const std::string& data) {
    return sha256Hex(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

std::string randomTicketId() {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    unsigned char bytes[22];
    randomBytes(bytes, sizeof bytes);
    std::string id;
    for (unsigned char b : bytes) id += alphabet[b & 63];
    return id;
}

uint32_t randomSeed() {
    unsigned char b[4];
    randomBytes(b, 4);
    return b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24;
}
