// Every line of every front-end screen, in every layout, stands out from the title picture
// under it: at least 3:1 (WCAG 2, large text) against the worst tenth of its ground.
#include "gfx/assets.h"
#include "gfx/text.h"
#include "support/gfx_host.h"
#include "support/png_image.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

// sRGB relative luminance of 0xRRGGBB, 0..1.
double luminance(uint32_t rgb) {
    auto linear = [](uint32_t c) {
        double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(rgb >> 16 & 255) + 0.7152 * linear(rgb >> 8 & 255) +
           0.0722 * linear(rgb & 255);
}

// A 5-6-5 pixel as the shots show it.
uint32_t widened(uint16_t v) {
    Rgb8 c = rgbOf(v);
    return static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b);
}

struct Line {
    const char* text;
    int y; // the glyphs' top edge as drawText takes it
    bool white;
};

struct Screen {
    std::string shot;
    std::vector<Line> lines;
};

// Where each layout draws the lines: the title's (the last, English Exit's),
// Settings', About's (those the screen shows, at least in part) and Controls' rows.
struct Layout {
    const char* device;
    struct {
        int width, height, centreX, shrink;
    } screen;
    std::array<int, 5> titleY;
    std::array<int, 4> settingsY;
    std::vector<int> aboutY;
    std::array<int, 3> controlsY;
};
const Layout LAYOUTS[] = {{"qvga",
                           {240, 320, 120, 0},
                           {138, 181, 221, 261, 264},
                           {136, 181, 221, 261},
                           {111, 151, 191, 211, 231, 261, 291},
                           {110, 150, 170}},
                          {"square",
                           {240, 240, 120, 0},
                           {138, 181, 221, 261, 264},
                           {136, 181, 221, 261},
                           {111, 151, 191, 211, 231},
                           {70, 110, 130}},
                          {"small",
                           {176, 220, 88, 20},
                           {113, 146, 176, 206, 209},
                           {111, 146, 176, 206},
                           {56, 96, 136, 156, 176, 206},
                           {60, 100, 120}}};

const char* const ABOUT_LINES[] = {"Version 1.00", "Game design", "Artwork",     "Sound design",
                                   "Playtesting",  "Thank you",   "for playing!"};
const char* const ROLES[] = {"Up", "Down", "Restart", "Exit"};
const char* const TITLE_LABELS[2][4] = {{"Play", "Settings", "About", "Exit"},
                                        {"Jouer", "Options", "A propos", "Quitter"}};
const char* const SETTINGS_LABELS[2][4] = {{"Sounds", "English", "Controls", "Back"},
                                           {"Son", "Francais", "Touches", "Retour"}};

// One run shows every screen, each item highlighted, in English and French, the four
// roles of a key capture, and About. Each step is "keys/milliseconds to wait/shot;".
const char STEPS[] =
    "/300/title-en-0;DOWN/40/title-en-1;DOWN/40/title-en-2;DOWN/40/title-en-3;"
    "UP UP START/40/settings-en-0;DOWN/40/settings-en-1;DOWN/40/settings-en-2;"
    "DOWN/40/settings-en-3;UP UP START/40/settings-fr-1;UP/40/settings-fr-0;"
    "DOWN DOWN DOWN/40/settings-fr-3;UP/40/settings-fr-2;START/20/controls-0;65/20/controls-1;"
    "66/20/controls-2;67/20/controls-3;68/20/;DOWN START/40/title-fr-0;DOWN/40/title-fr-1;"
    "DOWN/40/title-fr-2;DOWN/40/title-fr-3;UP START/300/about;";

std::string scriptFor(const std::string& folder) {
    std::string script, keys, wait, shot;
    std::istringstream steps(STEPS);
    while (std::getline(steps, keys, '/') && std::getline(steps, wait, '/') &&
           std::getline(steps, shot, ';')) {
        std::istringstream each(keys);
        for (std::string key; each >> key;) script += "key " + key + "\n";
        script += "wait " + wait + "\n";
        if (!shot.empty()) script += "shot " + folder + "/" + shot + ".png\n";
    }
    return script;
}

std::vector<Screen> screensOf(const Layout& l) {
    std::vector<Screen> screens;
    for (int lang = 0; lang < 2; ++lang)
        for (int cursor = 0; cursor < 4; ++cursor) {
            std::string suffix = (lang ? "-fr-" : "-en-") + std::to_string(cursor) + ".png";
            Screen title{"title" + suffix, {}}, settings{"settings" + suffix, {}};
            for (int i = 0; i < 4; ++i) { // a label below the screen is left out
                int y = l.titleY[i == 3 && lang == 0 ? 4 : i];
                if (y + 1 < l.screen.height)
                    title.lines.push_back({TITLE_LABELS[lang][i], y, false});
                if (l.settingsY[i] + 1 < l.screen.height)
                    settings.lines.push_back({SETTINGS_LABELS[lang][i], l.settingsY[i], false});
            }
            screens.push_back(title);
            screens.push_back(settings);
        }
    for (int role = 0; role < 4; ++role)
        screens.push_back({"controls-" + std::to_string(role) + ".png",
                           {{"Controls", l.controlsY[0], true},
                            {"Choose a key for :", l.controlsY[1], true},
                            {ROLES[role], l.controlsY[2], true}}});
    screens.push_back({"about.png", {}});
    for (size_t i = 0; i < l.aboutY.size(); ++i)
        screens.back().lines.push_back({ABOUT_LINES[i], l.aboutY[i], true});
    return screens;
}

