#include "shell/replays.h"

#include "game/replay.h"
#include "persist/settings.h"
#include "platform/wince/files.h"

namespace {
// The best kept replay's score; -1 when there is none that can be read.
int32_t bestKept = -1;
ReplaySender sender = nullptr;
} // namespace

void loadKeptReplays() {
    std::vector<uint8_t> bytes(REPLAY_MAX_BYTES + 1);
    long size = readExistingFile(pathBesideProgram(BEST_REPLAY_FILE).c_str(),
                                 reinterpret_cast<char*>(bytes.data()), bytes.size());
    Replay best;
    std::string why;
    bestKept = size > 0 && decodeReplay(bytes.data(), static_cast<size_t>(size), &best, &why)
                   ? best.score
                   : -1;
}

void setReplaySender(ReplaySender send) {
    sender = send;
}

void keepReplay(const std::vector<uint8_t>& bytes, int32_t score) {
    Replay sent;
    std::string why;
    if (sender && decodeReplay(bytes.data(), bytes.size(), &sent, &why) && !sent.ticket.empty())
        sender(bytes.data(), bytes.size(), sent.ticket.c_str(), sent.finalHash);
    const char* data = reinterpret_cast<const char*>(bytes.data());
    replaceFile(pathBesideProgram(LAST_REPLAY_FILE).c_str(), data, bytes.size());
    if (score > bestKept &&
        replaceFile(pathBesideProgram(BEST_REPLAY_FILE).c_str(), data, bytes.size()))
        bestKept = score;
}
