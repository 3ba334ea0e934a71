// Writes the two music modules: 4-channel ProTracker modules ("M.K.", 31
// sample slots) with their own synthesised samples and notes made by rule
// from a chord progression. Deterministic: the same bytes every run.
//
//   module_1.mod  the front end: calm, 20 patterns, song length 29
//   module_2.mod  the game: driving, 17 patterns, song length 30
//
// Usage: make_music OUTPUT_FOLDER
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// ProTracker periods, octaves 1 to 3, C to B.
const int periods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                         428, 404, 381, 360, 340, 320, 302, 285, 269, 254, 240, 226,
                         214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

enum Slot { BASS = 1, LEAD, PAD, KICK, SNARE, HAT, CRASH };

struct Sample {
    std::string name;
    std::vector<int8_t> data;
    int volume = 64;
    bool loop = false;
};

struct Note {
    int note = -1; // 0..35, -1 for none
    int sample = 0;
    int effect = 0, param = 0;
};

typedef Note Row[4];
typedef Row Pattern[64];

struct Random {
    uint32_t state;
    int next(int n) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<uint32_t>(n));
    }
};

int8_t clip(double v) {
    long s = std::lround(v * 127.0);
    return static_cast<int8_t>(s > 127 ? 127 : s < -128 ? -128 : s);
}

// One cycle of a waveform, looped: a blend of sine, triangle and pulse.
Sample cycle(const char* name, int length, double sine, double triangle, double pulse, int volume) {
    Sample s{name, {}, volume, true};
    for (int i = 0; i < length; ++i) {
        double ph = static_cast<double>(i) / length;
        double tri = ph < 0.5 ? 4 * ph - 1 : 3 - 4 * ph;
        double v = sine * std::sin(2 * M_PI * ph) + triangle * tri + pulse * (ph < 0.35 ? 1 : -1);
        s.data.push_back(clip(v / (sine + triangle + pulse)));
    }
    return s;
}

Sample drum(const char* name, int length, double startHz, double endHz, double tone, double noise,
            double decay, int volume, uint32_t seed) {
    Sample s{name, {}, volume, false};
    const double rate = 8287.0; // played at C-2
    double phase = 0, low = 0;
    uint32_t n = seed;
    for (int i = 0; i < length; ++i) {
        double t = i / rate;
        double hz = endHz + (startHz - endHz) * std::exp(-t * 30.0);
        phase += hz / rate;
        n = n * 1664525u + 1013904223u;
        double white = static_cast<double>(n >> 8) / (1 << 24) * 2 - 1;
        double high = white - low;
        low += (white - low) * 0.5;
        double env = std::exp(-t * decay) * (1.0 - static_cast<double>(i) / length);
        s.data.push_back(clip(env * (tone * std::sin(2 * M_PI * phase) + noise * high)));
    }
    return s;
}

struct Song {
    std::vector<Sample> samples;
    std::vector<int> order;
    int patternCount;
    int speed;
    std::vector<std::vector<int>> chords; // chord roots and tones, note numbers
    int intensity;                        // 0 calm, 1 driving
    uint32_t seed;
};

void put(Row& row, int channel, int note, int sample, int effect = 0, int param = 0) {
    row[channel] = {note, sample, effect, param};
}

// Drums on channel 3: kick, snare and hi-hat on the grid.
void drums(Pattern& p, const Song& song, int variant, Random& r) {
    for (int row = 0; row < 64; ++row) {
        int beat = row % 16;
        if (beat == 0 || (song.intensity && beat == 8) ||
            (song.intensity && variant % 2 && beat == 10))
            put(p[row], 3, 12, KICK);
        else if (beat == 8 || (song.intensity && beat == 4 && row % 32 == 4 && variant == 3))
            put(p[row], 3, 12, SNARE, 0xC, song.intensity ? 40 : 26);
        else if (beat % (song.intensity ? 2 : 4) == 0 || (song.intensity && r.next(6) == 0))
            put(p[row], 3, 24, HAT, 0xC, song.intensity ? 22 + r.next(10) : 14);
    }
    if (song.intensity && variant == 2) put(p[0], 3, 12, CRASH, 0xC, 36);
}

