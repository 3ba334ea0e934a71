// A save cut short: a process that saves the six settings files over and over
// is killed with SIGKILL at random moments. Every file must hold either the
// old or the new contents in full, and whatever the killed save left behind
// must never be read as a settings file.
#include "game/game.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* FILES[6] = {"record.dat", "sound.dat", "career.dat",
                                  "keys.dat",   "keys2.dat", "keys3.dat"};
constexpr int ROUNDS = 200;

// Everything the six files hold, and the texts they hold it as.
struct SettingsSet {
    int32_t best, lang, sounds, musics;
    CareerRecord career;
    int16_t right, left, exit, restart, down, up;
    const char* texts[6];
};

// Two sets that differ in every file.
const SettingsSet OLD_SET = {12345,
                             LANG_ENGLISH,
                             32,
                             64,
                             {2, 1, 0, 1, 1, 0},
                             KEY_UNASSIGNED,
                             KEY_UNASSIGNED,
                             KEY_UNASSIGNED,
                             KEY_UNASSIGNED,
                             KEY_UNASSIGNED,
                             KEY_UNASSIGNED,
                             {"12345", "27442", "32102210", "090090", "090090", "090090"}};
const SettingsSet NEW_SET = {678,
                             LANG_FRENCH,
                             20,
                             40,
                             {3, 2, 5, 4, 3, 9},
                             39,
                             37,
                             27,
                             82,
                             40,
                             38,
                             {"00678", "15030", "43155419", "139137", "127182", "140138"}};

void apply(const SettingsSet& s) {
    bestScore = s.best;
    language = s.lang;
    speaker.volumeSounds(s.sounds);
    speaker.volumeMusics(s.musics);
    career = s.career;
    keyRight = s.right;
    keyLeft = s.left;
    keyExit = s.exit;
    keyRestart = s.restart;
    keyDown = s.down;
    keyUp = s.up;
}

void scramble() {
    bestScore = language = -7;
    speaker.volumeSounds(1);
    speaker.volumeMusics(1);
    career = {-7, -7, -7, -7, -7, -7};
    keyRight = keyLeft = keyExit = keyRestart = keyDown = keyUp = 1;
}

bool sameCareer(const CareerRecord& a, const CareerRecord& b) {
    return a.career1 == b.career1 && a.career2 == b.career2 && a.career3 == b.career3 &&
           a.career4 == b.career4 && a.career5 == b.career5 && a.career6 == b.career6;
}

// What loadSettings made of file i, compared with the set s.
bool decodedAs(int i, const SettingsSet& s) {
    switch (i) {
    case 0:
        return bestScore == s.best;
    case 1:
        return language == s.lang && speaker.volumeSounds() == s.sounds &&
               speaker.volumeMusics() == s.musics;
    case 2:
        return sameCareer(career, s.career);
    case 3:
        return keyRight == s.right && keyLeft == s.left;
    case 4:
        return keyExit == s.exit && keyRestart == s.restart;
    default:
        return keyDown == s.down && keyUp == s.up;
    }
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

bool isSettingsFile(const std::string& name) {
    for (const char* f : FILES)
        if (name == f) return true;
    return false;
}

// A killed save's leftover: one of the six names with a suffix ending in .tmp.
bool isLeftover(const std::string& name) {
    const std::string tail = ".tmp";
    if (name.size() <= tail.size() || name.compare(name.size() - 4, 4, tail) != 0) return false;
    for (const char* f : FILES) {
        std::string prefix = std::string(f) + ".";
        if (name.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

[[noreturn]] void saveForever() {
    for (;;) {
        apply(NEW_SET);
        saveSettings();
        apply(OLD_SET);
        saveSettings();
    }
}

TEST(KilledWhileSaving, EveryFileHoldsItsOldOrItsNewContents) {
    std::string folder = makeTempFolder();
    setTestDataFolder(folder);
    apply(OLD_SET);
    saveSettings();
    for (int i = 0; i < 6; ++i) ASSERT_EQ(OLD_SET.texts[i], readFile(folder + "/" + FILES[i]));
    apply(NEW_SET);
    saveSettings();
    for (int i = 0; i < 6; ++i) ASSERT_EQ(NEW_SET.texts[i], readFile(folder + "/" + FILES[i]));

    // The kills are spread over the time of two saves: one of the new
    // contents and one of the old.
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) saveSettings();
    long saveUs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count() /
        5);
    std::mt19937 random(12345);
    std::uniform_int_distribution<long> delay(0, 2 * saveUs + 200);

    int mixedRounds = 0, newFiles = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        for (int i = 0; i < 6; ++i) writeFile(folder + "/" + FILES[i], OLD_SET.texts[i]);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) saveForever();
        usleep(static_cast<useconds_t>(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        bool sawOld = false, sawNew = false;
        for (int i = 0; i < 6; ++i) {
            std::string text = readFile(folder + "/" + FILES[i]);
            bool isOld = text == OLD_SET.texts[i], isNew = text == NEW_SET.texts[i];
            ASSERT_TRUE(isOld || isNew)
                << "round " << round << ": " << FILES[i] << " holds \"" << text << "\"";
            sawOld |= isOld;
            sawNew |= isNew;
            newFiles += isNew;
        }
        mixedRounds += sawOld && sawNew;

        // The game reads what the files say, whatever else lies in the folder.
        scramble();
        loadSettings();
        for (int i = 0; i < 6; ++i) {
            std::string text = readFile(folder + "/" + FILES[i]);
            const SettingsSet& s = text == OLD_SET.texts[i] ? OLD_SET : NEW_SET;
            ASSERT_TRUE(decodedAs(i, s)) << "round " << round << ": " << FILES[i];
        }
    }

    int leftovers = 0;
    for (const std::string& name : folderEntries(folder)) {
        if (isSettingsFile(name)) continue;
        EXPECT_TRUE(isLeftover(name)) << name;
        ++leftovers;
        // Never longer than the contents it was to carry.
        EXPECT_LE(readFile(folder + "/" + name).size(), 8u) << name;
    }
    std::printf("faults: %d rounds, a save of all six files takes about %ld us; %d rounds "
                "caught a save between files, %d of %d files new; %d leftovers\n",
                ROUNDS, saveUs, mixedRounds, newFiles, 6 * ROUNDS, leftovers);
    // The kills did land inside saves, not only between them.
    EXPECT_GT(mixedRounds, 0);
}

} // namespace
