// Watching a kept game again: the game's screen as it was, tick by tick, at
// the pace it was played. Escape leaves; Space or a tap pauses and resumes.
#pragma once

#include "game/replay.h"
#include "platform/wince/winapi.h"

// The game to watch once start-up is done (the layout must be the replay's).
void setWatchReplay(const Replay& replay);
bool watchPending();
// Starts watching, in place of the title screen.
void beginWatch();
bool watching();
// One WM_TIMER while watching, at tick count now.
void watchTick(uint32_t now);
// Input while watching; true when the watch has taken the message.
bool watchInput(HWND window, UINT message, WPARAM wParam);
// Stops watching and gives back the player's own best score, which the
// watched game has shown in its place; before anything is saved.
void endWatch();
