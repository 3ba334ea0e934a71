// The browser edition's module player: the modules are played by the page's
// music player (chiptune3, libopenmpt in an AudioWorklet) from the same bytes,
// on its own audio node. The mixer gets silence from here; what it pulls, and
// at which volume, is passed on to the page after each render.
#include "platform/hss/hss.h"
#include "platform/hss/module_player.h"
#include "platform/web/web.h"

#include <emscripten.h>

#include <cstring>
#include <new>

struct ModulePlayer {
    int id;
    bool looping;
    double samples; // rendered so far, at rate
    int rate;
};

// clang-format off
EM_JS(void, webMusicLoad, (int id, const void* data, int size), {
    if (window.reefdartSound) window.reefdartSound.loadMusic(id, HEAPU8.slice(data, data + size));
});

EM_JS(void, webMusicForget, (int id), {
    if (window.reefdartSound) window.reefdartSound.forgetMusic(id);
});

EM_JS(void, webMusicPlay, (int id, int looping, int level, double gain), {
    if (window.reefdartSound) window.reefdartSound.playMusic(id, !!looping, level, gain);
});

EM_JS(void, webMusicStop, (), {
    if (window.reefdartSound) window.reefdartSound.stopMusic();
});
// clang-format on

namespace {

constexpr int MUSIC_VOLUME_TOP = 64;
constexpr int MUSIC_UNITY = 32;

int lastId = 0;
ModulePlayer* pulled = nullptr; // the player the mixer read since the last sync

// A 4-channel ProTracker module: 31 sample headers, the order table, "M.K."
// at byte 1080; the other tags a decoder takes for the same layout as well.
bool looksLikeModule(const unsigned char* data, size_t size) {
    if (size < 1084) return false;
    const char* tag = reinterpret_cast<const char*>(data + 1080);
    static const char* const TAGS[] = {"M.K.", "M!K!", "FLT4", "4CHN", "6CHN", "8CHN"};
    for (const char* t : TAGS)
        if (std::memcmp(tag, t, 4) == 0) return true;
    return false;
}

} // namespace

ModulePlayer* createModulePlayer(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (!bytes || !looksLikeModule(bytes, size) || size > 0x7FFFFFFF) return nullptr;
    ModulePlayer* player = new (std::nothrow) ModulePlayer{++lastId, false, 0, 0};
    if (!player) return nullptr;
    webMusicLoad(player->id, data, static_cast<int>(size));
    return player;
}

void destroyModulePlayer(ModulePlayer* player) {
    if (!player) return;
    if (pulled == player) pulled = nullptr;
    webMusicForget(player->id);
    delete player;
}

void setModuleLooping(ModulePlayer* player, bool looping) {
    if (player) player->looping = looping;
}

size_t readModuleSamples(ModulePlayer* player, int rate, size_t count, int16_t* out) {
    if (!player || rate <= 0) return 0;
    std::memset(out, 0, count * sizeof *out);
    player->samples += static_cast<double>(count);
    player->rate = rate;
    pulled = player;
    return count;
}

double modulePosition(ModulePlayer* player) {
    return player && player->rate > 0 ? player->samples / player->rate : 0.0;
}

int moduleLogMessageCount() {
    return 0;
}

void webSyncMusic() {
    hssSpeaker* speaker = activeSpeaker();
    const hssMusic* music = speaker ? speaker->playingMusic() : nullptr;
    if (pulled && music) {
        int level = speaker->volumeMusics();
        double gain =
            static_cast<double>(level) * music->volume() / (MUSIC_VOLUME_TOP * MUSIC_UNITY);
        webMusicPlay(pulled->id, pulled->looping ? 1 : 0, level, gain);
    } else {
        webMusicStop();
    }
    pulled = nullptr;
}
