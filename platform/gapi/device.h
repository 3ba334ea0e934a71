// The emulated handheld: its display memory, laid out by the chosen profile's
// pitches, and its buttons. Hosts read the screen back through the same
// pitches, so a drawing that used wrong pitches shows as a wrong picture.
// Only platform/ and tests include this.
#pragma once

#include "platform/gapi/gapi.h"

#include <cstdint>
#include <vector>

// The virtual-key codes of the device's A, B and C buttons (its Start is
// VK_RETURN and its direction pad the arrow keys).
constexpr int DEVICE_BUTTON_A = 0xC1;
constexpr int DEVICE_BUTTON_B = 0xC2;
constexpr int DEVICE_BUTTON_C = 0xC3;

struct DeviceProfile {
    const char* name;
    const char* description;
    GXDisplayProperties props; // what the Game API reports
    bool rawBuffer;            // the raw frame-buffer escape answers a 240 x 320 buffer
};

// qvga (default), qvga-rotated, square, small, raw.
const DeviceProfile* findDeviceProfile(const char* name);
const DeviceProfile* deviceProfiles(int* count);
// Chooses the device and clears its display memory to black. Call before the
// program objects are set up.
void selectDevice(const DeviceProfile* profile);
const DeviceProfile* currentDevice();

// The screen as the user sees it, in logical orientation, 5-6-5 pixels, row
// by row: the raw buffer on the raw profile, else the Game API's memory.
// Includes the window surface the shell paints on (which is the same memory).
int deviceScreenWidth();
int deviceScreenHeight();
void readDeviceScreen(std::vector<uint16_t>* pixels);
// Writes a logical pixel of the visible screen (used for window painting).
void writeDeviceScreenPixel(int x, int y, uint16_t pixel);

// Game API state, for tests.
bool gapiDisplayOpen();
bool gapiInputOpen();
bool gapiSuspended();
int gapiBeginDrawCount();
// Makes GetDC(nullptr) fail, to test what drawing code does without a screen.
void deviceFailScreenDc(bool fail);
