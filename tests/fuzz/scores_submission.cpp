// What the score site reads from a request's body, with any contents: the
// first byte chooses a replay submission or a JSON body; either is read or
// refused with a reason, never anything else.
#include "scores/checks.h"
#include "scores/submission.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 0) {
        Replay replay;
        std::string reason;
        bool taken = readSubmission(body, &replay, &reason);
        if (taken != reason.empty()) std::abort();
        if (taken && !isTicketText(replay.ticket)) std::abort();
        return 0;
    }
    std::vector<std::string> f;
    if (readFields(body, {"name", "key", "final_hash"}, &f)) {
        if (f.size() != 3) std::abort();
        nameProblem(f[0]);
        keyIsValid(f[1]);
        escapeHtml(f[0]);
    }
    return 0;
}
