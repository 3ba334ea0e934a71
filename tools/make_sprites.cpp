// Makes the sprite pictures:
// - bitmap_337.bmp, 48 x 180, 24 bits: the sprite sheet on the transparent
//   purple. Column 0 holds the living fish, the spiny red fish and the floor
//   tiles; column 24 the dead fish and the ceiling tiles (the floor tiles
//   turned upside down). Edges are hard against the purple; the keyed-smooth
//   blit softens them when it draws.
// - bitmap_303.bmp, 16 x 80, 8 bits: five grey bubble masks on black, 16 x 16
//   each, largest at the top. Grey is coverage for the tinted blit.
// - icons/icon_16.png, icon_32.png, icon_48.png: the application icon, the
//   fish on a round water badge, with a transparent background.
// - icon_335.bmp, 32 x 32, 24 bits: the same icon on the transparent purple,
//   for the window and the About box.
// The small sprites are pixel maps below, one character a pixel, '.' the
// purple; the spiny fish and the bubbles are drawn from shapes.
//
// Usage: make_sprites [output-folder]
#include "tools/bmp_writer.h"
#include "tools/canvas.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using bmp::Rgb;

constexpr int CELL = 24;
constexpr int SHEET_WIDTH = 48;
constexpr int SHEET_HEIGHT = 180;
constexpr int OBSTACLE_Y = 24;
constexpr int OBSTACLE_SIZE = 36;
constexpr int TILES_Y = 60;
constexpr int BUBBLE_SIZE = 16;
constexpr int BUBBLE_COUNT = 5;
const Rgb KEY = {128, 0, 128};

struct Ink {
    char symbol;
    Rgb colour;
};

// One sprite: rows of symbols, '.' transparent, the rest from the inks.
struct PixelArt {
    std::vector<Ink> inks;
    std::vector<const char*> rows;
};

// clang-format off
const std::vector<Ink> FISH_INKS = {
    {'o', {60, 30, 10}},    {'m', {60, 30, 10}},    {'O', {255, 150, 20}}, {'D', {235, 110, 10}},
    {'y', {255, 215, 80}},  {'b', {255, 245, 220}}, {'f', {255, 100, 40}}, {'F', {255, 180, 90}},
    {'p', {235, 200, 170}}, {'w', {255, 255, 255}}, {'k', {15, 15, 30}},
};

const PixelArt LIVING_FISH = {
    FISH_INKS,
    {
    "........................",
    "........................",
    "........................",
    "...........oooo.........",
    "..........offFfo........",
    "oo.......offFffDo.......",
    "ofo.....ofbDDDDDooooo...",
    "offo...oDbbDDDDowwwwwo..",
    "offfo.oOObbOOOowwwwkko..",
    ".offfooOObbOOOowwwkkko..",
    ".offFfoOObbOOOowwwkkkOo.",
    "..offFOOObbOOOOowwwwwOo.",
    "..offFOOObbOOOOOoooooOo.",
    ".offFfoOObFFFFOOOOOOOOo.",
    ".offfooOObFFFOOOOOOOOmo.",
    "offfo.oOObFFOOOOOOOOOo..",
    "offo...oyybyyyyyyyyyo...",
    "ofo.....oobyyyyyyyoo....",
    "oo........offyoooo......",
    "...........oofo.........",
    ".............o..........",
    "........................",
    "........................",
    "........................",
}};

// The living fish with crossed-out eyes and a faded back fin.
const PixelArt DEAD_FISH = {
    FISH_INKS,
    {
    "........................",
    "........................",
    "........................",
    "...........oooo.........",
    "..........oppFpo........",
    "oo.......oppFppDo.......",
    "ofo.....ofbDDDDDooooo...",
    "offo...oDbbDDDDokwwwko..",
    "offfo.oOObbOOOowwkwkwo..",
    ".offfooOObbOOOowwwkwwo..",
    ".offFfoOObbOOOowwkwkwOo.",
    "..offFOOObbOOOOokwwwkOo.",
    "..offFOOObbOOOOOoooooOo.",
    ".offFfoOObFFFFOOOOOOOOo.",
    ".offfooOObFFFOOOOOOOOmo.",
    "offfo.oOObFFOOOOOOOOOo..",
    "offo...oyybyyyyyyyyyo...",
    "ofo.....oobyyyyyyyoo....",
    "oo........offyoooo......",
    "...........oofo.........",
    ".............o..........",
    "........................",
    "........................",
    "........................",
}};

