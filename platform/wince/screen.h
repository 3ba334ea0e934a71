// What the user sees: the device screen with any dialog box over it.
#pragma once

#include <cstdint>
#include <vector>

// Logical 5-6-5 pixels, deviceScreenWidth() x deviceScreenHeight().
void composeScreen(std::vector<uint16_t>* pixels);
// The screen rectangle of the running dialog's OK button, false when none.
bool dialogOkButton(int* left, int* top, int* right, int* bottom);
