// Any bytes as a sound clip, played over every channel when taken: an accepted clip has
// samples at a rate the mixer can step; a refused one leaves the clip before it in place.
#include "fuzz/check.h"
#include "platform/hss/hss.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr size_t RENDERED = 2048;

hssSound clip;
const int16_t PREVIOUS[] = {1, 2, 3};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useTestHost();
    openSound();
    check(speaker.isOpen(), "the speaker opens on the headless host");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    speaker.stopSounds();
    check(clip.loadSamples(PREVIOUS, 3, 8000) == 1, "plain samples load");
    int loaded = clip.load(data, size);
    check(loaded == 0 || loaded == 1, "load answers 1 or 0");
    if (!loaded) {
        check(clip.sampleCount() == 3 && clip.samples()[2] == 3 && clip.sampleRate() == 8000,
              "a refused clip leaves the one before");
        return 0;
    }
    check(clip.loaded() && clip.sampleCount() >= 1, "an accepted clip has samples");
    check(clip.sampleRate() >= 1000 && clip.sampleRate() <= 192000, "a rate the mixer can use");
    int64_t sum = 0;
    for (size_t i = 0; i < clip.sampleCount(); ++i) sum += clip.samples()[i];
    volatile int64_t keep = sum;
    (void)keep;
    for (int i = 0; i < 5; ++i) speaker.playSound(&clip, hssSpeaker::FLAG_DEFAULT);
    std::vector<int16_t> out(RENDERED);
    speaker.render(out.data(), out.size());
    clip.unload();
    check(speaker.playingSounds() == 0, "unloading a clip takes it off the channels");
    return 0;
}
