#pragma once

#include <SDL.h>

// The virtual-key code a key gives, 0 for none.
int virtualKeyFor(SDL_Keycode key);
