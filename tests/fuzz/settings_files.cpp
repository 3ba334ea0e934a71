// The six settings files with any contents: the input is cut at each 0xFF
// byte into the contents of record.dat, sound.dat, career.dat, keys.dat,
// keys2.dat and keys3.dat, in that order; a file without a piece is missing.
// After loading, every value must lie in the range the game relies on; after
// saving, every file must hold exactly its digits and load back the same.
#include "game/game.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const FILES[] = {"record.dat", "sound.dat", "career.dat",
                             "keys.dat",   "keys2.dat", "keys3.dat"};
const size_t DIGITS[] = {5, 5, 8, 6, 6, 6};
constexpr int FILE_COUNT = 6;
constexpr uint8_t SEPARATOR = 0xFF;

std::string folder;

void fail(const char* what) {
    std::fprintf(stderr, "settings invariant broken: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

std::string pathOf(int file) {
    return folder + "/" + FILES[file];
}

// A folder on a memory file system when there is one: saving syncs every file.
std::string makeFolder() {
    struct stat info;
    const char* base = stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : nullptr;
    if (!base) return makeTempFolder();
    char name[] = "/dev/shm/reefdart-fuzz-XXXXXX";
    if (!mkdtemp(name)) return makeTempFolder();
    return name;
}

void removeFolder() {
    for (int i = 0; i < FILE_COUNT; ++i) unlink(pathOf(i).c_str());
    rmdir(folder.c_str());
}

// Every entry of the folder must be one of the six files: a save leaves no
// temporary file behind.
void checkOnlySettingsFiles() {
    DIR* dir = opendir(folder.c_str());
    check(dir != nullptr, "the data folder can be listed");
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
        bool known = false;
        for (const char* name : FILES) known = known || !std::strcmp(entry->d_name, name);
        check(known, "nothing but the six files in the data folder");
        ++count;
    }
    closedir(dir);
    check(count == FILE_COUNT, "all six files exist after load and save");
}

std::string readWhole(int file) {
    std::string text;
    FILE* f = std::fopen(pathOf(file).c_str(), "rb");
    if (!f) return text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

void writeWhole(int file, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(pathOf(file).c_str(), "wb");
    if (!f) fail("a settings file can be created for the test");
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

struct Values {
    int32_t best, language, sounds, musics;
    CareerRecord career;
    int16_t keys[6];
};

Values current() {
    return {bestScore,
            language,
            speaker.volumeSounds(),
            speaker.volumeMusics(),
            career,
            {keyUp, keyDown, keyRestart, keyExit, keyLeft, keyRight}};
}

bool same(const Values& a, const Values& b) {
    const CareerRecord &x = a.career, &y = b.career;
    return a.best == b.best && a.language == b.language && a.sounds == b.sounds &&
           a.musics == b.musics && x.career1 == y.career1 && x.career2 == y.career2 &&
           x.career3 == y.career3 && x.career4 == y.career4 && x.career5 == y.career5 &&
           x.career6 == y.career6 && !std::memcmp(a.keys, b.keys, sizeof a.keys);
}

// Values no load can produce, so that each load must set every one of them.
void scramble() {
    bestScore = -7;
    language = 7;
    career = {-5, -5, -5, -5, -5, -5};
    keyUp = keyDown = keyRestart = keyExit = keyLeft = keyRight = -3;
    speaker.volumeSounds(1);
    speaker.volumeMusics(3);
}

bool within(int32_t value, int32_t low, int32_t high) {
    return value >= low && value <= high;
}

void checkRanges() {
    check(bestScore >= 0, "best score not negative");
    check(language == LANG_FRENCH || language == LANG_ENGLISH, "language 0 or 1");
    check(within(speaker.volumeSounds(), 0, SOUND_VOLUME_MAX), "sound volume 0..32");
    check(within(speaker.volumeMusics(), 0, MUSIC_VOLUME_MAX), "music volume 0..64");
    check(within(career.career1, 0, 8), "career1 0..8");
    check(within(career.career2, 0, 8), "career2 0..8");
    check(within(career.career3, 0, 89), "career3 0..89");
    check(within(career.career4, 1, 8), "career4 1..8");
    check(within(career.career5, 1, 8), "career5 1..8");
    check(within(career.career6, 0, 89), "career6 0..89");
    for (int16_t key : {keyUp, keyDown, keyRestart, keyExit, keyLeft, keyRight})
        check(key == KEY_UNASSIGNED || within(key, 0, 899), "key -10 or 0..899");
}

// The value of a piece that is nothing but a few digits, as the file format
// reads it; -1 for any other piece.
int64_t plainNumber(const uint8_t* data, size_t size) {
    if (size == 0 || size > 9) return -1;
    int64_t n = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] < '0' || data[i] > '9') return -1;
        n = n * 10 + (data[i] - '0');
    }
    return n;
}