// Floor decorations, standing on the bottom row; the ceiling gets them upside
// down. A dark sea urchin with pale spine tips.
const PixelArt SEA_URCHIN = {
    {{'o', {20, 18, 40}}, {'U', {60, 55, 105}}, {'u', {38, 35, 75}}, {'h', {120, 125, 190}},
     {'s', {30, 28, 60}}, {'t', {170, 165, 225}}},
    {
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........t......t........",
    ".........t....t.........",
    ".........t..t.t.........",
    "...t...t.s..t.s.t...t...",
    "...tt..t.ss.tss.t..tt...",
    "....ts.tt.s.ss.tt.st....",
    "......s.soUoUUos.s......",
    "...tt..sUhhUUUUUs..tt...",
    "....ttsUhhhhUUUUUstt....",
    "ttts..oUhhhhUUUUUo..sttt",
    "...sssUUUhhUUUUUUUsss...",
    ".....oUUUUUUUUUUUUo.....",
    "...ttsUUUUUUUUUUUUstt...",
    ".....souuuuuuuuuuos.....",
    "...sss.ouuuuuuuuo.sss...",
    ".ttt....ouuuuuuo....ttt.",
}};

// A grey stone with a touch of moss.
const PixelArt STONE = {
    {{'o', {30, 30, 36}}, {'g', {125, 125, 132}}, {'S', {88, 88, 100}}, {'h', {175, 175, 180}},
     {'m', {80, 130, 70}}},
    {
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    ".........oooooo.........",
    "......oooggggggooo......",
    "....oohhhhhgmgggggoo....",
    "...oghhhhhhhggggggggo...",
    "..ogghhhhhhhgggggggggo..",
    "..ogggghhhgggmgggggggo..",
    "..ogggggggggggggggggSo..",
    "..ogggmggggggggggSSSSo..",
    "..ogggggggggggSSSSSSSo..",
    "..ogggggggSSSSSSSSSSSo..",
    "...ooggSSSSSSSSSSSSSSo..",
    ".....ooSSSSSSSSSSSSSo...",
    ".......oSSSSSSSSSSSo....",
}};

// A red crab, claws raised.
const PixelArt CRAB = {
    {{'o', {60, 12, 8}}, {'R', {232, 72, 40}}, {'r', {180, 40, 25}}, {'h', {255, 150, 110}},
     {'w', {255, 255, 255}}, {'k', {10, 10, 20}}},
    {
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "...o................o...",
    "...oo..............oo...",
    ".o.oho............oho.o.",
    ".ooRRo............oRRoo.",
    ".oRRRo...w....w...oRRRo.",
    ".oRRo...wwk..wwk...oRRo.",
    "..oo....wwk..wwk....oo..",
    "...oo....o....o....oo...",
    "....oo..oRooooRo..oo....",
    "....orooRhhRRRRRooro....",
    ".....oRRhhhhRRRRRRo.....",
    ".....oRRRRRRRRRRRRo.....",
    ".....oRRRRRRRRRRRRo.....",
    "....orrrrrrrrrrrrrro....",
    "..oorooooorrrroooooroo..",
    ".orro.....oooo.....orro.",
    ".orro..............orro.",
    "ooro................oroo",
    "o.oo................oo.o",
}};

// A starfish standing on two arms.
const PixelArt STARFISH = {
    {{'o', {110, 45, 10}}, {'Y', {255, 170, 50}}, {'y', {240, 130, 35}}, {'d', {255, 230, 160}},
     {'c', {255, 200, 90}}},
    {
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "...........oo...........",
    "...........oo...........",
    "..........oYYo..........",
    "..........oYdo..........",
    "..........odYo..........",
    ".........odYYYo.........",
    ".oooooooodYYYdYoooooooo.",
    "...odYYYdYYccYYYdYYYo...",
    "....oYYdYYccccYdYYYo....",
    ".....odYYYccccdYYYo.....",
    "......oYYdccccYYYo......",
    ".......odyyccyyyo.......",
    ".......oyyydyyydo.......",
    ".......oyydyyydyo.......",
    "......oyydooooyyyo......",
    "......oydo....oydo......",
    "......ooo......ooo......",
    "......o..........o......",
    ".....o............o.....",
}};

