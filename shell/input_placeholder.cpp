// Placeholder until key and stylus input lands.
#include "shell/input.h"
void inputPreStep(UINT*, WPARAM*, LPARAM*) {}
void onKeyDown(WPARAM) {}
void onKeyUp(WPARAM) {}
void onStylusDown() {}
void onStylusMove() {}
void onStylusUp(LPARAM) {}
void selectItem() {}
