// The display buffers set up in a test the way start-up sets them up, on the
// headless host with one of the emulated devices.
#pragma once

#include <cstdint>
#include <vector>

struct Surface;

// Chooses the device, lets the three buffers query it, opens the display (or
// fetches the raw frame buffer) and gives blankBuffer and backBuffer blocks.
void useGfxHost(const char* device = "qvga");
// As useGfxHost, then sets the layout values (the small screen mode when
// shrink is 20), blacks the blank buffer, sets the sprite key for RGB(128, 0,
// 128) and loads the font: the state start-up leaves the screens in.
void useScreenLayout(const char* device, int width, int height, int centreX, int shrink);
// Fills backBuffer's logical screen with one value.
void fillBackBuffer(uint16_t value);
// backBuffer's pixel (x, y) of the logical screen.
uint16_t backPixel(int x, int y);
// A Surface made from the given pixels; release with releaseSurface.
Surface* makeSurface(int width, int height, const std::vector<uint16_t>& pixels);
// Every logical pixel of backBuffer, row by row.
std::vector<uint16_t> backScreen();
