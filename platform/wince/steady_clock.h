// A steadied clock over the running host's: it stands still while the
// program works and moves only while the program waits (or sleeps). When a
// timer falls due it moves to the exact due time, and input that arrives is
// handed out strictly before the next due timer. The wall clock still drives
// it, so the game runs at its normal speed; it only loses the jitter of real
// timers. A program that falls more than 100 ms behind (the machine stalled
// or slept) drops the rest rather than playing it through. So every tick of
// a game comes a whole timer period after the one before, as on the headless
// host's virtual clock, and a game's replay holds the same few tick runs
// however long it lasts.
#pragma once

// Puts the steadied clock over the running host (once; again changes
// nothing).
void steadyTheClock();
// Gives the host its own clock back.
void unsteadyTheClock();
