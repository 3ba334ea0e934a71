#include "platform/host.h"
#include "platform/winapi.h"

DWORD GetTickCount() {
    return host->tickCount();
}
void Sleep(DWORD ms) {
    host->sleep(ms);
}
