// The window's picture is drawn and shown by a thread of its own, the only
// one that touches the renderer (for an accelerated renderer; see below). Waiting there for the
// display's refresh (which is what keeps the picture from tearing) never holds back the main
// thread, where the program's 5 ms timer runs.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// Keeps the renderer's own event watch off the main thread; installed when
// SDL starts, before any window exists, and removed when it stops.
void installPresenterEventFilter();
void removePresenterEventFilter();

// When e is a wrapper the filter put in the queue in place of an event,
// gives that event back and returns true.
bool unwrapEvent(const SDL_Event& e, SDL_Event* original);
// True for the copies of window events the presenter pushes for the
// renderer; the program has already had the original.
bool isRendererCopy(const SDL_Event& e);

// Starts the thread and its renderer for a screen of width x height; false
// with SDL's reason when no renderer can be made.
bool startPresenter(SDL_Window* window, int width, int height, std::string* error);
// Shows nothing more, destroys the renderer and ends the thread.
void stopPresenter();
bool presenterRunning();
// True when frames are shown from the thread, false when the main thread
// draws them (the software renderer) or nothing runs.
bool presenterThreaded();

// Hands over the newest frame (width x height 5-6-5 pixels) and returns at
// once. A frame the thread has not taken yet is replaced: only the newest
// one is ever shown. Returns the frame's number, counted from 1.
unsigned long submitFrame(const std::vector<uint16_t>& pixels);
// A software renderer is drawn on the main thread instead: the main loop
// calls servePresenter, which shows the newest frame when one is due, and
// waits no longer than presenterWaitLimit milliseconds (-1: no limit) before
// calling it again. presenterWindowChanged asks it to draw again after the
// window was uncovered or resized. With the thread all three do nothing.
void servePresenter();
int presenterWaitLimit();
void presenterWindowChanged();

// Frames shown so far, and whether presentation waits for the refresh.
unsigned long framesPresented();
bool presenterSyncsToDisplay();

// Waits until every submitted frame has been drawn, then reads the
// renderer's output as 0xRRGGBB pixels (outputWidth x outputHeight). False
// when the presenter is not running or the renderer cannot read back.
bool readBackPresented(std::vector<uint32_t>* pixels, int* outputWidth, int* outputHeight);