int16_t expectedKey(int64_t group) {
    return group - 100 < 0 ? KEY_UNASSIGNED : static_cast<int16_t>(group - 100);
}

// Where a file holds a plain number, its decoded values are pinned exactly.
void checkPlainNumbers(const int64_t* n) {
    if (n[0] >= 0) check(bestScore == n[0], "record.dat gives its number as the best score");
    if (n[1] > 0) {
        int64_t sounds = n[1] % 100 - 10, musics = n[1] / 100 % 100 - 10,
                lang = n[1] / 10000 % 10 - 1;
        if (within(static_cast<int32_t>(sounds), 0, SOUND_VOLUME_MAX))
            check(speaker.volumeSounds() == sounds, "sound.dat gives its sound volume");
        if (within(static_cast<int32_t>(musics), 0, MUSIC_VOLUME_MAX))
            check(speaker.volumeMusics() == musics, "sound.dat gives its music volume");
        if (lang == LANG_FRENCH || lang == LANG_ENGLISH)
            check(language == lang, "sound.dat gives its language");
    }
    if (n[2] >= 0) {
        int64_t c6 = n[2] % 100 - 10, c5 = n[2] / 100 % 10 - 1;
        check(career.career6 == (c6 < 0 ? 0 : c6), "career.dat gives career6");
        check(career.career5 == (c5 < 1 ? 1 : c5), "career.dat gives career5");
    }
    int16_t* pairs[3][2] = {{&keyRight, &keyLeft}, {&keyExit, &keyRestart}, {&keyDown, &keyUp}};
    for (int k = 0; k < 3; ++k) {
        if (n[3 + k] < 0) continue;
        check(*pairs[k][1] == expectedKey(n[3 + k] % 1000), "a keys file gives its low key");
        check(*pairs[k][0] == expectedKey(n[3 + k] / 1000 % 1000),
              "a keys file gives its high key");
    }
}

void checkSavedFiles() {
    for (int i = 0; i < FILE_COUNT; ++i) {
        std::string text = readWhole(i);
        check(text.size() == DIGITS[i], "a saved file holds exactly its digit count");
        for (char c : text) check(c >= '0' && c <= '9', "a saved file holds nothing but digits");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = makeFolder();
    setTestDataFolder(folder);
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int i = 0; i < FILE_COUNT; ++i) unlink(pathOf(i).c_str());
    int64_t plain[FILE_COUNT] = {-1, -1, -1, -1, -1, -1};
    size_t start = 0;
    for (int file = 0; file < FILE_COUNT && start <= size; ++file) {
        const void* cut = std::memchr(data + start, SEPARATOR, size - start);
        size_t end = cut ? static_cast<size_t>(static_cast<const uint8_t*>(cut) - data) : size;
        writeWhole(file, data + start, end - start);
        plain[file] = plainNumber(data + start, end - start);
        start = end + 1;
    }

    scramble();
    loadSettings();
    checkRanges();
    checkPlainNumbers(plain);
    Values loaded = current();

    saveSettings();
    checkOnlySettingsFiles();
    checkSavedFiles();

    scramble();
    loadSettings();
    Values reloaded = current();
    loaded.best %= 100000; // the record keeps the score's last five digits
    check(same(loaded, reloaded), "saved settings load back the same");
    return 0;
}
