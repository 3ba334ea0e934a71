// Saves killed with SIGKILL at random moments: every file holds its old or its
// new contents in full, and what a killed save leaves is never read as settings.
#include "persist/settings.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* FILES[6] = {"record.dat", "sound.dat", "career.dat",
                                  "keys.dat",   "keys2.dat", "keys3.dat"};
constexpr const char* OLD_TEXTS[6] = {"12345", "27442", "32102210", "090090", "090090", "090090"};
constexpr const char* NEW_TEXTS[6] = {"00678", "15030", "43155419", "139137", "127182", "140138"};
constexpr int ROUNDS = 200;

void fill(const std::string& folder, const char* const texts[6]) {
    for (int i = 0; i < 6; ++i) writeFile(folder + "/" + FILES[i], texts[i]);
}

void copySettings(const std::string& from, const std::string& to) {
    setTestDataFolder(from);
    loadSettings();
    setTestDataFolder(to);
    saveSettings();
}

TEST(KilledWhileSaving, EveryFileHoldsItsOldOrItsNewContents) {
    std::string folder = makeTempFolder(), olds = makeTempFolder(), news = makeTempFolder(),
                check = makeTempFolder();
    fill(olds, OLD_TEXTS);
    fill(news, NEW_TEXTS);
    // The kills are spread over the time of two saves.
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) copySettings(news, folder);
    auto save = std::chrono::duration_cast<std::chrono::microseconds>(
        (std::chrono::steady_clock::now() - t0) / 5);
    std::mt19937 random(12345);
    std::uniform_int_distribution<long> delay(0, 2 * static_cast<long>(save.count()) + 200);

    int mixedRounds = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        fill(folder, OLD_TEXTS);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        while (child == 0) {
            copySettings(news, folder);
            copySettings(olds, folder);
        }
        usleep(static_cast<useconds_t>(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        int fresh = 0;
        for (int i = 0; i < 6; ++i) {
            std::string text = readFile(folder + "/" + FILES[i]);
            ASSERT_TRUE(text == OLD_TEXTS[i] || text == NEW_TEXTS[i])
                << "round " << round << ": " << FILES[i] << " holds \"" << text << "\"";
            fresh += text == NEW_TEXTS[i];
        }
        mixedRounds += fresh > 0 && fresh < 6;
        // The game reads what the files say, whatever else lies in the folder.
        copySettings(folder, check);
        for (const char* name : FILES)
            ASSERT_EQ(readFile(check + "/" + name), readFile(folder + "/" + name))
                << "round " << round << ": " << name;
    }

    // Leftovers: one of the six names with a suffix ending in .tmp, no longer
    // than the contents it was to carry.
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename(), stem = name.substr(0, name.find(".dat") + 4);
        if (std::count(FILES, FILES + 6, name)) continue;
        EXPECT_TRUE(std::count(FILES, FILES + 6, stem) == 1 && name.size() > stem.size() + 4 &&
                    name.compare(name.size() - 4, 4, ".tmp") == 0)
            << name;
        EXPECT_LE(readFile(folder + "/" + name).size(), 8u) << name;
    }
    EXPECT_GT(mixedRounds, 0) << "no kill landed between two files of a save";
}

} // namespace
