// Makes the font strip, bitmap 254: 1770 x 20 pixels, 4 bits a pixel, sixteen
// grey levels on black. The glyphs, in order: one spare exclamation mark, then
// the characters 33 to 122, where 97 to 122 are a second, slightly narrower
// set of capitals. Each glyph is one run of non-empty columns with black
// columns between glyphs; the game finds the glyphs by scanning for them.
//
// The glyphs are drawn with FreeType from DejaVu Sans Bold at four times the
// size and averaged down, so the result is the same bytes on every run.
//
// Usage: make_font [output.bmp] [font.ttf]
#include "tools/bmp_writer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr int STRIP_WIDTH = 1770;
constexpr int STRIP_HEIGHT = 20;
constexpr int OVERSAMPLE = 4;
constexpr int EM_PIXELS = 20;
constexpr int BASELINE_ROW = 16; // first row below the baseline
constexpr double FIRST_SET_SCALE = 1.06;
constexpr double SECOND_SET_SCALE = 0.98;
constexpr int GLYPH_COUNT = 91;       // the spare '!' and codes 33..122
constexpr int SPACE_GAP_FIRST = 1206; // columns 1206..1221 stay black
constexpr int SPACE_GAP_END = 1222;

const char* const DEFAULT_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Where some glyphs must start and how wide they must be, by glyph index
// (index 0 is the spare glyph, index k > 0 is code 32 + k).
struct Pin {
    int start; // -1: free
    int width; // 0: natural
};
const std::map<int, Pin> pins = {
    {0, {8, 5}},           {33 - 32, {15, 5}},    {48 - 32, {249, 13}},
    {49 - 32, {270, 4}},   {65 - 32, {554, 18}},  {73 - 32, {725, 4}},
    {87 - 32, {1021, 23}}, {97 - 32, {1222, 17}}, {122 - 32, {1754, 12}},
};

typedef std::vector<std::vector<uint8_t>> Levels; // [row][column], 0..15

int codeOf(int index) {
    return index == 0 ? '!' : 32 + index;
}
// The second set draws the capitals again.
int characterOf(int index) {
    int code = codeOf(index);
    return code >= 'a' && code <= 'z' ? code - 32 : code;
}
double scaleOf(int index) {
    return codeOf(index) >= 'a' ? SECOND_SET_SCALE : FIRST_SET_SCALE;
}

// A glyph at four times the size: coverage 0..255 on a canvas of
// STRIP_HEIGHT * OVERSAMPLE rows, with the ink's first and last column.
struct HiRes {
    std::vector<std::vector<uint8_t>> rows;
    int inkLeft = 0, inkRight = 0; // [inkLeft, inkRight)
};

HiRes renderHiRes(FT_Face face, int character) {
    HiRes g;
    FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
    const FT_Bitmap& b = face->glyph->bitmap;
    int height = STRIP_HEIGHT * OVERSAMPLE;
    g.rows.assign(height, std::vector<uint8_t>(b.width, 0));
    int top = BASELINE_ROW * OVERSAMPLE - face->glyph->bitmap_top;
    if (top + static_cast<int>(b.rows) > height) top = height - b.rows; // keep '_' inside
    if (top < 0) top = 0;
    for (unsigned r = 0; r < b.rows; ++r)
        for (unsigned c = 0; c < b.width; ++c) {
            int y = top + static_cast<int>(r);
            if (y < height) g.rows[y][c] = b.buffer[r * b.pitch + c];
        }
    g.inkLeft = b.width;
    g.inkRight = 0;
    for (int y = 0; y < height; ++y)
        for (unsigned c = 0; c < b.width; ++c)
            if (g.rows[y][c]) {
                if (static_cast<int>(c) < g.inkLeft) g.inkLeft = c;
                if (static_cast<int>(c) + 1 > g.inkRight) g.inkRight = c + 1;
            }
    return g;
}

