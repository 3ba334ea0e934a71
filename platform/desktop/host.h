// The desktop host: an SDL2 window showing the emulated screen scaled by a
// whole number, the keyboard and mouse as the device's buttons and stylus,
// and SDL2 audio.
#pragma once

#include <string>

// scale 0 picks the largest whole scale that fits the desktop. Returns false
// with a message when there is no display.
bool startDesktopHost(int scale, std::string* error);
void finishDesktopHost();
// True when the game window could not be opened.
bool desktopWindowFailed();
// The key map, one line a key, for --help.
const char* desktopKeyMap();
// Print pacing figures (ticks, frames, press-to-frame delay) when the game ends.
void enableDesktopStats();
