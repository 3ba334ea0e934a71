// The display buffer and the two off-screen buffers with its memory layout,
// and the presentation of a finished frame.
#include "gfx/gapi_buffer.h"

#include "gfx/layout.h"

#include <cstring>
#include <new>

int32_t screenWidth = 240;
int32_t screenHeight = 320;
STGapiBuffer blankBuffer;
STGapiBuffer backBuffer;
STGapiBuffer screenBuffer;
RawFrameBufferInfo rawFrameInfo;

namespace {

constexpr int32_t SHIFT_KEPT_ROWS = 90;

// Back to the state of a freshly constructed buffer.
void resetBuffer(STGapiBuffer* b) {
    delete[] b->block;
    b->block = nullptr;
    b->base = nullptr;
    b->blendLevel = 0;
    b->blendMode = 0;
    b->props = GXDisplayProperties{};
    b->cursor = nullptr;
    b->xPitch = b->yPitch = 0;
    b->minOffset = b->maxOffset = 0;
}

int32_t rawWidth() {
    RawFrameBufferInfo info = {};
    HDC dc = GetDC(nullptr);
    if (dc) {
        ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info, reinterpret_cast<char*>(&info));
        ReleaseDC(nullptr, dc);
    }
    return info.cxPixels;
}

int32_t span(const STGapiBuffer* b) {
    return b->maxOffset - b->minOffset + 1;
}

bool copyable(const STGapiBuffer* destination, const STGapiBuffer* source) {
    return destination && source && destination->props.cBPP == 16 && source->props.cBPP == 16 &&
           source->block && destination->base;
}

} // namespace

void initFromDisplay(STGapiBuffer* b) {
    // Starting from the zeroed state keeps a second call (a new device) from
    // adding its extents to the first one's and from keeping a block of the
    // wrong size.
    // Mended: fidelity M3.
    resetBuffer(b);
    b->props = GXGetDisplayProperties();
    Layout layout = layoutFor(b->props.cxWidth, b->props.cyHeight, rawWidth());
    screenWidth = layout.width;
    screenHeight = layout.height;
    if (layout.raw) {
        b->xPitch = 1;
        b->yPitch = RAW_LAYOUT_WIDTH;
        b->maxOffset = (screenWidth - 1) + (screenHeight - 1) * RAW_LAYOUT_WIDTH;
        return;
    }
    b->xPitch = b->props.cbxPitch >> 1;
    b->yPitch = b->props.cbyPitch >> 1;
    int32_t xExtent = (screenWidth - 1) * b->xPitch;
    int32_t yExtent = (screenHeight - 1) * b->yPitch;
    (b->xPitch < 0 ? b->minOffset : b->maxOffset) = xExtent;
    (b->yPitch < 0 ? b->minOffset : b->maxOffset) += yExtent;
}

int allocOffscreen(STGapiBuffer* b) {
    if (!b || b->base || b->props.cBPP != 16 || span(b) < 1) return 0;
    uint16_t* block = new (std::nothrow) uint16_t[static_cast<size_t>(span(b))];
    if (!block) return 0;
    delete[] b->block;
    b->block = block;
    b->base = block - b->minOffset;
    return 1;
}

int copyBuffer(STGapiBuffer* destination, const STGapiBuffer* source) {
    // A source laid out smaller than the destination would be read past its
    // block; such a pair is refused like the other invalid ones.
    // Mended: fidelity M1.
    if (!copyable(destination, source) || span(source) < span(destination)) return 0;
    std::memcpy(destination->base + destination->minOffset, source->block,
                static_cast<size_t>(span(destination)) * sizeof(uint16_t));
    return 1;
}

// Kept on purpose: fidelity K31.
int copyBufferShifted(STGapiBuffer* destination, const STGapiBuffer* source, int32_t shift) {
    if (!copyable(destination, source)) return 0;
    int64_t count = int64_t{destination->maxOffset} - int64_t{screenWidth} * SHIFT_KEPT_ROWS -
                    destination->minOffset + 1;
    // The copy must stay inside both blocks: no negative shift, and no shift
    // that would push its end past the destination's last pixel.
    // Mended: fidelity M2.
    if (count < 1 || count > span(source) || shift < 0 || shift > span(destination) - count)
        return 0;
    std::memmove(destination->base + destination->minOffset + shift, source->block,
                 static_cast<size_t>(count) * sizeof(uint16_t));
    return 1;
}

int presentFrame() {
    if (rawFrameBuffer == 1) {
        screenBuffer.base = static_cast<uint16_t*>(rawFramePointer(&rawFrameInfo));
        if (!screenBuffer.base) return 0;
        return copyBuffer(&screenBuffer, &backBuffer);
    }
    screenBuffer.base = static_cast<uint16_t*>(GXBeginDraw());
    // Mended: fidelity M4.
    if (!screenBuffer.base) return 0; // display suspended or closed: nothing to draw into
    copyBuffer(&screenBuffer, &backBuffer);
    return GXEndDraw();
}