// Rows a line's glyphs may take: the ink runs from one row below y to 15
// below; the highlighted label's wave moves it up to two rows either way.
constexpr int INK_ABOVE = 2, INK_BELOW = 18;

bool inText(uint32_t p, bool white) {
    int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
    return white ? std::min({r, g, b}) >= 232 : std::max({r, g, b}) <= 24;
}

// The pixels of the line drawn flat on grey: what the frame should show of it.
int glyphPixels(const Layout& l, const Line& line) {
    useScreenLayout(l.device, l.screen.width, l.screen.height, l.screen.centreX, l.screen.shrink);
    fillBackBuffer(0x8410);
    int c = line.white ? 255 : 0;
    drawText(l.screen.centreX, line.y, line.text, ALIGN_CENTRE, c, c, c, 0);
    int count = 0;
    for (uint16_t v : backScreen()) count += inText(widened(v), line.white);
    return count;
}

struct Figure {
    double ratio = 0;
    int glyphs = 0, ground = 0;
};

// A line's glyphs are the pixels of its rows the text turned into its colour; its ground,
// the pixels two or three from them that no line touches, and its ratio that of the worst
// tenth of the ground (a bubble under a word counts, one dithered pixel does not).
std::vector<Figure> measure(const Shot& shot, const Picture& picture,
                            const std::vector<Line>& lines) {
    const int w = shot.width, h = shot.height;
    std::vector<int> owner(static_cast<size_t>(w) * h, -1); // -1: no line's glyph
    for (size_t i = 0; i < lines.size(); ++i)
        for (int y = std::max(0, lines[i].y - INK_ABOVE); y < std::min(h, lines[i].y + INK_BELOW);
             ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t p = shot.at(x, y);
                if (inText(p, lines[i].white) && p != widened(picture.at(x, y)))
                    owner[y * w + x] = static_cast<int>(i);
            }
    auto near = [&](int x, int y, int radius, int line) {
        for (int v = std::max(0, y - radius); v <= std::min(h - 1, y + radius); ++v)
            for (int u = std::max(0, x - radius); u <= std::min(w - 1, x + radius); ++u) {
                int o = owner[v * w + u];
                if (o >= 0 && (line < 0 || o == line)) return true;
            }
        return false;
    };
    std::vector<Figure> figures(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        Figure& f = figures[i];
        double text = 0;
        std::vector<double> ground;
        for (int y = std::max(0, lines[i].y - INK_ABOVE - 3);
             y < std::min(h, lines[i].y + INK_BELOW + 3); ++y)
            for (int x = 0; x < w; ++x) {
                if (owner[y * w + x] == static_cast<int>(i)) {
                    text += luminance(shot.at(x, y));
                    ++f.glyphs;
                } else if (!near(x, y, 1, -1) && near(x, y, 3, static_cast<int>(i))) {
                    ground.push_back(luminance(shot.at(x, y)));
                }
            }
        f.ground = static_cast<int>(ground.size());
        if (f.glyphs == 0 || ground.empty()) continue;
        text /= f.glyphs;
        std::vector<double> ratios;
        for (double g : ground)
            ratios.push_back((std::max(text, g) + 0.05) / (std::min(text, g) + 0.05));
        std::sort(ratios.begin(), ratios.end());
        f.ratio = ratios[ratios.size() / 10];
    }
    return figures;
}

TEST(TitleContrast, EveryLineOfEveryFrontEndScreenReachesThreeToOne) {
    double lowest = 1e9;
    for (const Layout& layout : LAYOUTS) {
        std::string folder = makeTempFolder();
        writeFile(folder + "/run.script", scriptFor(folder));
        std::string output;
        ASSERT_EQ(0, runReefdart("--headless " + folder + "/run.script --device " + layout.device +
                                     " --data-dir " + folder + "/data",
                                 &output))
            << output;
        useGfxHost("qvga");
        Picture picture(BITMAP_TITLE);
        ASSERT_TRUE(picture.loaded());
        for (const Screen& screen : screensOf(layout)) {
            SCOPED_TRACE(std::string(layout.device) + " " + screen.shot);
            Shot shot = readShot(folder + "/" + screen.shot);
            ASSERT_FALSE(shot.empty());
            std::vector<Figure> figures = measure(shot, picture, screen.lines);
            for (size_t i = 0; i < figures.size(); ++i) {
                const Figure& f = figures[i];
                SCOPED_TRACE(screen.lines[i].text);
                // The line is where the table says: the frame shows its glyphs, give or take
                // the odd pixel that matches the picture (or, at the screen's foot, the wave).
                int expected = glyphPixels(layout, screen.lines[i]);
                EXPECT_GT(expected, 20);
                if (screen.lines[i].y + INK_BELOW <= layout.screen.height)
                    EXPECT_NEAR(f.glyphs, expected, expected / 10);
                else
                    EXPECT_GT(f.glyphs, expected / 2);
                EXPECT_GT(f.ground, f.glyphs / 2);
                EXPECT_GE(f.ratio, 3.0);
                lowest = std::min(lowest, f.ratio);
            }
        }
        std::filesystem::remove_all(folder);
    }
    std::printf("lowest contrast of all lines: %.2f:1\n", lowest);
}

} // namespace
