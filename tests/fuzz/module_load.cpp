// Any bytes as a music module: a refused one leaves the music empty and silent; an accepted
// one plays, and loaded again rewinds to play the same from its start.
#include "fuzz/check.h"
#include "platform/hss/hss.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr size_t RENDERED = 4096; // samples, about a fifth of a second

void render(std::vector<int16_t>* out) {
    out->assign(RENDERED, 0x5A5A);
    speaker.render(out->data(), out->size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useTestHost();
    openSound();
    check(speaker.isOpen(), "the speaker opens on the headless host");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<int16_t> first, again;
    speaker.stopMusics();
    int loaded = music.load(data, size, true);
    check(loaded == 0 || loaded == 1, "load answers 1 or 0");
    check(music.loaded() == (loaded == 1), "loaded() follows the answer");
    if (!loaded) {
        check(music.source() == nullptr, "a refused module leaves no source");
        check(speaker.playMusic(&music, hssSpeaker::FLAG_DEFAULT) == 0, "nothing to play");
        render(&first);
        for (int16_t s : first) check(s == 0, "silence without music");
        return 0;
    }
    check(music.source() == data, "the source is the bytes loaded");
    music.loop(true);
    music.volume(32);
    check(speaker.playMusic(&music, hssSpeaker::FLAG_DEFAULT) == 1, "loaded music plays");
    render(&first);
    check(music.position() >= 0.0, "the position is not negative");
    check(music.load(data, size, true) == 1, "the same bytes load again");
    check(speaker.playingMusic() == &music, "reloading keeps the music playing");
    check(music.position() == 0.0, "a load rewinds to the start");
    render(&again);
    check(first == again, "the module plays the same from its start each time");
    music.unload();
    check(speaker.playingMusic() == nullptr, "unloading stops the music");
    return 0;
}
