// The title, Settings and About screens, the key screen and the black fill.
#include "frontend/frontend.h"

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"

#include <cmath>

namespace {

constexpr int32_t HIGHLIGHT_X = 37;
constexpr int32_t HIGHLIGHT_WIDTH = 157;
constexpr int ITEMS = 4;

struct Band {
    int32_t y, height, sourceY;
};
constexpr Band BANDS[ITEMS] = {{99, 73, 0}, {162, 51, 73}, {203, 53, 124}, {246, 67, 177}};

struct Label {
    const char* text;
    int32_t dx;
};
// By language (French, English), then item.
constexpr Label TITLE_LABELS[2][ITEMS] = {
    {{"Jouer", -4}, {"Options", -2}, {"A propos", -4}, {"Quitter", -1}},
    {{"Play", -4}, {"Settings", -1}, {"About", -4}, {"Exit", -4}},
};
constexpr Label SETTINGS_LABELS[2][ITEMS] = {
    {{"Son", -4}, {"Francais", -4}, {"Touches", -4}, {"Retour", -4}},
    {{"Sounds", -4}, {"English", -4}, {"Controls", -4}, {"Back", -4}},
};

// The credit lines stay narrow enough for the 176-pixel layout.
constexpr const char* ABOUT_LINES[] = {
    "Version 1.00", "Game design", "Artwork",      "Sound design",
    "Playtesting",  "Thank you",   "for playing!",
};
constexpr double ABOUT_BASES[] = {131, 171, 211, 231, 251, 281, 311};

constexpr const char* ROLE_NAMES[] = {"Up", "Down", "Restart", "Exit"};

double smallLayout() {
    return layoutShrink == 20 ? 1.0 : 0.0;
}

// The shift every label and tap band takes in the small layout.
double layoutLift() {
    return 0.8 * layoutShrink + 9.0 * smallLayout();
}

void drawTitlePicture() {
    blitKeyed(&backBuffer, 0, 0, layoutWidth, layoutHeight, surfaces[SLOT_TITLE], NO_COLOUR_KEY, 0,
              0);
}

void drawHighlight() {
    if (menuCursor < 0 || menuCursor >= ITEMS) return;
    double c = std::cos(menuPhase);
    int32_t level = static_cast<int32_t>(c * c * 26.0 + 5.0);
    const Band& band = BANDS[menuCursor];
    blitTranslucent(&backBuffer, HIGHLIGHT_X, band.y, HIGHLIGHT_WIDTH, band.height,
                    surfaces[SLOT_HIGHLIGHT], level, spriteKey, 0, band.sourceY);
}

void testTap() {
    if (menuScreen == SCREEN_ABOUT) return;
    double s = smallLayout();
    for (int i = 0; i < ITEMS; ++i) {
        double top = 5.0 * ((8.0 - s) * i + 27.0) - layoutLift();
        double bottom = (41.0 - 10.0 * s) * i + 167.0 - layoutLift();
        if (37 < tapX && tapX < 200 && top < tapY && tapY < bottom) {
            synthSelect = 1;
            menuCursor = i;
            playClick();
            tapX = 0;
        }
    }
}

// The label's row: title item 3 stands lower in English than in French.
int32_t labelY(int item, bool settings) {
    double s = smallLayout();
    double y;
    if (settings && item == 0) {
        y = 141.0 - layoutLift() - 5.0;
    } else if (item == 0) {
        y = 138.0 - layoutLift();
    } else {
        double base =
            item == 3 && !settings && language == LANG_ENGLISH ? 264.0 : 141.0 + 40.0 * item;
        y = base - 10.0 * item * s - layoutLift();
    }
    return static_cast<int32_t>(y);
}

void drawLabels(const Label (&labels)[2][ITEMS], bool settings) {
    if (language != LANG_FRENCH && language != LANG_ENGLISH) return;
    for (int i = 0; i < ITEMS; ++i) {
        const Label& label = labels[language][i];
        drawText(layoutCenterX + label.dx, labelY(i, settings), label.text, ALIGN_CENTRE, 0, 0, 0,
                 i == menuCursor ? 1 : 0);
    }
}

void drawVolumeBar() {
    int32_t v = speaker.volumeSounds();
    int32_t y = static_cast<int32_t>(157.0 - layoutLift() + 4.0);
    // Kept on purpose: fidelity K20.
    blitKeyed(&backBuffer, 81, y, 2 * v, 5, surfaces[SLOT_WATER], spriteKey, 64 - 2 * v, 0);
}

void drawAbout() {
    menuPhase = 0;
    for (size_t i = 0; i < sizeof ABOUT_BASES / sizeof ABOUT_BASES[0]; ++i) {
        double y = ABOUT_BASES[i] - 2.6 * layoutShrink - 3.0 * smallLayout() - 20.0;
        drawText(layoutCenterX, static_cast<int32_t>(y), ABOUT_LINES[i], ALIGN_CENTRE, 255, 255,
                 255, 0);
    }
}

} // namespace

void drawFrontEnd() {
    copyBuffer(&backBuffer, &blankBuffer);
    drawTitlePicture();
    drawHighlight();
    tapPending = 0;
    testTap();
    if (menuScreen == SCREEN_TITLE) {
        drawLabels(TITLE_LABELS, false);
    } else if (menuScreen == SCREEN_SETTINGS) {
        drawLabels(SETTINGS_LABELS, true);
        drawVolumeBar();
    } else if (menuScreen == SCREEN_ABOUT) {
        drawAbout();
    }
    presentFrame();
}

void drawKeyConfigScreen() {
    copyBuffer(&backBuffer, &blankBuffer);
    clearScreen();
    drawTitlePicture();
    int32_t h = layoutHeight / 2;
    drawText(layoutCenterX, h - 50, "Controls", ALIGN_CENTRE, 255, 255, 255, 0);
    drawText(layoutCenterX, h - 10, "Choose a key for :", ALIGN_CENTRE, 255, 255, 255, 0);
    if (keyCaptureIndex >= 0 && keyCaptureIndex < ITEMS)
        drawText(layoutCenterX, h + 10, ROLE_NAMES[keyCaptureIndex], ALIGN_CENTRE, 255, 255, 255,
                 0);
    presentFrame();
}

void clearScreen() {
    backBuffer.blendLevel = 32;
    backBuffer.blendMode = 1;
    if (!backBuffer.base) return;
    uint16_t black = colourFromRgb(&backBuffer, 0);
    // The fill stays within the logical screen the buffer is laid out for.
    // Mended: fidelity M10.
    int32_t width = layoutWidth < screenWidth ? layoutWidth : screenWidth;
    int32_t height = layoutHeight < screenHeight ? layoutHeight : screenHeight;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            backBuffer.cursor = backBuffer.base + y * backBuffer.yPitch + x * backBuffer.xPitch;
            blendPixel(&backBuffer, black);
        }
}
