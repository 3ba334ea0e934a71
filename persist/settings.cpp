#include "persist/settings.h"

#include "platform/wince/files.h"
#include "platform/wince/winapi.h"
#include "sound/sound.h"

#include <cstring>

int32_t bestScore = 0;
int16_t keyUp = KEY_UNASSIGNED, keyDown = KEY_UNASSIGNED, keyRestart = KEY_UNASSIGNED,
        keyExit = KEY_UNASSIGNED, keyLeft = KEY_UNASSIGNED, keyRight = KEY_UNASSIGNED;
int32_t language = LANG_ENGLISH;
CareerRecord career = {2, 1, 0, 1, 1, 0};

namespace {

constexpr int32_t SOUND_DEFAULT = 27442; // English, music 64, effects 32
constexpr size_t KEYS_BUFFER = 25;       // read buffer of the keys files
constexpr size_t VALUE_BUFFER = 15;      // of the other three

// Length of the line starting at start, its line end included.
size_t lineLength(const char* text, size_t length, size_t start) {
    const void* end = std::memchr(text + start, '\n', length - start);
    if (!end) return length - start;
    return static_cast<size_t>(static_cast<const char*>(end) - text) + 1 - start;
}

// The number a file holds. The file is read as two line reads into a buffer of
// bufferSize characters would read it: a one-line file gives its line, a longer
// one its second line. One line end after the number is allowed; a line longer
// than the buffer, or anything but digits, gives 0. opened tells whether the
// file could be opened at all.
int32_t readNumber(const char* name, size_t bufferSize, bool* opened) {
    const size_t limit = bufferSize - 1;
    char text[2 * KEYS_BUFFER];
    long got = readFileStart(pathBesideProgram(name).c_str(), text, 2 * limit + 1);
    *opened = got >= 0;
    if (got <= 0) return 0;
    size_t length = static_cast<size_t>(got);
    size_t start = 0;
    size_t line = lineLength(text, length, 0);
    // Mended: fidelity M17.
    if (line > limit) return 0;
    // Kept on purpose: fidelity K23.
    if (line < length) {
        start = line;
        line = lineLength(text, length, start);
        if (line > limit) return 0;
    }
    // Mended: fidelity M15.
    if (line > 0 && text[start + line - 1] == '\n') {
        --line;
        if (line > 0 && text[start + line - 1] == '\r') --line;
    }
    char digits[KEYS_BUFFER];
    std::memcpy(digits, text + start, line);
    digits[line] = '\0';
    if (std::strlen(digits) != line) return 0; // a NUL byte in the line
    return parseDecimal(digits);
}

int32_t readNumber(const char* name, size_t bufferSize) {
    bool opened;
    return readNumber(name, bufferSize, &opened);
}

void writeNumber(const char* name, int32_t n, int32_t count) {
    std::string text;
    writeDigits(text, n, count);
    replaceFile(pathBesideProgram(name).c_str(), text.data(), text.size());
}

int16_t decodeKey(int32_t group) {
    int32_t key = group - 100;
    return key < 0 ? KEY_UNASSIGNED : static_cast<int16_t>(key);
}

void readKeys(const char* name, int16_t* high, int16_t* low) {
    int32_t n = readNumber(name, KEYS_BUFFER);
    *low = decodeKey(n % 1000);
    *high = decodeKey(n / 1000 % 1000);
}

void writeKeys(const char* name, int16_t high, int16_t low) {
    writeNumber(name, 1000 * high + low + 100100, 6);
}

void readRecord() {
    bool opened;
    int32_t n = readNumber("record.dat", VALUE_BUFFER, &opened);
    if (opened) bestScore = n;
}

// A value out of its range falls back to its default.
void readSound() {
    int32_t n = readNumber("sound.dat", VALUE_BUFFER);
    if (n == 0) n = SOUND_DEFAULT;
    int32_t sounds = n % 100 - 10;
    int32_t musics = n / 100 % 100 - 10;
    int32_t lang = n / 10000 % 10 - 1;
    // Mended: fidelity M16.
    if (sounds < 0 || sounds > SOUND_VOLUME_MAX) sounds = SOUND_VOLUME_MAX;
    if (musics < 0 || musics > MUSIC_VOLUME_MAX) musics = MUSIC_VOLUME_MAX;
    language = lang == LANG_FRENCH || lang == LANG_ENGLISH ? lang : LANG_ENGLISH;
    speaker.volumeSounds(sounds);
    speaker.volumeMusics(musics);
}

int32_t atLeast(int32_t value, int32_t low, int32_t fallback) {
    return value < low ? fallback : value;
}

void readCareer() {
    int32_t n = readNumber("career.dat", VALUE_BUFFER);
    career.career6 = atLeast(n % 100 - 10, 0, 0);
    career.career5 = atLeast(n / 100 % 10 - 1, 1, 1);
    career.career4 = atLeast(n / 1000 % 10 - 1, 1, 1);
    career.career3 = atLeast(n / 10000 % 100 - 10, 0, 0);
    career.career2 = atLeast(n / 1000000 % 10 - 1, 0, 1);
    career.career1 = atLeast(n / 10000000 % 10 - 1, 0, 2);
}

void writeRecord() {
    // Kept on purpose: fidelity K24.
    writeNumber("record.dat", bestScore, 5);
}

void writeSound() {
    int32_t n = 10000 * language + 100 * speaker.volumeMusics() + speaker.volumeSounds() + 11010;
    writeNumber("sound.dat", n, 5);
}

} // namespace

