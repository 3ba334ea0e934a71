// The front-end screens.
#pragma once

void drawFrontEnd();
void drawKeyConfigScreen();
void clearScreen();
