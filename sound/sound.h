// The program's side of the sound library: its objects and the three
// operations the rest of the program calls.
#pragma once

#include "platform/hss/hss.h"

#include <cstdint>

constexpr int SOUND_VOLUME_MAX = 32;
constexpr int MUSIC_VOLUME_MAX = 64;

extern hssSpeaker speaker;
extern hssMusic music;
extern hssSound clickSound;

// Starts the music of the front end or of the game from its beginning.
void playModeMusic(bool frontEnd);
void playClick();
// step +1 or -1: effects by 2, music by 4, each within its range.
void stepVolume(int32_t step);
// Opens the sound output as start-up does.
void openSound();
