// Placeholder until the graphics library lands.
#include "gfx/gapi_buffer.h"
int32_t screenWidth = 240;
int32_t screenHeight = 320;
STGapiBuffer blankBuffer;
STGapiBuffer backBuffer;
STGapiBuffer screenBuffer;
RawFrameBufferInfo rawFrameInfo;
void initFromDisplay(STGapiBuffer* b) {
    b->props = GXGetDisplayProperties();
}
int allocOffscreen(STGapiBuffer*) {
    return 0;
}
int copyBuffer(STGapiBuffer*, const STGapiBuffer*) {
    return 0;
}
int copyBufferShifted(STGapiBuffer*, const STGapiBuffer*, int32_t) {
    return 0;
}
int presentFrame() {
    return 0;
}
void loadFont() {}
