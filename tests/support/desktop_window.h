// Runs the desktop host inside a test: SDL's dummy video driver with its
// software renderer, dummy audio, and a window of the program's own.
#pragma once

#include <string>

// Selects the device, points the settings files at folder, starts the host at
// scale and creates a main window whose procedure ignores everything. Returns
// false with a message when the host or the window cannot be made.
bool openTestDesktop(const char* device, int scale, const std::string& folder, std::string* error);
