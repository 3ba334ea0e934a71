#include "platform/host/host.h"
#include "platform/wince/winapi.h"

DWORD GetTickCount() {
    return host->tickCount();
}
void Sleep(DWORD ms) {
    host->sleep(ms);
}
