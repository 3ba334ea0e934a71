// Placeholder until the front-end screens land.
#include "frontend/frontend.h"
void drawFrontEnd() {}
void drawKeyConfigScreen() {}
void clearScreen() {}
