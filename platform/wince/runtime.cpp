#include "platform/wince/runtime.h"

namespace {
uint32_t randState = 1;
}

void crtSrand(uint32_t seed) {
    randState = seed;
}

int crtRand() {
    randState = randState * 214013u + 2531011u;
    return static_cast<int>((randState >> 16) & 0x7FFF);
}

uint32_t crtRandState() {
    return randState;
}
