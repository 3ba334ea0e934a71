// The browser edition: the host that runs the program in a web page (a canvas
// for the screen, the page's keyboard, mouse and touch events as the device's
// buttons and stylus, the browser's storage for the data folder). What its
// files say to each other; only platform/web/ includes this.
#pragma once

#include <string>

// Mounts the data folder from the browser's storage and waits until it has
// been read.
void openWebData();
// The device the page's address names (?device=NAME); empty when none.
std::string webAddressDevice();
// The replay the page's address asks to watch (?watch=...): false when it
// asks for none. Otherwise waits for its bytes and gives the path they are
// at, or why they cannot be had (error, with path left empty).
bool webReplayToWatch(std::string* path, std::string* error);
// The page says why the replay it asked for cannot be watched.
void webCannotWatch(const char* why);
// Waits until the page knows whether a score site serves it (web/online.js)
// and, when one does, has a first ticket or failed to get one; then the games
// are played for the site and the game-over screen names it. Not for a page
// that watches a replay.
void startWebOnline();
// Picks the device (qvga when it names none the program knows), starts the
// clock from the wall clock and installs the host, on the steadied clock,
// with its page events.
void startWebHost(const char* device);
// Shows the last picture, stops the sound and tells the page the program
// ended with code.
void finishWebHost(int code);

// The virtual-key code of a page key event, from its KeyboardEvent.key and
// KeyboardEvent.code values; 0 for none. Letters and digits follow the
// keyboard layout (key), the other keys their position (code).
int webVirtualKey(const char* key, const char* code);

// Sound through the page's Web Audio (web/audio.js). webOpenAudio opens the
// output at rate Hz (1 when the page has Web Audio; the browser starts it on
// the first key, click or touch). webPumpAudio, called on every turn of the
// main loop, renders what the output needs next from the active speaker and
// tells the music player what the mixer plays.
bool webOpenAudio(int rate);
void webCloseAudio();
void webPumpAudio();

// The music: after each render, the module the mixer pulled (none: the music
// stands still) and its volume go to the page's module player.
void webSyncMusic();