// Mended: fidelity M18.
std::string pathBesideProgram(const char* name) {
    const char* folder = dataFolder();
    if (!folder || !*folder) return name;
    std::string path = folder;
    if (path.back() != '/') path += '/';
    return path + name;
}

int32_t parseDecimal(const char* text) {
    if (!text) return 0;
    int64_t value = 0;
    bool overflow = false;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) {
            overflow = true;
            value = 0;
        }
    }
    return overflow ? 0 : static_cast<int32_t>(value);
}

const char* digitText(int32_t n) {
    static const char* const texts[40] = {
        "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13",
        "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27",
        "28", "29", "30", "31", "32", "33", "34", "35", "36", "37", "38", "39"};
    // Mended: fidelity M20.
    return n >= 0 && n < 40 ? texts[n] : "";
}

void writeDigits(std::string& text, int32_t n, int32_t count) {
    if (count <= 0) return;
    if (count > 10) count = 10;
    int64_t power = 1;
    for (int32_t k = 1; k < count; ++k) power *= 10;
    // Digits of the value's floor remainder, so that even a negative value
    // gives count digits.
    int64_t value = static_cast<int64_t>(n) % (power * 10);
    if (value < 0) value += power * 10;
    for (; power > 0; power /= 10) text += digitText(static_cast<int32_t>(value / power % 10));
}

void loadSettings() {
    readRecord();
    readSound();
    readCareer();
    readKeys("keys.dat", &keyRight, &keyLeft);
    readKeys("keys2.dat", &keyExit, &keyRestart);
    readKeys("keys3.dat", &keyDown, &keyUp);
}

// Kept on purpose: fidelity K10.
void saveCareer() {
    const CareerRecord& c = career;
    int32_t n = c.career6 + 100 * c.career5 + 1000 * c.career4 + 10000 * c.career3 +
                1000000 * c.career2 + 10000000 * c.career1 + 11101110;
    writeNumber("career.dat", n, 8);
}

void saveSettings() {
    writeRecord();
    writeSound();
    saveCareer();
    writeKeys("keys.dat", keyRight, keyLeft);
    writeKeys("keys2.dat", keyExit, keyRestart);
    writeKeys("keys3.dat", keyDown, keyUp);
}
