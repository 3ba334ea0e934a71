// The headless host: a virtual clock, scripted input, screenshots to PNG and
// the mixed sound to WAV. The same script, device and files give the same
// output files byte for byte.
#pragma once

#include "platform/script/script.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t HEADLESS_DEFAULT_START_TICK = 1000000;

// Installs the headless host with its clock at startTick and the commands to
// run whenever the program waits for input. The mixer runs only when the
// script records audio (then from the start, wherever record-audio stands).
void startHeadlessHost(uint32_t startTick, const std::vector<ScriptCommand>& commands);
// Runs the mixer although nothing records it (for tests of what plays).
void headlessMixSound();
// Writes the screen as it is now to file as PNG; false with a message when the
// file cannot be written.
bool headlessFinalShot(const std::string& file, std::string* error);
// Closes the recording; returns false when a command failed (a file could not
// be written); the messages went to stderr.
bool finishHeadlessHost();
// Moves the virtual clock on (the audio follows); for tests.
void headlessAdvance(uint32_t ms);
int headlessRaiseRequests();
