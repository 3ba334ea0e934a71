// Every word of the front end stands out from the title picture: in headless
// frames of the title and Settings screens (both languages, each item
// highlighted in turn), the Controls screen (each role) and the About screen,
// in the 240 x 320, 240 x 240 and 176 x 220 layouts, the contrast ratio
// (WCAG 2) between each line's colour and the picture just around its glyphs
// is at least 3:1, the level for large text; the labels are 20-pixel bold
// capitals.
//
// A line's glyphs are the pixels of its rows that the text turned into its
// colour (white or black, as drawn) where the picture had something else;
// the ground is every pixel two or three pixels away from them that no line
// touched. The figure compares the glyphs' own colour with the worst tenth of
// that ground, so that a bubble or a leaf under a word counts, one dithered
// pixel does not.
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
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
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// sRGB relative luminance, 0..1.
double luminance(uint32_t rgb) {
    auto linear = [](uint32_t c) {
        double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(rgb >> 16 & 255) + 0.7152 * linear(rgb >> 8 & 255) +
           0.0722 * linear(rgb & 255);
}

double contrast(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// A 5-6-5 pixel as the shots show it, widened by bit replication.
uint32_t widened(uint16_t v) {
    uint32_t r = v >> 11, g = v >> 5 & 63, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

std::vector<uint32_t> titlePicture() {
    useGfxHost("qvga");
    Surface* s = loadPicture(BITMAP_TITLE);
    std::vector<uint32_t> rgb;
    if (!s) return rgb;
    for (int i = 0; i < s->width * s->height; ++i) rgb.push_back(widened(s->pixels[i]));
    releaseSurface(s);
    return rgb;
}

constexpr int PICTURE_WIDTH = 240;

struct Line {
    const char* text;
    int y; // the glyphs' top edge as drawText takes it
    bool white;
};

struct Screen {
    std::string shot;
    std::vector<Line> lines;
};

struct Layout {
    const char* device;
    int width, height, centreX, shrink;
    std::array<int, 4> titleY, settingsY;
    int exitEnglishY;
    std::vector<int> aboutY; // the lines the screen shows, at least in part
    std::array<int, 3> controlsY;
};

Layout layout(const char* device, int width, int height, int centreX, int shrink,
              std::array<int, 4> titleY, std::array<int, 4> settingsY, int exitEnglishY,
              std::vector<int> aboutY, std::array<int, 3> controlsY) {
    return {device, width,     height,       centreX, shrink,
            titleY, settingsY, exitEnglishY, aboutY,  controlsY};
}

// Where each layout draws the lines (the title's, Settings', English Exit's,
// About's and Controls' rows); a label below the screen is left out.
const Layout LAYOUTS[] = {
    layout("qvga", 240, 320, 120, 0, {138, 181, 221, 261}, {136, 181, 221, 261}, 264,
           {111, 151, 191, 211, 231, 261, 291}, {110, 150, 170}),
    layout("square", 240, 240, 120, 0, {138, 181, 221, 261}, {136, 181, 221, 261}, 264,
           {111, 151, 191, 211, 231}, {70, 110, 130}),
    layout("small", 176, 220, 88, 20, {113, 146, 176, 206}, {111, 146, 176, 206}, 209,
           {56, 96, 136, 156, 176, 206}, {60, 100, 120})};

const char* const ABOUT_LINES[] = {"Version 1.00", "Game design", "Artwork",     "Sound design",
                                   "Playtesting",  "Thank you",   "for playing!"};
const char* const ROLES[] = {"Up", "Down", "Restart", "Exit"};
const char* const TITLE_LABELS[2][4] = {{"Play", "Settings", "About", "Exit"},
                                        {"Jouer", "Options", "A propos", "Quitter"}};
const char* const SETTINGS_LABELS[2][4] = {{"Sounds", "English", "Controls", "Back"},
                                           {"Son", "Francais", "Touches", "Retour"}};

// One run shows every screen: the English title and Settings with each item
// highlighted, the language changed, the French Settings and title likewise,
// on the way the four roles of a key capture, and About last. Each step is
// "keys/milliseconds to wait/shot".
const char* const STEPS[] = {"/300/title-en-0",
                             "DOWN/40/title-en-1",
                             "DOWN/40/title-en-2",
                             "DOWN/40/title-en-3",
                             "UP UP START/40/settings-en-0",
                             "DOWN/40/settings-en-1",
                             "DOWN/40/settings-en-2",
                             "DOWN/40/settings-en-3",
                             "UP UP START/40/settings-fr-1",
                             "UP/40/settings-fr-0",
                             "DOWN DOWN DOWN/40/settings-fr-3",
                             "UP/40/settings-fr-2",
                             "START/20/controls-0",
                             "65/20/controls-1",
                             "66/20/controls-2",
                             "67/20/controls-3",
                             "68/20/",
                             "DOWN START/40/title-fr-0",
                             "DOWN/40/title-fr-1",
                             "DOWN/40/title-fr-2",
                             "DOWN/40/title-fr-3",
                             "UP START/300/about"};

std::vector<Screen> screensOf(const Layout& l) {
    std::vector<Screen> screens;
    const char* language[2] = {"en", "fr"};
    for (int lang = 0; lang < 2; ++lang)
        for (int cursor = 0; cursor < 4; ++cursor) {
            std::string suffix = std::string(language[lang]) + "-" + std::to_string(cursor);
            Screen title{"title-" + suffix + ".png", {}};
            Screen settings{"settings-" + suffix + ".png", {}};
            for (int i = 0; i < 4; ++i) {
                int y = i == 3 && lang == 0 ? l.exitEnglishY : l.titleY[i];
                title.lines.push_back({TITLE_LABELS[lang][i], y, false});
                settings.lines.push_back({SETTINGS_LABELS[lang][i], l.settingsY[i], false});
            }
            auto hidden = [&](const Line& line) { return line.y + 1 >= l.height; };
            title.lines.erase(std::remove_if(title.lines.begin(), title.lines.end(), hidden),
                              title.lines.end());
            settings.lines.erase(
                std::remove_if(settings.lines.begin(), settings.lines.end(), hidden),
                settings.lines.end());
            screens.push_back(title);
            screens.push_back(settings);
        }
    for (int role = 0; role < 4; ++role) {
        Screen controls{"controls-" + std::to_string(role) + ".png", {}};
        controls.lines = {{"Controls", l.controlsY[0], true},
                          {"Choose a key for :", l.controlsY[1], true},
                          {ROLES[role], l.controlsY[2], true}};
        screens.push_back(controls);
    }
    Screen about{"about.png", {}};
    for (size_t i = 0; i < l.aboutY.size(); ++i)
        about.lines.push_back({ABOUT_LINES[i], l.aboutY[i], true});
    screens.push_back(about);
    return screens;
}

struct Figure {
    double ratio = 0;
    int glyphs = 0, ground = 0;
};

// Rows a line's glyphs may take: the ink runs from one row below y to 15
// below; the highlighted label's wave moves it up to two rows either way.
constexpr int INK_ABOVE = 2, INK_BELOW = 18;

bool inText(uint32_t p, bool white) {
    int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
    return white ? std::min({r, g, b}) >= 232 : std::max({r, g, b}) <= 24;
}

// How many pixels of the line take its colour when it is drawn flat at the
// layout's centre on grey: what the frame should show of it.
int glyphPixels(const Layout& l, const Line& line) {
    useScreenLayout(l.device, l.width, l.height, l.centreX, l.shrink);
    fillBackBuffer(0x8410);
    int c = line.white ? 255 : 0;
    drawText(l.centreX, line.y, line.text, ALIGN_CENTRE, c, c, c, 0);
    int count = 0;
    for (uint16_t v : backScreen()) count += inText(widened(v), line.white);
    return count;
}

// The lines of one frame, measured against the picture under it.
std::vector<Figure> measure(const Shot& shot, const std::vector<uint32_t>& picture,
                            const std::vector<Line>& lines) {
    const int w = shot.width, h = shot.height;
    // Which line each glyph pixel belongs to (-1: none).
    std::vector<int> owner(static_cast<size_t>(w) * h, -1);
    for (size_t i = 0; i < lines.size(); ++i)
        for (int y = std::max(0, lines[i].y - INK_ABOVE); y < std::min(h, lines[i].y + INK_BELOW);
             ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t p = shot.at(x, y);
                if (inText(p, lines[i].white) && p != picture[y * PICTURE_WIDTH + x])
                    owner[y * w + x] = static_cast<int>(i);
            }
    auto near = [&](int x, int y, int radius, int line) {
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx) {
                int u = x + dx, v = y + dy;
                if (u < 0 || v < 0 || u >= w || v >= h) continue;
                int o = owner[v * w + u];
                if (o >= 0 && (line < 0 || o == line)) return true;
            }
        return false;
    };
    std::vector<Figure> figures;
    for (size_t i = 0; i < lines.size(); ++i) {
        Figure f;
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
        if (f.glyphs == 0 || ground.empty()) {
            figures.push_back(f);
            continue;
        }
        text /= f.glyphs;
        std::vector<double> ratios;
        for (double g : ground) ratios.push_back(contrast(text, g));
        std::sort(ratios.begin(), ratios.end());
        f.ratio = ratios[ratios.size() / 10];
        figures.push_back(f);
    }
    return figures;
}

// The steps as a script whose shots go into folder.
std::string scriptFor(const std::string& folder) {
    std::string script;
    for (std::string step : STEPS) {
        size_t wait = step.find('/'), shot = step.find('/', wait + 1);
        std::istringstream keys(step.substr(0, wait));
        for (std::string key; keys >> key;) script += "key " + key + "\n";
        script += "wait " + step.substr(wait + 1, shot - wait - 1) + "\n";
        if (shot + 1 < step.size())
            script += "shot " + folder + "/" + step.substr(shot + 1) + ".png\n";
    }
    return script;
}

TEST(TitleContrast, EveryLineOfEveryFrontEndScreenReachesThreeToOne) {
    std::vector<uint32_t> picture = titlePicture();
    ASSERT_EQ(picture.size(), 240u * 320u);
    double lowest = 1e9;
    std::string lowestWhere;
    for (const Layout& layout : LAYOUTS) {
        std::string folder = makeTempFolder();
        writeFile(folder + "/run.script", scriptFor(folder));
        std::string output;
        ASSERT_EQ(0, runReefdart("--headless " + folder + "/run.script --device " + layout.device +
                                     " --data-dir " + folder + "/data",
                                 &output))
            << output;
        // The lowest figure of each screen, by the shot's first word.
        std::map<std::string, double> byScreen;
        for (const Screen& screen : screensOf(layout)) {
            SCOPED_TRACE(std::string(layout.device) + " " + screen.shot);
            Shot shot = readShot(folder + "/" + screen.shot);
            ASSERT_FALSE(shot.empty());
            std::vector<Figure> figures = measure(shot, picture, screen.lines);
            std::string name = screen.shot.substr(0, screen.shot.find_first_of("-."));
            for (size_t i = 0; i < figures.size(); ++i) {
                const Figure& f = figures[i];
                SCOPED_TRACE(screen.lines[i].text);
                // The line is where the table says: the frame shows its
                // glyphs, give or take the odd pixel that matches the
                // picture (or, at the screen's foot, the wave).
                int expected = glyphPixels(layout, screen.lines[i]);
                EXPECT_GT(expected, 20);
                if (screen.lines[i].y + INK_BELOW <= layout.height)
                    EXPECT_NEAR(f.glyphs, expected, expected / 10);
                else
                    EXPECT_GT(f.glyphs, expected / 2);
                EXPECT_GT(f.ground, f.glyphs / 2);
                EXPECT_GE(f.ratio, 3.0);
                double& low = byScreen.emplace(name, 1e9).first->second;
                low = std::min(low, f.ratio);
                if (f.ratio < lowest) {
                    lowest = f.ratio;
                    lowestWhere = std::string(layout.device) + " " + screen.shot + " \"" +
                                  screen.lines[i].text + "\"";
                }
            }
        }
        for (const auto& [name, low] : byScreen)
            std::printf("%-7s %-9s lowest %.2f:1\n", layout.device, name.c_str(), low);
        std::filesystem::remove_all(folder);
    }
    std::printf("lowest of all: %.2f:1, %s\n", lowest, lowestWhere.c_str());
}

} // namespace
