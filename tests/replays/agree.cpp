// Plays the stored replays by the game's rules and compares what each reaches
// with expected.txt beside them, one line a replay:
//
//     replay_agree DIR
//
// Exit code 0 when every replay reaches its expected score, length and final
// state hash; 1 when one does not, or cannot be read, naming it and where it
// stopped matching. Every build of the game runs this (scripts/replay_agree.sh).
#include "game/replay.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Expected {
    std::string name;
    int32_t score = 0;
    uint32_t ticks = 0;
    uint64_t hash = 0;
};

bool readFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// The rows of expected.txt: file, score, ticks, final hash in hex; lines
// starting with # are comments.
bool readExpected(const std::string& path, std::vector<Expected>* rows) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    char line[256];
    bool ok = true;
    while (ok && std::fgets(line, sizeof line, f)) {
        if (line[0] == '#' || line[0] == '\n') continue;
        char name[128];
        Expected row;
        ok = std::sscanf(line, "%127s %" SCNd32 " %" SCNu32 " %" SCNx64, name, &row.score,
                         &row.ticks, &row.hash) == 4;
        row.name = name;
        rows->push_back(row);
    }
    std::fclose(f);
    return ok && !rows->empty();
}

std::string hex(uint64_t v) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, v);
    return text;
}

// Plays one replay; prints its line and says whether it agrees.
bool agrees(const std::string& dir, const Expected& want) {
    const char* name = want.name.c_str();
    std::vector<uint8_t> bytes;
    if (!readFile(dir + "/" + want.name, &bytes)) {
        std::printf("%s: DIFFERS: cannot be read\n", name);
        return false;
    }
    Replay replay;
    std::string reason;
    if (!decodeReplay(bytes.data(), bytes.size(), &replay, &reason)) {
        std::printf("%s: DIFFERS: no valid replay: %s\n", name, reason.c_str());
        return false;
    }
    ReplayVerdict v = verifyReplay(replay);
    std::string reached = "score " + std::to_string(v.score) + ", " + std::to_string(v.ticks) +
                          " ticks, hash " + hex(v.finalHash);
    std::string differs;
    if (!v.matches)
        differs = v.reason + " of " + std::to_string(v.ticks) + ", where its score was " +
                  std::to_string(v.score);
    else if (v.score != want.score)
        differs = "score " + std::to_string(v.score) + " where expected.txt has " +
                  std::to_string(want.score);
    else if (v.ticks != want.ticks)
        differs =
            std::to_string(v.ticks) + " ticks where expected.txt has " + std::to_string(want.ticks);
    else if (v.finalHash != want.hash)
        differs = "final hash " + hex(v.finalHash) + " where expected.txt has " + hex(want.hash);
    if (differs.empty()) {
        std::printf("%s: %s: agrees\n", name, reached.c_str());
        return true;
    }
    if (v.matches) differs += " (" + reached + ")";
    std::printf("%s: DIFFERS: %s\n", name, differs.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: replay_agree DIR (holding expected.txt and the replays)\n");
        return 2;
    }
    std::string dir = argv[1];
    std::vector<Expected> rows;
    if (!readExpected(dir + "/expected.txt", &rows)) {
        std::printf("%s/expected.txt: cannot be read or is malformed\n", dir.c_str());
        return 1;
    }
    size_t differ = 0;
    for (const Expected& row : rows)
        if (!agrees(dir, row)) ++differ;
    if (differ) {
        std::printf("replays: %zu of %zu differ\n", differ, rows.size());
        return 1;
    }
    std::printf("replays: all %zu agree\n", rows.size());
    return 0;
}