// Bass on channel 0: the chord root, on the beat, an octave leap now and then.
void bass(Pattern& p, const Song& song, int firstChord, Random& r) {
    for (int bar = 0; bar < 4; ++bar) {
        int root = song.chords[(firstChord + bar) % song.chords.size()][0] % 12;
        for (int step = 0; step < 16; step += song.intensity ? 2 : 4) {
            int note = root + ((step == 6 || step == 14) && r.next(2) ? 12 : 0);
            put(p[bar * 16 + step], 0, note, BASS, 0xC, step == 0 ? 48 : 36);
        }
    }
}

// Lead on channel 1: a melody walking over the chord tones and the scale.
void lead(Pattern& p, const Song& song, int firstChord, bool answer, Random& r) {
    static const int scale[7] = {0, 2, 4, 5, 7, 9, 11};
    int degree = 2 + r.next(3);
    for (int bar = 0; bar < 4; ++bar) {
        const std::vector<int>& chord = song.chords[(firstChord + bar) % song.chords.size()];
        for (int step = 0; step < 16; step += 2) {
            bool strong = step % 4 == 0;
            int chance = song.intensity ? 3 : 5;
            if (!strong && r.next(chance) > 1) continue;
            if (answer && bar == 3 && step > 8) break; // leave room to breathe
            int note;
            if (strong) {
                note = chord[1 + r.next(static_cast<int>(chord.size()) - 1)] % 12 + 12;
            } else {
                degree += r.next(3) - 1;
                degree = degree < 0 ? 0 : degree > 6 ? 6 : degree;
                note = scale[degree] + 12 + (song.chords[0][0] % 12 > 6 ? 0 : 0);
            }
            put(p[bar * 16 + step], 1, note + (song.intensity && bar == 2 ? 12 : 0), LEAD, 0xC,
                strong ? 44 : 34);
        }
    }
}

// Pad or arpeggio on channel 2: the chord held, rippling through the
// ProTracker arpeggio effect.
void harmony(Pattern& p, const Song& song, int firstChord) {
    for (int bar = 0; bar < 4; ++bar) {
        const std::vector<int>& chord = song.chords[(firstChord + bar) % song.chords.size()];
        int root = chord[0] % 12 + 12;
        int third = (chord[1] - chord[0] + 12) % 12, fifth = (chord[2] - chord[0] + 12) % 12;
        put(p[bar * 16], 2, root, PAD, 0xC, song.intensity ? 26 : 30);
        for (int step = 1; step < 16; ++step)
            p[bar * 16 + step][2] = {-1, 0, 0, third << 4 | fifth};
        p[bar * 16 + 15][2] = {-1, 0, 0xA, 0x02}; // ease off before the next chord
    }
}

void compose(Pattern& p, const Song& song, int index) {
    for (Row& row : p)
        for (Note& n : row) n = Note();
    Random r{song.seed + static_cast<uint32_t>(index) * 7919u};
    int firstChord = (index * 4) % static_cast<int>(song.chords.size());
    int variant = index % 4;
    if (index == 0) { // an opening that only sets the mood
        harmony(p, song, 0);
        bass(p, song, 0, r);
        if (song.intensity) drums(p, song, 1, r);
    } else {
        harmony(p, song, firstChord);
        bass(p, song, firstChord, r);
        if (variant != 1 || song.intensity) lead(p, song, firstChord, variant == 3, r);
        drums(p, song, variant, r);
    }
    p[0][0].effect = p[0][0].effect ? p[0][0].effect : 0xF;
    if (p[0][0].effect == 0xF)
        p[0][0].param = song.speed;
    else
        p[1][0] = {-1, 0, 0xF, song.speed};
}

void big16(std::vector<uint8_t>* out, int v) {
    out->push_back(static_cast<uint8_t>(v >> 8));
    out->push_back(static_cast<uint8_t>(v));
}

