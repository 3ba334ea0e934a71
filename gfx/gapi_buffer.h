// A drawing destination with the display's own memory layout.
#pragma once

#include "platform/gapi/gapi.h"

#include <cstdint>

struct STGapiBuffer {
    uint16_t* base = nullptr;  // pixel (0, 0)
    uint16_t* block = nullptr; // owned pixel block; null for the display
    int32_t blendLevel = 0;
    uint32_t blendMode = 0;
    GXDisplayProperties props = {};
    uint16_t* cursor = nullptr;
    int32_t xPitch = 0; // pixels
    int32_t yPitch = 0; // pixels
    int32_t minOffset = 0;
    int32_t maxOffset = 0;

    STGapiBuffer() = default;
    STGapiBuffer(const STGapiBuffer&) = delete;
    STGapiBuffer& operator=(const STGapiBuffer&) = delete;
    ~STGapiBuffer() { delete[] block; }
};

extern int32_t screenWidth;  // 240
extern int32_t screenHeight; // 320
extern STGapiBuffer blankBuffer;
extern STGapiBuffer backBuffer;
extern STGapiBuffer screenBuffer;
extern RawFrameBufferInfo rawFrameInfo; // filled by start-up

void initFromDisplay(STGapiBuffer* buffer);
int allocOffscreen(STGapiBuffer* buffer);
int copyBuffer(STGapiBuffer* destination, const STGapiBuffer* source);
int copyBufferShifted(STGapiBuffer* destination, const STGapiBuffer* source, int32_t shift);
int presentFrame();
