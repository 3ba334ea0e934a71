// Game replays with any contents: decoding either refuses them with a reason
// or gives a replay that encodes back to exactly the same bytes.
#include "game/replay.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Replay replay;
    std::string reason;
    if (!decodeReplay(data, size, &replay, &reason)) {
        if (reason.empty()) std::abort();
        return 0;
    }
    std::vector<uint8_t> again = encodeReplay(replay);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    return 0;
}
