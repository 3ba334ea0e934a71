// What the game's rules name but never reach while a game is played by them
// alone: the music a new game from the front end starts, the drawing of a
// running game's frame, and the best score the settings files keep.
#include "game/game_screen.h"
#include "persist/settings.h"
#include "sound/sound.h"

int32_t bestScore = 0;

void playModeMusic(bool) {}

void drawGameFrame() {}
