// Program-lifetime state of the application shell: the screen state machine,
// the tick clock, the stylus and key input, and the screen layout.
#pragma once

#include "gfx/layout.h"
#include "gfx/text.h"
#include "persist/settings.h"

#include <cstdint>

// Screen state.
enum : int32_t { MODE_GAME = 0, MODE_FRONTEND = 1 };
enum : int32_t { SCREEN_TITLE = 0, SCREEN_ABOUT = 2, SCREEN_SETTINGS = 4 };
enum : int32_t { CURSOR_NONE = 4 };
enum : int32_t { GAME_KIND_STARTED = 2 };

extern int32_t appMode;    // initially MODE_FRONTEND
extern int32_t menuScreen; // SCREEN_TITLE
extern int32_t menuCursor; // 0..3, CURSOR_NONE for none
extern int32_t gameKind;   // 0 until the first game starts, then 2
extern int32_t keyCaptureActive;
extern int32_t keyCaptureIndex; // initially 4
// menuPhase: gfx/text.h, which the text wave reads.

// Timing.
constexpr uint32_t FRAME_DT_CAP_MS = 50;
extern float frameDt;
extern int32_t gameSeconds;
extern int32_t gameMinutes;
extern uint32_t msSinceSecond;
extern uint32_t lastTickTime; // 0: none taken yet
extern uint32_t secondMark;

// Input.
extern int32_t riseHeld;
extern int32_t tapX, tapY;
extern int32_t tapPending;
extern int32_t synthSelect;
// keyUp .. keyRight and KEY_UNASSIGNED: persist/settings.h, which stores them.
extern int16_t gxUp, gxDown, gxLeft, gxRight, gxA, gxB, gxC, gxStart;

// Layout, chosen once at start-up: layoutWidth, layoutHeight, layoutCenterX,
// layoutShrink and rawFrameBuffer live in gfx/layout.h, which draws with them.

// Shows a front-end screen; the one orderly way out of a game.
void enterScreen(int32_t screen, int32_t cursor);
// The game-start action: Play on the title, Restart in a game.
void startGame();
// One WM_TIMER.
void tick();
// The tick's clock, read once at the tick: frameDt, msSinceSecond and the
// seconds-and-minutes clock.
void tickClock(uint32_t now);
