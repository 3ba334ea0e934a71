// The mixer's output in the browser: the main loop renders the samples the
// page's AudioWorklet (web/mixer.worklet.js) will want next and hands them to
// web/audio.js, which sends them to the audio thread; nothing calls into the
// program from there.
#include "platform/hss/hss.h"
#include "platform/web/web.h"

#include <emscripten.h>

#include <cstdint>

// clang-format off
EM_JS(int, webAudioOpen, (int rate), {
    return window.reefdartSound ? window.reefdartSound.open(rate) : 0;
});

EM_JS(void, webAudioClose, (), {
    if (window.reefdartSound) window.reefdartSound.close();
});

EM_JS(int, webAudioWanted, (), {
    return window.reefdartSound ? window.reefdartSound.wanted() : 0;
});

EM_JS(void, webAudioPush, (const int16_t* samples, int count), {
    window.reefdartSound.push(HEAP16.subarray(samples >> 1, (samples >> 1) + count));
});
// clang-format on

namespace {

constexpr int CHUNK = 1024;
bool audioOpen = false;

} // namespace

bool webOpenAudio(int rate) {
    audioOpen = webAudioOpen(rate) != 0;
    return audioOpen;
}

void webCloseAudio() {
    if (audioOpen) webAudioClose();
    audioOpen = false;
}

void webPumpAudio() {
    if (!audioOpen) return;
    int wanted = webAudioWanted();
    if (wanted <= 0) return;
    int16_t buffer[CHUNK];
    while (wanted > 0) {
        int n = wanted < CHUNK ? wanted : CHUNK;
        hssSpeaker* speaker = activeSpeaker();
        if (speaker) {
            speaker->render(buffer, static_cast<size_t>(n));
        } else {
            for (int i = 0; i < n; ++i) buffer[i] = 0;
        }
        webAudioPush(buffer, n);
        wanted -= n;
    }
    webSyncMusic();
}
