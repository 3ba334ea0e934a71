// The display buffers set up for measuring, the way start-up sets them up,
// on the headless host with one of the emulated devices.
#pragma once

// Chooses the device, lets the three buffers query it, opens the display (or
// fetches the raw frame buffer), sets the logical screen mode and gives
// blankBuffer (black) and backBuffer blocks. Also sets spriteKey.
void useBenchDisplay(const char* device);
