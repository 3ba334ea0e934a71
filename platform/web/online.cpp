// The browser edition's link to the score site that serves it: the page's
// script (web/online.js) asks the site, keeps a ticket at hand and sends the
// games; the program only takes what is at hand and hands over what it has,
// so no tick ever waits for the network.
#include "platform/web/web.h"
#include "shell/entry.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdio>

// clang-format off
EM_JS(int, webOnlineSettled, (), {
    var o = window.reefdartOnline;
    return !o || o.settled ? 1 : 0;
});

// 1 and the page's host (as its address names it) when a score site serves
// the page; 0 otherwise.
EM_JS(int, webOnlineSite, (char* host, int capacity), {
    var o = window.reefdartOnline;
    if (!o || !o.site) return 0;
    stringToUTF8(o.host, host, capacity);
    return 1;
});

EM_JS(int, webOnlineTake, (char* ticket, int capacity, uint32_t* seed), {
    try {
        var t = window.reefdartOnline.take();
        if (!t || lengthBytesUTF8(t.id) >= capacity) return 0;
        stringToUTF8(t.id, ticket, capacity);
        HEAPU32[seed >> 2] = t.seed >>> 0;
        return 1;
    } catch (e) {
        console.warn('reefdart: no ticket (' + e + ')');
        return 0;
    }
});

EM_JS(void, webOnlineSend, (const uint8_t* bytes, int size, const char* ticket, const char* hash), {
    try {
        window.reefdartOnline.send(HEAPU8.slice(bytes, bytes + size), UTF8ToString(ticket),
                                   UTF8ToString(hash));
    } catch (e) {
        console.warn('reefdart: the game could not be sent (' + e + ')');
    }
});
// clang-format on

namespace {

bool takeTicket(char* ticket, size_t capacity, uint32_t* randomState) {
    return webOnlineTake(ticket, static_cast<int>(capacity), randomState) != 0;
}

void sendReplay(const uint8_t* bytes, size_t size, const char* ticket, uint64_t finalHash) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(finalHash));
    webOnlineSend(bytes, static_cast<int>(size), ticket, hash);
}

} // namespace

void startWebOnline() {
    while (!webOnlineSettled()) emscripten_sleep(5);
    char host[128] = {};
    if (!webOnlineSite(host, sizeof host)) return;
    setOnlineEdition(takeTicket, sendReplay);
    setScoreSiteName(host);
}
