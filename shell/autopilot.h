// A pilot that plays the game through the same key messages a player sends:
// the attract demo (--autoplay) and the player of long unattended runs.
#pragma once

#include "game/simulate.h"
#include "platform/wince/winapi.h"

#include <vector>

extern bool autopilotOn;

// Whether the pilot wants the rise control held, from what the fish can see:
// the opening ahead and the next obstacle.
bool pilotWantsRise();
// Called on every timer tick before the tick's work: posts the key presses
// and releases the pilot decides on to window.
void autopilotTick(HWND window);
// The rise changes the pilot makes flying a game from start at the given
// tick times, by the game's rules alone (no messages, no drawing); the game
// is left as it stands after the last tick.
std::vector<RiseChange> pilotRiseChanges(const GameStart& start,
                                         const std::vector<uint32_t>& tickTimes);
