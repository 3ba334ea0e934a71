// The game-like frame drawn with SDL2's software blitter into a 5-6-5
// surface of the logical screen's size, then copied to a display block: the
// yardstick the game's own renderer is measured against.
#pragma once

#include "bench/game_scene.h"

#include <cstdint>

// Wraps the pictures (and the font of its slot) in SDL surfaces; false when
// SDL cannot make them.
bool makeSdlScene(const ScenePictures& pictures, int32_t width, int32_t height);
void releaseSdlScene();
// Draws the plan and copies the result to display (width x height pixels).
void drawSdlFrame(const ScenePlan& plan, uint16_t* display);
