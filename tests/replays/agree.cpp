// replay_agree DIR: plays the stored replays by the game's rules and compares
// each with its line in DIR/expected.txt (file, score, ticks, final hash in
// hex). Exit code 0 when all agree; 1 when one does not or cannot be read,
// naming it and where it stopped matching. scripts/replay_agree.sh runs it.
#include "game/replay.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string hex(uint64_t v) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, v);
    return text;
}

// Plays one replay; prints its line and says whether it agrees.
bool agrees(const std::string& dir, const char* name, int32_t score, uint32_t ticks,
            uint64_t hash) {
    std::vector<uint8_t> bytes;
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "rb");
    for (int c; f && (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    if (!f || std::ferror(f)) {
        std::printf("%s: DIFFERS: cannot be read\n", name);
        if (f) std::fclose(f);
        return false;
    }
    std::fclose(f);
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
    else if (v.score != score)
        differs =
            "score " + std::to_string(v.score) + " where expected.txt has " + std::to_string(score);
    else if (v.ticks != ticks)
        differs =
            std::to_string(v.ticks) + " ticks where expected.txt has " + std::to_string(ticks);
    else if (v.finalHash != hash)
        differs = "final hash " + hex(v.finalHash) + " where expected.txt has " + hex(hash);
    else {
        std::printf("%s: %s: agrees\n", name, reached.c_str());
        return true;
    }
    std::printf("%s: DIFFERS: %s%s\n", name, differs.c_str(),
                v.matches ? (" (" + reached + ")").c_str() : "");
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: replay_agree DIR (holding expected.txt and the replays)\n");
        return 2;
    }
    std::string dir = argv[1];
    std::FILE* table = std::fopen((dir + "/expected.txt").c_str(), "r");
    char line[256], name[128];
    size_t rows = 0, differ = 0;
    bool ok = table != nullptr;
    while (ok && std::fgets(line, sizeof line, table)) {
        if (line[0] == '#' || line[0] == '\n') continue; // a comment
        int32_t score;
        uint32_t ticks;
        uint64_t hash;
        ok = std::sscanf(line, "%127s %" SCNd32 " %" SCNu32 " %" SCNx64, name, &score, &ticks,
                         &hash) == 4;
        if (!ok) break;
        ++rows;
        differ += !agrees(dir, name, score, ticks, hash);
    }
    if (table) std::fclose(table);
    if (!ok || rows == 0) {
        std::printf("%s/expected.txt: cannot be read or is malformed\n", dir.c_str());
        return 1;
    }
    if (differ) {
        std::printf("replays: %zu of %zu differ\n", differ, rows);
        return 1;
    }
    std::printf("replays: all %zu agree\n", rows);
    return 0;
}
