#include "gfx/layout.h"

int32_t layoutWidth = 240;
int32_t layoutHeight = 320;
int32_t layoutCenterX = 120;
int32_t layoutShrink = 0;
uint8_t rawFrameBuffer = 0;

namespace {

// By screen mode.
const Layout LAYOUTS[] = {
    {240, 320, 120, 0, 0, SCREEN_MODE_STANDARD},
    {176, 220, 88, 20, 0, SCREEN_MODE_SMALL},
    {240, 240, 120, 0, 0, SCREEN_MODE_SQUARE},
    {240, 320, 120, 0, 1, SCREEN_MODE_RAW},
};

} // namespace

Layout layoutFor(uint32_t displayWidth, uint32_t displayHeight, int32_t rawWidth) {
    if (displayWidth == 176 && rawWidth == RAW_LAYOUT_WIDTH) return LAYOUTS[SCREEN_MODE_RAW];
    if (displayWidth == 176) return LAYOUTS[SCREEN_MODE_SMALL];
    if (displayHeight == 240) return LAYOUTS[SCREEN_MODE_SQUARE];
    return LAYOUTS[SCREEN_MODE_STANDARD];
}

Layout layoutOfMode(int32_t mode) {
    return LAYOUTS[mode >= 0 && mode <= SCREEN_MODE_RAW ? mode : SCREEN_MODE_STANDARD];
}

void useLayout(const Layout& layout) {
    layoutWidth = layout.width;
    layoutHeight = layout.height;
    layoutCenterX = layout.centerX;
    layoutShrink = layout.shrink;
    rawFrameBuffer = layout.raw;
}
