// A fuzz target's invariant: a broken one is named and stops the fuzzer.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
