// The six settings files, cut from the input at each 0xFF byte (a file without a piece is
// missing): loaded values in range; saved files exactly their digits, loading back the same.
#include "fuzz/check.h"
#include "game/game.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const FILES[] = {"record.dat", "sound.dat", "career.dat",
                             "keys.dat",   "keys2.dat", "keys3.dat"};
const size_t DIGITS[] = {5, 5, 8, 6, 6, 6};
constexpr int FILE_COUNT = 6;
constexpr uint8_t SEPARATOR = 0xFF;

std::string folder;

std::string pathOf(int file) {
    return folder + "/" + FILES[file];
}

// A folder on a memory file system when there is one: saving syncs every file.
std::string makeFolder() {
    char name[] = "/dev/shm/reefdart-fuzz-XXXXXX";
    return mkdtemp(name) ? std::string(name) : makeTempFolder();
}

// The folder holds the six files and nothing else (no temporary file), each exactly its digits.
void checkSavedFiles() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const int file =
            static_cast<int>(std::find(FILES, FILES + FILE_COUNT, entry.path().filename()) - FILES);
        check(file < FILE_COUNT, "nothing but the six files in the data folder");
        std::ifstream in(entry.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        check(text.size() == DIGITS[file], "a saved file holds exactly its digit count");
        for (char c : text) check(c >= '0' && c <= '9', "a saved file holds nothing but digits");
        ++count;
    }
    check(count == FILE_COUNT, "all six files exist after load and save");
}

std::vector<int32_t> current() {
    const CareerRecord& c = career;
    std::vector<int32_t> v = {bestScore, language, speaker.volumeSounds(), speaker.volumeMusics()};
    v.insert(v.end(), {c.career1, c.career2, c.career3, c.career4, c.career5, c.career6});
    v.insert(v.end(), {keyUp, keyDown, keyRestart, keyExit, keyLeft, keyRight});
    return v;
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
    const CareerRecord& c = career;
    check(within(c.career1, 0, 8) && within(c.career2, 0, 8) && within(c.career3, 0, 89) &&
              within(c.career4, 1, 8) && within(c.career5, 1, 8) && within(c.career6, 0, 89),
          "career values 0..8, 0..8, 0..89, 1..8, 1..8, 0..89");
    for (int16_t key : {keyUp, keyDown, keyRestart, keyExit, keyLeft, keyRight})
        check(key == KEY_UNASSIGNED || within(key, 0, 899), "key -10 or 0..899");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = makeFolder();
    setTestDataFolder(folder);
    std::atexit([] { std::filesystem::remove_all(folder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int i = 0; i < FILE_COUNT; ++i) unlink(pathOf(i).c_str());
    size_t start = 0;
    for (int file = 0; file < FILE_COUNT && start <= size; ++file) {
        const void* cut = std::memchr(data + start, SEPARATOR, size - start);
        size_t end = cut ? static_cast<size_t>(static_cast<const uint8_t*>(cut) - data) : size;
        FILE* f = std::fopen(pathOf(file).c_str(), "wb");
        check(f != nullptr, "a settings file can be created for the test");
        if (end > start) std::fwrite(data + start, 1, end - start, f);
        std::fclose(f);
        start = end + 1;
    }

    scramble();
    loadSettings();
    checkRanges();
    std::vector<int32_t> loaded = current();
    saveSettings();
    checkSavedFiles();
    scramble();
    loadSettings();
    loaded[0] %= 100000; // the record keeps the score's last five digits
    check(loaded == current(), "saved settings load back the same");
    return 0;
}