// A branch of pink coral.
const PixelArt CORAL = {
    {{'o', {110, 30, 45}}, {'P', {255, 170, 180}}, {'p', {240, 100, 125}}},
    {
    "........................",
    "..................o.....",
    ".....oo..........opo....",
    "....oPPo..o......opo....",
    ".....oPo.opo.....opo....",
    ".....oPo.opo....opo.....",
    ".....oPPopo.....opo.....",
    "..oo.oPPppo.....opo.....",
    ".oPPo.oPpo.....opo......",
    "..oPo.oPPo.....opo..oo..",
    "..oPo.oPPo....oppo.oppo.",
    "..oPo.oPPPo..oppo..opo..",
    "..oPo..oPPPooppo...opo..",
    "..oPo...oPPPppo....opo..",
    "..oPPoo..oPPpo.....opo..",
    "...ooPPoo.oPpo...ooppo..",
    ".....ooPPoPPppooopppo...",
    ".......ooPPPppppppoo....",
    ".........oPPpppooo......",
    "..........oPppo.........",
    "..........oPpo..........",
    "..........oPpo..........",
    "..........oPpo..........",
    "..........oPpo..........",
}};
// clang-format on

const std::vector<const PixelArt*> TILES = {&SEA_URCHIN, &STONE, &CRAB, &STARFISH, &CORAL};

Rgb inkOf(const PixelArt& art, char symbol) {
    for (const Ink& ink : art.inks)
        if (ink.symbol == symbol) return ink.colour;
    std::fprintf(stderr, "make_sprites: no ink for '%c'\n", symbol);
    return KEY;
}

// Copies the art into the sheet at (left, top), upside down when flip is set.
void paint(std::vector<Rgb>* sheet, const PixelArt& art, int left, int top, bool flip) {
    int height = static_cast<int>(art.rows.size());
    for (int y = 0; y < height; ++y) {
        const char* row = art.rows[flip ? height - 1 - y : y];
        for (int x = 0; row[x]; ++x)
            if (row[x] != '.') (*sheet)[(top + y) * SHEET_WIDTH + left + x] = inkOf(art, row[x]);
    }
}

// The spiny fish is drawn in colour and, in white on black, as its silhouette
// and as the part of it that gets a dark rim (the body, not the thin spines).
// The silhouette is cut hard at half coverage.
struct SpinyFish {
    art::Canvas colour{OBSTACLE_SIZE, OBSTACLE_SIZE, art::rgb(70, 8, 12)};
    art::Canvas mask{OBSTACLE_SIZE, OBSTACLE_SIZE, art::rgb(0, 0, 0)};
    art::Canvas rimmed{OBSTACLE_SIZE, OBSTACLE_SIZE, art::rgb(0, 0, 0)};
};

const art::Colour WHITE = art::rgb(255, 255, 255);
const float BODY_X = 18.5f, BODY_Y = 18.5f, BODY_RX = 10.5f, BODY_RY = 9.5f;

bool inBody(float px, float py) {
    float dx = (px - BODY_X) / BODY_RX, dy = (py - BODY_Y) / BODY_RY;
    return dx * dx + dy * dy <= 1.0f;
}

// A spine leaving the body at angle degrees (0 towards the tail, 90 up),
// red at the body and pale at the point.
void spine(SpinyFish* fish, float degrees, float length, float halfBase) {
    float a = degrees * 3.14159265f / 180.0f;
    float dx = std::cos(a), dy = -std::sin(a);
    float base = std::hypot(BODY_RX * dx, BODY_RY * dy) - 2.0f, reach = base + 2.0f + length;
    float bx = BODY_X + base * dx, by = BODY_Y + base * dy;
    float tx = BODY_X + reach * dx, ty = BODY_Y + reach * dy;
    std::vector<float> xy = {bx - dy * halfBase, by + dx * halfBase, tx, ty,
                             bx + dy * halfBase, by - dx * halfBase};
    fish->mask.fillPolygon(xy, WHITE);
    fish->colour.fillShape(
        static_cast<int>(std::min(bx, tx)) - 3, static_cast<int>(std::min(by, ty)) - 3,
        static_cast<int>(std::max(bx, tx)) + 3, static_cast<int>(std::max(by, ty)) + 3,
        [&xy](float px, float py) { return art::Canvas::insidePolygon(xy, px, py); },
        [=](int x, int y) {
            float along = ((x + 0.5f - bx) * dx + (y + 0.5f - by) * dy) / (reach - base);
            return art::mix(art::rgb(200, 30, 32), art::rgb(255, 200, 165),
                            std::clamp(along * 1.4f - 0.4f, 0.0f, 1.0f));
        });
}