// Averages the ink down to columns x STRIP_HEIGHT, each strip column taking
// an equal share of the ink's width.
std::vector<std::vector<double>> averageDown(const HiRes& g, int columns) {
    std::vector<std::vector<double>> out(STRIP_HEIGHT, std::vector<double>(columns, 0.0));
    double inkWidth = g.inkRight - g.inkLeft;
    double share = inkWidth / columns;
    for (int x = 0; x < columns; ++x) {
        double from = g.inkLeft + x * share, to = from + share;
        for (int c = static_cast<int>(from); c < to && c < g.inkRight; ++c) {
            double weight = std::fmin(to, c + 1.0) - std::fmax(from, static_cast<double>(c));
            if (weight <= 0) continue;
            for (int y = 0; y < STRIP_HEIGHT * OVERSAMPLE; ++y)
                out[y / OVERSAMPLE][x] += weight * g.rows[y][c] / 255.0;
        }
        for (int y = 0; y < STRIP_HEIGHT; ++y) out[y][x] /= share * OVERSAMPLE;
    }
    return out;
}

// Coverage to sixteen levels, a little steeper than linear so the strokes
// stay solid at this size.
uint8_t toLevel(double coverage) {
    double c = std::fmin(1.0, coverage * 1.2);
    return static_cast<uint8_t>(std::lround(c * 15.0));
}

// Every column of a glyph must hold some ink, or the scan would split it: a
// column left empty gets the faintest level where its neighbours have ink.
void joinColumns(Levels* glyph, const std::vector<std::vector<double>>& coverage) {
    int columns = static_cast<int>((*glyph)[0].size());
    for (int x = 0; x < columns; ++x) {
        bool empty = true;
        for (int y = 0; y < STRIP_HEIGHT; ++y) empty = empty && (*glyph)[y][x] == 0;
        if (!empty) continue;
        int best = -1;
        for (int d = 0; d < columns && best < 0; ++d)
            for (int side : {x - d, x + d}) {
                if (side < 0 || side >= columns || best >= 0) continue;
                double most = 0;
                for (int y = 0; y < STRIP_HEIGHT; ++y)
                    if (coverage[y][side] > most) {
                        most = coverage[y][side];
                        best = y;
                    }
            }
        (*glyph)[best < 0 ? BASELINE_ROW - 1 : best][x] = 1;
    }
}

// One column of the faintest level at the foot of the glyph: it keeps
// neighbouring letters apart when they are drawn touching.
void padColumn(Levels* glyph, int x) {
    (*glyph)[BASELINE_ROW - 1][x] = 1;
}

// Most glyphs have a faint column on both sides; the narrowest pinned ones
// give up the left one to keep a stroke as heavy as their neighbours'.
Levels drawGlyph(const HiRes& g, int width, bool leftPad) {
    Levels glyph(STRIP_HEIGHT, std::vector<uint8_t>(width, 0));
    int left = leftPad ? 1 : 0;
    int ink = width - 1 - left;
    std::vector<std::vector<double>> coverage = averageDown(g, ink);
    std::vector<std::vector<double>> padded(STRIP_HEIGHT, std::vector<double>(width, 0.0));
    for (int y = 0; y < STRIP_HEIGHT; ++y)
        for (int x = 0; x < ink; ++x) {
            glyph[y][x + left] = toLevel(coverage[y][x]);
            padded[y][x + left] = coverage[y][x];
        }
    if (leftPad) padColumn(&glyph, 0);
    padColumn(&glyph, width - 1);
    joinColumns(&glyph, padded);
    return glyph;
}

// The digit one as a flag and a plain stem, to fit its four columns.
Levels drawOne(int capTop) {
    Levels glyph(STRIP_HEIGHT, std::vector<uint8_t>(4, 0));
    for (int y = capTop; y < BASELINE_ROW; ++y) glyph[y][1] = glyph[y][2] = glyph[y][3] = 15;
    glyph[capTop][0] = 5;
    glyph[capTop + 1][0] = 13;
    glyph[capTop + 2][0] = 8;
    glyph[capTop][1] = 11;
    return glyph;
}

int naturalWidth(const HiRes& g, double scale) {
    return static_cast<int>(std::lround((g.inkRight - g.inkLeft) * scale / OVERSAMPLE)) + 2;
}

