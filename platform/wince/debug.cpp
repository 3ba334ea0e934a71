#include "platform/wince/winapi.h"

#include <cstdarg>
#include <cstdio>

// The debug output of the handheld goes to stderr here.
void NKDbgPrintfW(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fflush(stderr);
}
