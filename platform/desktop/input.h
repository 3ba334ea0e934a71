// What the desktop's keyboard, mouse and game controllers hold down, as the
// device's keys and stylus. Several sources may hold the same key or the
// stylus at once; the program sees one press when the first takes hold and
// one release when the last lets go.
#pragma once

#include "platform/wince/winapi.h"

union SDL_Event;

// Sources of stylus presses: the mouse, the Space bar, and each game
// controller (PAD_SOURCE + its instance id).
constexpr int MOUSE_SOURCE = 0;
constexpr int SPACE_SOURCE = 1;
constexpr int PAD_SOURCE = 2;

// The one button (Space, a controller's south button) touches the stylus down
// at this point and lifts it there. Every menu takes a tap only when its x
// lies between 38 and 199, on every device, so a tap here misses every item:
// in the front end the release then selects the highlighted item, in a game
// the press and release are the rise control. x must not be 0, since a
// release at x 0 leaves no tap behind at all.
constexpr int ONE_BUTTON_X = 1;
constexpr int ONE_BUTTON_Y = 1;
// Where held controls are let go when the window loses them (focus lost, a
// controller pulled out): x 0 leaves no tap, so nothing is selected, while a
// game still sees the release and the fish stops rising.
constexpr int LETGO_X = 0;
constexpr int LETGO_Y = 0;

// A press of vk (1..255) by one more source.
void pressDeviceKey(int vk);
// The keyboard's auto-repeat of a held key: another WM_KEYDOWN.
void repeatDeviceKey(int vk);
// One source lets go of vk.
void releaseDeviceKey(int vk);
// How many sources hold vk.
int deviceKeyHolds(int vk);

void pressStylus(int source, LPARAM point);
// A move counts only from the source that put the stylus down.
void moveStylus(int source, LPARAM point);
void releaseStylus(int source, LPARAM point);
bool stylusHeldBy(int source);
bool stylusHeld();

// Lets go of every key and the stylus at once (the window lost the focus).
void releaseAllControls();
// Forgets every hold without sending anything (a new window, a test).
void resetDesktopInput();

// Turns one SDL event into the program's input; the desktop host runs it
// for every event it takes.
void translateDesktopEvent(const SDL_Event& e);