// Widths and starts of all glyphs: pinned ones as pinned, the others at
// their natural widths, with the black gaps between them spread so that
// every pinned start is met.
void layOut(std::vector<int>* width, std::vector<int>* start) {
    std::vector<int> anchors;
    for (const auto& p : pins) anchors.push_back(p.first);
    for (size_t a = 0; a < anchors.size(); ++a) {
        int first = anchors[a];
        int last = a + 1 < anchors.size() ? anchors[a + 1] : GLYPH_COUNT; // exclusive
        int from = pins.at(first).start;
        int to = a + 1 < anchors.size() ? pins.at(last).start : STRIP_WIDTH;
        int count = last - first;
        // Glyphs before the second set end before the blank space columns.
        int limit = to;
        if (first < 97 - 32 && last == 97 - 32) limit = SPACE_GAP_FIRST + 1;
        auto total = [&]() {
            int sum = 0;
            for (int i = first; i < last; ++i) sum += (*width)[i];
            return sum;
        };
        while (total() + count > limit - from) {
            int widest = -1;
            for (int i = first; i < last; ++i)
                if (!pins.count(i) && (widest < 0 || (*width)[i] > (*width)[widest])) widest = i;
            if (widest < 0) break;
            --(*width)[widest];
        }
        int spare = (limit - from) - total() - count;
        if (limit != to) spare = 0;
        int x = from;
        for (int i = first; i < last; ++i) {
            (*start)[i] = x;
            int k = i - first;
            int gap = 1 + spare * (k + 1) / count - spare * k / count;
            x += (*width)[i] + gap;
        }
    }
}

// The strip's grey levels as palette indices of a 16-grey bitmap.
struct StripPixels {
    const Levels* strip;
    uint32_t index(int x, int y) const { return (*strip)[y][x]; }
    bmp::Rgb colour(int, int) const { return {0, 0, 0}; }
};

std::vector<uint8_t> bmpFile(const Levels& strip) {
    std::vector<bmp::Rgb> greys;
    for (int i = 0; i < 16; ++i) {
        uint8_t grey = static_cast<uint8_t>(i * 17);
        greys.push_back({grey, grey, grey});
    }
    return bmp::encode(STRIP_WIDTH, STRIP_HEIGHT, 4, greys, StripPixels{&strip});
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 3 || (argc > 1 && argv[1][0] == '-')) {
        bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fprintf(help ? stdout : stderr,
                     "usage: make_font [output.bmp] [font.ttf]\n"
                     "Draws the 1770 x 20 font strip (default output resources/bitmap_254.bmp,\n"
                     "default font %s).\n",
                     DEFAULT_FONT);
        return help ? 0 : 2;
    }
    const char* output = argc > 1 ? argv[1] : "resources/bitmap_254.bmp";
    const char* fontFile = argc > 2 ? argv[2] : DEFAULT_FONT;
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, fontFile, 0, &face)) {
        std::fprintf(stderr, "make_font: cannot open %s\n", fontFile);
        return 1;
    }
    FT_Set_Pixel_Sizes(face, 0, EM_PIXELS * OVERSAMPLE);
    std::vector<HiRes> hiRes(GLYPH_COUNT);
    std::vector<int> width(GLYPH_COUNT), start(GLYPH_COUNT, 0);
    for (int i = 0; i < GLYPH_COUNT; ++i) {
        hiRes[i] = renderHiRes(face, characterOf(i));
        auto pin = pins.find(i);
        width[i] = pin != pins.end() && pin->second.width ? pin->second.width
                                                          : naturalWidth(hiRes[i], scaleOf(i));
    }
    // The flag of the one starts where the capitals start.
    std::vector<std::vector<double>> stem = averageDown(hiRes['I' - 32], 1);
    int capTop = 0;
    while (capTop < BASELINE_ROW - 1 && stem[capTop][0] < 0.5) ++capTop;
    layOut(&width, &start);
    Levels strip(STRIP_HEIGHT, std::vector<uint8_t>(STRIP_WIDTH, 0));
    for (int i = 0; i < GLYPH_COUNT; ++i) {
        Levels glyph =
            codeOf(i) == '1' ? drawOne(capTop) : drawGlyph(hiRes[i], width[i], codeOf(i) != 'I');
        for (int y = 0; y < STRIP_HEIGHT; ++y)
            for (int x = 0; x < width[i]; ++x) strip[y][start[i] + x] = glyph[y][x];
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    std::vector<uint8_t> bytes = bmpFile(strip);
    std::FILE* f = std::fopen(output, "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fprintf(stderr, "make_font: cannot write %s\n", output);
        if (f) std::fclose(f);
        return 1;
    }
    std::fclose(f);
    return 0;
}