void drawSpinyBody(SpinyFish* fish) {
    std::vector<float> tail = {26.0f, 18.5f, 35.0f, 9.0f, 32.0f, 18.5f, 35.0f, 28.0f};
    for (art::Canvas* c : {&fish->mask, &fish->rimmed}) c->fillPolygon(tail, WHITE);
    fish->colour.fillPolygon(tail, art::rgb(200, 35, 32));
    fish->colour.strokeLine(28.5f, 18.5f, 33.5f, 12.0f, 0.8f, art::rgb(150, 20, 25));
    fish->colour.strokeLine(28.5f, 18.5f, 33.5f, 25.0f, 0.8f, art::rgb(150, 20, 25));
    for (float d : {40.0f, 62.0f, 84.0f, 106.0f, 128.0f}) spine(fish, d, 7.0f, 2.4f);
    for (float d : {-48.0f, -72.0f, -96.0f, -120.0f}) spine(fish, d, 5.5f, 2.1f);
    spine(fish, 150.0f, 4.0f, 1.5f);
    spine(fish, -143.0f, 3.5f, 1.5f);
    for (art::Canvas* c : {&fish->mask, &fish->rimmed})
        c->fillEllipse(BODY_X, BODY_Y, BODY_RX, BODY_RY, WHITE);
    fish->colour.fillShape(0, 0, OBSTACLE_SIZE - 1, OBSTACLE_SIZE - 1, inBody, [](int, int y) {
        float t = (y - (BODY_Y - BODY_RY)) / (2 * BODY_RY);
        if (t < 0.55f) return art::mix(art::rgb(175, 22, 28), art::rgb(235, 45, 38), t / 0.55f);
        return art::mix(art::rgb(235, 45, 38), art::rgb(250, 150, 110), (t - 0.55f) / 0.45f);
    });
    const float spots[][3] = {{21.5f, 12.5f, 1.4f}, {25.5f, 16.0f, 1.1f}, {17.0f, 11.5f, 1.0f}};
    for (const auto& s : spots)
        fish->colour.fillEllipse(s[0], s[1], s[2], s[2], art::rgb(160, 18, 24));
    // pectoral fin
    fish->colour.fillPolygon({17.5f, 21.0f, 25.0f, 19.5f, 25.5f, 25.5f, 20.0f, 24.5f},
                             art::rgb(195, 30, 30));
    fish->colour.strokeLine(18.5f, 21.5f, 25.0f, 22.5f, 0.7f, art::rgb(120, 10, 15));
}

// The face, pixel by pixel over the drawn body: a glaring yellow eye under a
// heavy brow and a mouth full of teeth. '.' leaves the body as drawn.
const int FACE_X = 7, FACE_Y = 9;
// clang-format off
const PixelArt SPINY_FACE = {{{'o', {55, 5, 10}}, {'y', {255, 215, 40}}, {'Y', {255, 245, 170}},
                              {'k', {15, 5, 5}}, {'m', {45, 3, 8}}, {'w', {255, 250, 235}}}, {
    ".........oo",
    ".......oooo",
    ".....ooooo.",
    "..ooooooo..",
    "..oYykyyo..",
    "..oyykyyo..",
    "..oyykyyo..",
    "...oykyo...",
    "....ooo....",
    "...........",
    "ooooo......",
    "wmwmwoo....",
    "mmmmmmmo...",
    "mmmmmmo....",
    "mwmwmo.....",
    "ooooo......",
}};
// clang-format on

void paintObstacle(std::vector<Rgb>* sheet) {
    SpinyFish fish;
    drawSpinyBody(&fish);
    const Rgb rim = {55, 5, 10};
    auto solid = [&fish](int x, int y) {
        return x >= 0 && y >= 0 && x < OBSTACLE_SIZE && y < OBSTACLE_SIZE &&
               fish.mask.at(x, y).r >= 0.5f;
    };
    std::vector<Rgb> colours = fish.colour.toRgb();
    for (int y = 0; y < OBSTACLE_SIZE; ++y)
        for (int x = 0; x < OBSTACLE_SIZE; ++x) {
            if (!solid(x, y)) continue;
            bool edge =
                !solid(x - 1, y) || !solid(x + 1, y) || !solid(x, y - 1) || !solid(x, y + 1);
            bool rimmed = fish.rimmed.at(x, y).r >= 0.5f;
            (*sheet)[(OBSTACLE_Y + y) * SHEET_WIDTH + x] =
                edge && rimmed ? rim : colours[y * OBSTACLE_SIZE + x];
        }
    paint(sheet, SPINY_FACE, FACE_X, OBSTACLE_Y + FACE_Y, false);
}

