// Writes the fuzz targets' seed inputs: small valid settings files, scripts,
// bitmaps of every depth the game ships, a tracker module, sound clips and
// game replays.
//   make_fuzz_seeds FOLDER    (FOLDER/NAME/ for each target, usually tests/fuzz/corpus)
#include "game/replay.h"
#include "tests/support/mod_builder.h"
#include "tools/bmp_writer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string root;
bool ok = true;

void put(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string folder = root + "/" + target;
    std::filesystem::create_directories(folder);
    ok = bmp::writeFile(folder + "/" + name, bytes) && ok;
}

void putText(const std::string& target, const std::string& name, const std::string& text) {
    put(target, name, std::vector<uint8_t>(text.begin(), text.end()));
}

// The six files' contents, cut apart by 0xFF.
std::string settings(const std::vector<std::string>& files) {
    std::string out;
    for (size_t i = 0; i < files.size(); ++i) out += (i ? "\xFF" : "") + files[i];
    return out;
}

void settingsSeeds() {
    const char* t = "settings_files";
    putText(t, "first_run", settings({"00000", "27442", "32102210", "090090", "090090", "090090"}));
    putText(t, "played", settings({"04921", "17446", "32102210", "090090", "138140", "137139"}));
    putText(t, "line_ends", settings({"00700\n", "27442\r\n", "32102210\n", "090090\n"}));
    putText(t, "two_lines", settings({"1\n2", "x\n27442", "", "000000", "999999\n100100"}));
    putText(t, "empty", "");
}

void scriptSeeds() {
    const char* t = "script_parser";
    putText(t, "play",
            "# start a game and fly\nwait 2000\nkey START\npress UP\nwait 350\n"
            "release UP\nwait 5000\nshot out.png\n");
    putText(t, "stylus",
            "tap 120 160\nstylus-down 10 20\nstylus-move 11 22\nstylus-up 12 24\n"
            "wait 16\n");
    putText(t, "keys",
            "key 37\npress 255\nrelease A\nkey B\nkey C\nkey LEFT\nkey RIGHT\n"
            "key DOWN\nctrl q\n");
    putText(t, "files",
            "record-audio sound file.wav  # from here on\nwait 100\n"
            "deactivate\nshot a b  c.png\n");
    putText(t, "bad_line", "wait 10\npress 0\n");
    putText(t, "replay",
            "device small\nseed 4000000\nfile sound.dat 3237343432\nfile keys.dat\n"
            "autoplay\nwait 30\ndeactivate\nwait 10\nactivate\n");
}

std::vector<uint8_t> indexed(int w, int h, int bits) {
    std::vector<bmp::Rgb> palette;
    for (int i = 0; i < (1 << bits) && i < 256; ++i)
        palette.push_back({static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 11),
                           static_cast<uint8_t>(255 - i)});
    palette[palette.size() - 1] = {132, 0, 132}; // the sprites' transparent purple
    std::vector<uint8_t> indices(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = (i * 7 + i / w) % palette.size();
    return bmp::encode(w, h, bits, palette, bmp::IndexedPixels{w, &indices});
}

std::vector<uint8_t> trueColour(int w, int h) {
    std::vector<bmp::Rgb> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.push_back({static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 60),
                              static_cast<uint8_t>((x + y) * 20)});
    return bmp::encode(w, h, 24, {}, bmp::RgbPixels{w, &pixels});
}

// A few glyphs of grey on black, 20 rows high, as in the font strip.
std::vector<uint8_t> fontStrip() {
    const int w = 48, h = 20;
    std::vector<bmp::Rgb> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool ink = x % 8 < 5 && y > 3 && y < 16 && (x + y) % 3 != 0;
            uint8_t grey = ink ? static_cast<uint8_t>(80 + 20 * (x % 8)) : 0;
            pixels.push_back({grey, grey, grey});
        }
    return bmp::encode(w, h, 24, {}, bmp::RgbPixels{w, &pixels});
}

void bitmapSeeds() {
    const char* t = "bitmap_resource";
    put(t, "one_bit_5x4.bmp", indexed(5, 4, 1));
    put(t, "four_bit_9x2.bmp", indexed(9, 2, 4));
    put(t, "eight_bit_6x5.bmp", indexed(6, 5, 8));
    put(t, "true_colour_1x1.bmp", trueColour(1, 1));
    put(t, "true_colour_7x3.bmp", trueColour(7, 3));
    put(t, "font_strip.bmp", fontStrip());
    // A damaged header that declares a picture of 850 million by 4 pixels: the
    // decoder must refuse it before it allocates the picture.
    std::vector<uint8_t> huge = indexed(5, 4, 1);
    const uint8_t width[4] = {0x12, 0x73, 0xA7, 0x32};
    std::copy(width, width + 4, huge.begin() + 18);
    put(t, "huge_width.bmp", huge);
}

void soundSeeds() {
    put("module_load", "two_patterns.mod", makeModule());
    ModuleShape shortSong;
    shortSong.patterns = 1;
    shortSong.rowsPerPattern = 8;
    shortSong.speed = 2;
    put("module_load", "short_song.mod", makeModule(shortSong));
    const std::vector<int16_t> tone = clickTone(64, 9000);
    put("wave_load", "mono16.wav", makeWave(tone));
    put("wave_load", "stereo8.wav", makeWave(tone, 11025, 8, 2));
    put("wave_load", "odd_length8.wav", makeWave(clickTone(33, 3000), 8000, 8, 1));
}

} // namespace

// A short game with a few rise changes, and a game of no ticks at all.
void replaySeeds() {
    Replay r;
    r.version = "seed";
    r.start.randomState = 1000000;
    for (uint32_t t = 0; t < 2500; ++t) r.tickTimes.push_back(1000000 + 5 * t + (t > 2000 ? 3 : 0));
    r.changes = {{100, 1}, {180, 0}, {400, 1}, {420, 0}, {2300, 1}};
    sealReplay(&r);
    put("replay_decode", "short_game", encodeReplay(r));
    put("replay_decode", "no_ticks", encodeReplay(Replay()));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    root = argv[1];
    std::filesystem::create_directories(root);
    settingsSeeds();
    scriptSeeds();
    bitmapSeeds();
    soundSeeds();
    replaySeeds();
    if (!ok) std::fprintf(stderr, "some seeds could not be written\n");
    return ok ? 0 : 1;
}
