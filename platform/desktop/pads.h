// Game controllers as the device's buttons, through SDL's game-controller
// mappings: the D-pad and the left stick as the direction keys, south as the
// one button (the stylus), east as B, west as A, north as C, Start as Start.
// Controllers may come and go while the game runs.
#pragma once

union SDL_Event;

// A stick direction is pressed beyond this much of its travel and let go only
// once back inside the smaller one, so a shaky stick sends one press and one
// release.
constexpr int STICK_PRESS = 16384;
constexpr int STICK_RELEASE = 8192;

// Starts the controller subsystem, adding the mappings of the file that
// SDL_GAMECONTROLLERCONFIG_FILE names when there is one. False (with a note
// on stderr) when there are no controllers to be had; the game runs on.
bool openPads();
void closePads();
// Handles a controller event (added, removed, button, axis); false for any
// other event.
bool translatePadEvent(const SDL_Event& e);
// Controllers opened and not yet removed.
int openPadCount();
// Forgets what every controller holds without sending releases (the window
// let go of everything at once).
void forgetPadHolds();
