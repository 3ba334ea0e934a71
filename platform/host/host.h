// What the handheld stand-ins need from the host that runs them: a clock, a way
// to wait for input, a window to show the emulated screen in, and an audio
// sink. Three hosts implement it: the desktop (SDL2, platform/desktop), the
// headless scripted host (platform/headless) and the browser (platform/web).
// Only platform/ and tests include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Host {
    const char* name;
    // Opens the window the main window is shown in; false when it cannot.
    bool (*openWindow)();
    // Milliseconds, unsigned and wrapping, like the handheld's tick count.
    uint32_t (*tickCount)();
    // Blocks the program for ms milliseconds (the clock moves on meanwhile).
    void (*sleep)(uint32_t ms);
    // Waits until an input message has been queued or until the tick count
    // reaches deadline, whichever is first; with no deadline it waits for input.
    // Returns false when no input can ever come again (the headless script is
    // spent and the window has been told to close).
    bool (*waitForInput)(bool hasDeadline, uint32_t deadline);
    // The emulated screen (or a window over it) has changed.
    void (*screenChanged)();
    // Another copy of the program asked this one to come to the front.
    void (*raiseWindow)();
    // Opens the audio sink for mono 16-bit samples at rate; false when there is
    // no audio device (the program then runs silent).
    bool (*openAudio)(int rate);
    void (*closeAudio)();
    // Held around every change of the mixer's state when audio runs on a
    // thread of the host's own.
    void (*lockAudio)();
    void (*unlockAudio)();
};

// The running host; set by main before the program starts.
extern const Host* host;

// Services the handheld stand-ins take from the host's build: each host folder
// gives one implementation, chosen by the build (platform/native for the
// desktop and headless hosts, platform/web for the browser).

// Decodes a Windows BMP held in memory into rows of blue, green and red bytes,
// top row first, width * 3 bytes a row. Returns false when the data is no BMP
// the decoder reads.
bool hostDecodeBmp(const unsigned char* data, size_t size, int* width, int* height,
                   std::vector<uint8_t>* rows);
// A settings file has just been replaced (the browser copies the data folder
// back to its storage; elsewhere the file is already where it belongs).
void hostFileReplaced();
