// Key and stylus input.
#pragma once

#include "platform/wince/winapi.h"

// Run on every message before the window procedure's table: may replace the
// message by a key press that a resolved stylus tap stands for.
void inputPreStep(UINT* message, WPARAM* wParam, LPARAM* lParam);
void onKeyDown(WPARAM key);
void onKeyUp(WPARAM key);
void onStylusDown();
void onStylusMove();
void onStylusUp(LPARAM position);
void selectItem();
