#include "sound/sound.h"

#include "platform/wince/resources.h"

// Constructed in this order before the program starts: the speaker, the
// music, then the sound clips (only the click is ever loaded).
hssSpeaker speaker;
hssMusic music;
hssSound clickSound;
// Kept on purpose: fidelity K9.
static hssSound spareSounds[5];

namespace {

constexpr int MENU_MODULE = 1;
constexpr int GAME_MODULE = 2;
constexpr int CLICK_WAVE = 1;

} // namespace

void playModeMusic(bool frontEnd) {
    speaker.stopMusics();
    int id = frontEnd ? MENU_MODULE : GAME_MODULE;
    const EmbeddedResource* module = findEmbeddedResource("MODULE", id);
    if (module) {
        music.load(module->data, module->size, true);
    } else {
        music.unload();
    }
    music.loop(true);
    music.volume(32);
    speaker.playMusic(&music, hssSpeaker::FLAG_DEFAULT);
}

void playClick() {
    speaker.playSound(&clickSound, hssSpeaker::FLAG_DEFAULT);
}

// Each volume moves only when the unsigned sum stays within its range, so a
// step down from 0 wraps to a huge value and leaves the volume alone.
// Kept on purpose: fidelity K21.
void stepVolume(int32_t step) {
    uint32_t sounds =
        static_cast<uint32_t>(speaker.volumeSounds()) + 2u * static_cast<uint32_t>(step);
    if (sounds <= static_cast<uint32_t>(SOUND_VOLUME_MAX))
        speaker.volumeSounds(static_cast<int>(sounds));
    uint32_t musics =
        static_cast<uint32_t>(speaker.volumeMusics()) + 4u * static_cast<uint32_t>(step);
    if (musics <= static_cast<uint32_t>(MUSIC_VOLUME_MAX))
        speaker.volumeMusics(static_cast<int>(musics));
}

void openSound() {
    speaker.open(22050, 16, false, 1, 4);
    speaker.volumeSounds(SOUND_VOLUME_MAX);
    const EmbeddedResource* click = findEmbeddedResource("WAVE", CLICK_WAVE);
    if (click) clickSound.load(click->data, click->size);
}