std::vector<uint8_t> build(const Song& song, const char* title) {
    std::vector<uint8_t> out(20, 0);
    for (int i = 0; title[i] && i < 20; ++i) out[i] = static_cast<uint8_t>(title[i]);
    for (int slot = 0; slot < 31; ++slot) {
        const Sample* s =
            slot < static_cast<int>(song.samples.size()) ? &song.samples[slot] : nullptr;
        std::vector<uint8_t> name(22, 0);
        if (s)
            for (size_t i = 0; i < s->name.size() && i < 22; ++i)
                name[i] = static_cast<uint8_t>(s->name[i]);
        out.insert(out.end(), name.begin(), name.end());
        int words = s ? static_cast<int>(s->data.size() / 2) : 0;
        big16(&out, words);
        out.push_back(0); // finetune
        out.push_back(static_cast<uint8_t>(s ? s->volume : 0));
        big16(&out, 0);                        // loop start
        big16(&out, s && s->loop ? words : 1); // loop length
    }
    out.push_back(static_cast<uint8_t>(song.order.size()));
    out.push_back(127);
    for (int i = 0; i < 128; ++i)
        out.push_back(
            static_cast<uint8_t>(i < static_cast<int>(song.order.size()) ? song.order[i] : 0));
    out.insert(out.end(), {'M', '.', 'K', '.'});
    for (int index = 0; index < song.patternCount; ++index) {
        static Pattern p;
        compose(p, song, index);
        for (const Row& row : p)
            for (const Note& n : row) {
                int period = n.note >= 0 ? periods[n.note] : 0;
                out.push_back(static_cast<uint8_t>((n.sample & 0xF0) | (period >> 8)));
                out.push_back(static_cast<uint8_t>(period & 0xFF));
                out.push_back(static_cast<uint8_t>((n.sample & 0x0F) << 4 | n.effect));
                out.push_back(static_cast<uint8_t>(n.param));
            }
    }
    for (const Sample& s : song.samples) {
        for (size_t i = 0; i < s.data.size(); ++i) out.push_back(static_cast<uint8_t>(s.data[i]));
    }
    return out;
}

// Chords as note numbers: root, third, fifth (and more).
std::vector<int> chord(int root, bool minor) {
    return {root, root + (minor ? 3 : 4), root + 7};
}

Song menuSong() {
    Song s;
    // F major: F, C/E, Dm, Bb, F, Am, Gm, C
    s.chords = {chord(5, false), chord(0, false), chord(2, true), chord(10, false),
                chord(5, false), chord(9, true),  chord(7, true), chord(0, false)};
    s.samples = {cycle("soft bass", 64, 1.0, 0.6, 0.0, 52),
                 cycle("flute lead", 32, 1.0, 0.3, 0.1, 44),
                 cycle("warm pad", 64, 0.8, 1.0, 0.0, 40),
                 drum("kick", 520, 160, 50, 1.0, 0.05, 14, 56, 1),
                 drum("snare", 360, 220, 180, 0.3, 0.8, 22, 40, 2),
                 drum("hat", 140, 0, 0, 0.0, 1.0, 60, 24, 3)};
    s.patternCount = 20;
    s.order = {0, 1,  2,  3,  4,  1,  2,  5,  6,  7,  8,  9,  10, 11, 12,
               9, 13, 14, 15, 16, 17, 18, 19, 12, 13, 14, 16, 18, 19};
    s.speed = 7;
    s.intensity = 0;
    s.seed = 2024;
    return s;
}

Song gameSong() {
    Song s;
    // A minor, pushing: Am, F, C, G, Am, Dm, E, E
    s.chords = {chord(9, true), chord(5, false), chord(0, false), chord(7, false),
                chord(9, true), chord(2, true),  chord(4, false), chord(4, false)};
    s.samples = {cycle("punch bass", 128, 0.6, 0.4, 0.8, 54),
                 cycle("square lead", 64, 0.3, 0.2, 1.0, 40),
                 cycle("glass pad", 128, 1.0, 0.4, 0.2, 36),
                 drum("kick", 2000, 200, 45, 1.0, 0.08, 9, 60, 11),
                 drum("snare", 3000, 240, 190, 0.35, 0.9, 12, 44, 12),
                 drum("hat", 800, 0, 0, 0.0, 1.0, 45, 26, 13),
                 drum("crash", 4086, 0, 0, 0.0, 1.0, 3.5, 30, 14)};
    s.patternCount = 17;
    s.order = {0,  1,  2,  3,  4,  5, 6,  7, 8, 1, 2, 3,  9,  10, 11,
               12, 13, 14, 15, 16, 9, 10, 4, 5, 6, 7, 13, 14, 15, 16};
    s.speed = 5;
    s.intensity = 1;
    s.seed = 777;
    return s;
}

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make_music: cannot write %s\n", path.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_music OUTPUT_FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    bool ok = write(folder + "/module_1.mod", build(menuSong(), "reefdart menu"));
    ok = write(folder + "/module_2.mod", build(gameSong(), "reefdart game")) && ok;
    return ok ? 0 : 1;
}
