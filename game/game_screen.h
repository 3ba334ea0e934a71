// The game screen.
#pragma once

void drawGameFrame();
void drawWorld();
