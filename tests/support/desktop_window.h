// Runs the desktop host inside a test: SDL's dummy video driver with its
// software renderer, dummy audio, and a window of the program's own.
#pragma once

#include <SDL.h>
#include <string>

// Starts the host on device at scale with its files in folder, and a main
// window that ignores everything; false with a message on failure.
bool openTestDesktop(const char* device, int scale, const std::string& folder, std::string* error);
// Synthetic events handed to the host's translation as SDL would give them.
SDL_Event sdlEvent(Uint32 type);
void sendKey(SDL_Keycode sym, bool down, bool repeat = false, Uint16 mod = 0);
void sendMouse(bool down, int x, int y);
void sendWindowEvent(Uint8 what);
