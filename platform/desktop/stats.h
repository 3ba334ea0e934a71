// Figures of the desktop host's pacing, gathered with --stats and printed
// when the game ends: ticks and frames per second, and the delay from a press
// to the first frame on screen drawn after the game took it.
#pragma once

#include <cstdint>

void enableDesktopStats();
// A key or mouse button went down at SDL tick time `at`.
void statsPressArrived(uint32_t at);
// The game drew to the screen; inputWaiting tells whether input is still queued.
void statsScreenDrawn(bool inputWaiting);
// The screen went to the presenter as frame number `number`.
void statsFrameSubmitted(unsigned long number);
// Frame number `number` reached the window at SDL tick time `at`.
void statsFramePresented(uint32_t at, unsigned long number);
// Prints the figures to stderr when they were asked for; synced tells whether
// frames waited for the display's refresh.
void printDesktopStats(uint32_t now, unsigned long ticks, bool synced);
