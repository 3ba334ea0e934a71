#pragma once

#include <SDL.h>

// The virtual-key code a key gives, 0 for none (and for the keys the window
// keeps for itself: Space, F11, F12).
int virtualKeyFor(SDL_Keycode key);
// A key pressed or let go: the window's own keys (F11 and Alt+Enter for
// fullscreen, F12 for screenshots, Space as the one button) or a device key.
void translateKeyEvent(const SDL_KeyboardEvent& e);
// Forgets which keys are down without sending releases (the window let go of
// everything at once).
void forgetKeyboardHolds();