std::vector<Rgb> makeSheet() {
    std::vector<Rgb> sheet(SHEET_WIDTH * SHEET_HEIGHT, KEY);
    paint(&sheet, LIVING_FISH, 0, 0, false);
    paint(&sheet, DEAD_FISH, CELL, 0, false);
    paintObstacle(&sheet);
    for (size_t s = 0; s < TILES.size(); ++s) {
        int top = TILES_Y + static_cast<int>(s) * CELL;
        paint(&sheet, *TILES[s], 0, top, false);
        paint(&sheet, *TILES[s], CELL, top, true);
    }
    return sheet;
}

struct Bubble {
    float x, y, r;
};

// Coverage of one sample point: a bright rim, a dim inside and a small
// highlight up to the left.
float bubbleLevel(const Bubble& b, float px, float py) {
    float d = std::hypot(px - b.x, py - b.y);
    if (d > b.r) return 0.0f;
    float hx = b.x - 0.4f * b.r, hy = b.y - 0.4f * b.r, hr = std::fmax(0.55f, 0.22f * b.r);
    if (std::hypot(px - hx, py - hy) <= hr) return 1.0f;
    float rim = std::clamp((d - (b.r - 1.6f)) / 1.2f, 0.0f, 1.0f);
    return 0.3f + 0.62f * rim;
}

std::vector<uint8_t> makeBubbles() {
    const std::vector<std::vector<Bubble>> masks = {
        {{8.0f, 8.0f, 7.6f}},
        {{8.0f, 8.0f, 6.2f}},
        {{8.0f, 8.0f, 4.8f}},
        {{8.0f, 8.0f, 3.4f}},
        {{6.2f, 9.8f, 2.2f}, {10.6f, 5.4f, 1.6f}},
    };
    std::vector<uint8_t> grey(BUBBLE_SIZE * BUBBLE_SIZE * BUBBLE_COUNT, 0);
    for (int k = 0; k < BUBBLE_COUNT; ++k)
        for (int y = 0; y < BUBBLE_SIZE; ++y)
            for (int x = 0; x < BUBBLE_SIZE; ++x) {
                float sum = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        for (const Bubble& b : masks[k])
                            sum += bubbleLevel(b, x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4);
                grey[(k * BUBBLE_SIZE + y) * BUBBLE_SIZE + x] = art::Canvas::level(sum / 16);
            }
    return grey;
}

// The fish's box of ink in its pixel map: [x0, x1) x [y0, y1).
struct Box {
    int x0, y0, x1, y1;
};
Box inkBox(const PixelArt& art) {
    Box box = {1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < static_cast<int>(art.rows.size()); ++y)
        for (int x = 0; art.rows[y][x]; ++x)
            if (art.rows[y][x] != '.') {
                box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1),
                       std::max(box.y1, y + 1)};
            }
    return box;
}

// The icon at n x n pixels, RGBA rows top first: the living fish on a round
// badge of water, 8 x 8 samples a pixel.
std::vector<uint8_t> makeIcon(int n) {
    const float centre = n / 2.0f, radius = n / 2.0f - 0.25f;
    const float rimWidth = std::max(1.0f, n / 16.0f);
    const art::Colour waterTop = art::rgb(110, 220, 225), waterBottom = art::rgb(15, 105, 145);
    const art::Colour rim = art::rgb(8, 50, 75), shine = art::rgb(200, 245, 250);
    const Box box = inkBox(LIVING_FISH);
    const float scale = 0.74f * n / (box.x1 - box.x0);
    const float left = centre - scale * (box.x1 - box.x0) / 2,
                top = centre - scale * (box.y1 - box.y0) / 2;
    constexpr int SAMPLES = 8;
    std::vector<uint8_t> rgba(static_cast<size_t>(n) * n * 4, 0);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float r = 0, g = 0, b = 0;
            int covered = 0;
            for (int sy = 0; sy < SAMPLES; ++sy)
                for (int sx = 0; sx < SAMPLES; ++sx) {
                    float px = x + (sx + 0.5f) / SAMPLES, py = y + (sy + 0.5f) / SAMPLES;
                    int mx = box.x0 + static_cast<int>(std::floor((px - left) / scale));
                    int my = box.y0 + static_cast<int>(std::floor((py - top) / scale));
                    art::Colour c;
                    float d = std::hypot(px - centre, py - centre);
                    if (mx >= box.x0 && mx < box.x1 && my >= box.y0 && my < box.y1 &&
                        LIVING_FISH.rows[my][mx] != '.') {
                        Rgb ink = inkOf(LIVING_FISH, LIVING_FISH.rows[my][mx]);
                        c = art::rgb(ink.r, ink.g, ink.b);
                    } else if (d <= radius - rimWidth) {
                        c = art::mix(waterTop, waterBottom, py / n);
                        float hx = (px - centre * 0.7f) / (0.45f * n),
                              hy = (py - centre * 0.45f) / (0.2f * n);
                        if (hx * hx + hy * hy <= 1.0f) c = art::mix(c, shine, 0.35f);
                    } else if (d <= radius) {
                        c = rim;
                    } else {
                        continue;
                    }
                    r += c.r;
                    g += c.g;
                    b += c.b;
                    ++covered;
                }
            uint8_t* p = &rgba[(static_cast<size_t>(y) * n + x) * 4];
            if (!covered) continue;
            p[0] = art::Canvas::level(r / covered);
            p[1] = art::Canvas::level(g / covered);
            p[2] = art::Canvas::level(b / covered);
            p[3] = art::Canvas::level(static_cast<float>(covered) / (SAMPLES * SAMPLES));
        }
    return rgba;
}

// The icon with every pixel less than half covered turned into the
// transparent purple, and the rest opaque.
std::vector<Rgb> keyedIcon(int n) {
    std::vector<uint8_t> rgba = makeIcon(n);
    std::vector<Rgb> pixels(static_cast<size_t>(n) * n, Rgb{128, 0, 128});
    for (size_t i = 0; i < pixels.size(); ++i)
        if (rgba[i * 4 + 3] >= 128) pixels[i] = {rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]};
    return pixels;
}

bool writePng(const std::string& path, int n, const std::vector<uint8_t>& rgba) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(n);
    image.height = static_cast<png_uint_32>(n);
    image.format = PNG_FORMAT_RGBA;
    int ok = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr);
    png_image_free(&image);
    return ok != 0;
}

bool fail(const std::string& path) {
    std::fprintf(stderr, "make_sprites: cannot write %s\n", path.c_str());
    return false;
}

bool writeAll(const std::string& folder) {
    std::vector<uint8_t> bubbles = makeBubbles();
    std::vector<Rgb> greys(256);
    for (int i = 0; i < 256; ++i)
        greys[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)};
    // The folder and its icons/ folder are made when missing.
    std::error_code error;
    std::filesystem::create_directories(folder + "/icons", error);
    std::string path = folder + "/bitmap_337.bmp";
    if (!bmp::write24(path, SHEET_WIDTH, SHEET_HEIGHT, makeSheet())) return fail(path);
    path = folder + "/bitmap_303.bmp";
    if (!bmp::writeIndexed(path, BUBBLE_SIZE, BUBBLE_SIZE * BUBBLE_COUNT, 8, greys, bubbles))
        return fail(path);
    for (int n : {16, 32, 48}) {
        path = folder + "/icons/icon_" + std::to_string(n) + ".png";
        if (!writePng(path, n, makeIcon(n))) return fail(path);
    }
    path = folder + "/icon_335.bmp";
    if (!bmp::write24(path, 32, 32, keyedIcon(32))) return fail(path);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc > 1 && argv[1][0] == '-')) {
        bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fprintf(
            help ? stdout : stderr,
            "usage: make_sprites [output-folder]\n"
            "Draws the sprite sheet bitmap_337.bmp and the bubble masks bitmap_303.bmp into\n"
            "the folder (default resources) and the icons icon_16.png, icon_32.png and\n"
            "icon_48.png into its icons/ folder.\n");
        return help ? 0 : 2;
    }
    return writeAll(argc > 1 ? argv[1] : "resources") ? 0 : 1;
}
