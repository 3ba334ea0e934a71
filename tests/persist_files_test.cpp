// The six settings files on disk: what a first run leaves, what is written,
// what every kind of damaged or missing file reads back as.
#include "game/game.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <set>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const FILES[] = {"record.dat", "sound.dat", "career.dat",
                             "keys.dat",   "keys2.dat", "keys3.dat"};

std::set<std::string> folderEntries(const std::string& folder) {
    std::set<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
    return names;
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class PersistFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = useTestHost();
        bestScore = 0;
        language = LANG_ENGLISH;
        career = {2, 1, 0, 1, 1, 0};
        keyUp = keyDown = keyRestart = keyExit = keyLeft = keyRight = KEY_UNASSIGNED;
        speaker.volumeSounds(32);
        speaker.volumeMusics(64);
    }
    std::string path(const char* name) const { return folder + "/" + name; }
    std::string contents(const char* name) const { return readFile(path(name)); }
    void put(const char* name, const std::string& text) const { writeFile(path(name), text); }
    // Scrambles every value so that a load must set each one.
    void scramble() {
        bestScore = 4321;
        language = 7;
        career = {9, 9, 9, 9, 9, 9};
        keyUp = keyDown = keyRestart = keyExit = keyLeft = keyRight = 55;
        speaker.volumeSounds(3);
        speaker.volumeMusics(5);
    }
    void expectDefaultSound() const {
        EXPECT_EQ(32, speaker.volumeSounds());
        EXPECT_EQ(64, speaker.volumeMusics());
        EXPECT_EQ(LANG_ENGLISH, language);
    }
    // The sound, career and keys a missing or damaged file gives.
    void expectDefaults() const {
        expectDefaultSound();
        EXPECT_EQ(careerNow(), (std::vector<int>{2, 1, 0, 1, 1, 0}));
        EXPECT_EQ(keysNow(), std::vector<int>(6, KEY_UNASSIGNED));
    }
    static std::vector<int> careerNow() {
        return {career.career1, career.career2, career.career3,
                career.career4, career.career5, career.career6};
    }
    static std::vector<int> keysNow() {
        return {keyLeft, keyRight, keyRestart, keyExit, keyUp, keyDown};
    }
    std::string folder;
};

} // namespace

TEST_F(PersistFiles, AFirstRunLeavesSixEmptyFilesAndSavesTheDefaults) {
    scramble();
    loadSettings();
    for (const char* name : FILES) {
        EXPECT_TRUE(exists(path(name))) << name;
        EXPECT_EQ("", contents(name)) << name;
    }
    EXPECT_EQ(0, bestScore);
    expectDefaults();

    saveSettings();
    EXPECT_EQ("00000", contents("record.dat"));
    EXPECT_EQ("27442", contents("sound.dat"));
    EXPECT_EQ("32102210", contents("career.dat"));
    EXPECT_EQ("090090", contents("keys.dat"));
    EXPECT_EQ("090090", contents("keys2.dat"));
    EXPECT_EQ("090090", contents("keys3.dat"));
    // Written in place of the old files: nothing else is left in the folder.
    EXPECT_EQ(std::set<std::string>(std::begin(FILES), std::end(FILES)), folderEntries(folder));
}

TEST_F(PersistFiles, LanguageAndVolumesAreStoredInSoundDat) {
    language = LANG_FRENCH;
    saveSettings();
    EXPECT_EQ("17442", contents("sound.dat"));
    speaker.volumeSounds(10);
    speaker.volumeMusics(20);
    language = LANG_ENGLISH;
    saveSettings();
    EXPECT_EQ("23020", contents("sound.dat"));
    scramble();
    loadSettings(); // the speaker gets both volumes at once
    EXPECT_EQ(10, speaker.volumeSounds());
    EXPECT_EQ(20, speaker.volumeMusics());
    EXPECT_EQ(LANG_ENGLISH, language);

    put("sound.dat", "17442");
    loadSettings();
    EXPECT_EQ(LANG_FRENCH, language);
    EXPECT_EQ(32, speaker.volumeSounds());
    EXPECT_EQ(64, speaker.volumeMusics());
    put("sound.dat", "00000");
    loadSettings();
    expectDefaultSound();
}

TEST_F(PersistFiles, KeysRoundTripThroughTheirThreeFiles) {
    keyLeft = 37, keyRight = 39, keyRestart = 13, keyExit = 27, keyUp = 38, keyDown = 40;
    saveSettings();
    EXPECT_EQ("139137", contents("keys.dat"));
    EXPECT_EQ("127113", contents("keys2.dat"));
    EXPECT_EQ("140138", contents("keys3.dat"));
    scramble();
    loadSettings();
    EXPECT_EQ(keysNow(), (std::vector<int>{37, 39, 13, 27, 38, 40}));

    // After a capture of four keys the left and right keys are unassigned.
    keyLeft = keyRight = KEY_UNASSIGNED;
    saveSettings();
    EXPECT_EQ("090090", contents("keys.dat"));
    EXPECT_EQ("127113", contents("keys2.dat"));

    put("keys.dat", "000000"); // -100 each: unassigned
    put("keys2.dat", "099100");
    loadSettings(); // keyExit -1 is unassigned too
    EXPECT_EQ(keysNow(),
              (std::vector<int>{KEY_UNASSIGNED, KEY_UNASSIGNED, 0, KEY_UNASSIGNED, 38, 40}));
}

TEST_F(PersistFiles, BestScoreKeepsItsLastFiveDigits) {
    bestScore = 123456;
    saveSettings();
    EXPECT_EQ("23456", contents("record.dat"));
    scramble();
    loadSettings();
    EXPECT_EQ(23456, bestScore);
    bestScore = 99999;
    saveSettings();
    EXPECT_EQ("99999", contents("record.dat"));
}

TEST_F(PersistFiles, TheCareerIsCarriedAndClampedOnReading) {
    put("career.dat", "45314321");
    loadSettings();
    EXPECT_EQ(careerNow(), (std::vector<int>{3, 4, 21, 3, 2, 11}));
    put("record.dat", "00777");
    saveCareer(); // career.dat alone
    EXPECT_EQ("45314321", contents("career.dat"));
    EXPECT_EQ("00777", contents("record.dat"));
    EXPECT_EQ("", contents("sound.dat"));

    put("career.dat", "10000000");
    loadSettings();
    EXPECT_EQ(careerNow(), (std::vector<int>{0, 1, 0, 1, 1, 0}));
}

TEST_F(PersistFiles, OneLineEndAfterTheNumberIsAccepted) {
    for (const char* text : {"17442\n", "17442\r\n"}) {
        put("sound.dat", text);
        put("record.dat", std::string("00321") + (text + 5));
        loadSettings();
        EXPECT_EQ(LANG_FRENCH, language) << text;
        EXPECT_EQ(321, bestScore) << text;
    }
}

TEST_F(PersistFiles, ATwoLineFileIsReadFromItsSecondLine) {
    put("sound.dat", "27442\n17442");
    put("keys.dat", "139137\n140138\n");
    put("record.dat", "00500\n\n"); // the second line is empty
    loadSettings();
    EXPECT_EQ(LANG_FRENCH, language);
    EXPECT_EQ(40, keyRight);
    EXPECT_EQ(38, keyLeft);
    EXPECT_EQ(0, bestScore);
}

TEST_F(PersistFiles, DamagedFilesGiveTheDefaults) {
    const std::string damaged[] = {"abcde",
                                   "-7442",
                                   "+7442",
                                   " 27442",
                                   "27 442",
                                   "17442\r",
                                   "17442\n\r\n",
                                   "17442\r\r\n",
                                   "\n",
                                   std::string("1744") + '\0' + "2",
                                   "1744200000000000000000"};
    for (const std::string& content : damaged) {
        scramble();
        for (const char* name : FILES) put(name, content);
        loadSettings();
        EXPECT_EQ(0, bestScore) << content;
        expectDefaults();
    }
}

TEST_F(PersistFiles, LinesLongerThanTheReadBufferGiveTheDefaults) {
    put("record.dat", "00000000012345");         // 14 characters fit
    put("keys.dat", "000000000000000000139137"); // 24 characters fit
    loadSettings();
    EXPECT_EQ(12345, bestScore);
    EXPECT_EQ(39, keyRight);
    put("record.dat", "000000000012345"); // 15 do not
    put("keys.dat", "0000000000000000000139137");
    put("sound.dat", "1744217442174421744217442");
    loadSettings();
    EXPECT_EQ(0, bestScore);
    EXPECT_EQ(KEY_UNASSIGNED, keyRight);
    expectDefaultSound();
    put("record.dat", "99999999999999"); // beyond 32 bits
    loadSettings();
    EXPECT_EQ(0, bestScore);
}

TEST_F(PersistFiles, OutOfRangeValuesFallBackOneByOne) {
    struct Case {
        const char* text; // language, music and effects digits, each offset
        int language, music, sounds;
    } cases[] = {{"59999", LANG_ENGLISH, 64, 32}, // language 4, music 89, effects 89
                 {"17400", LANG_FRENCH, 64, 32},  // effects -10
                 {"27533", LANG_ENGLISH, 64, 23}, // music 65
                 {"07443", LANG_ENGLISH, 64, 32}, // language -1, effects 33
                 {"11010", LANG_FRENCH, 0, 0}};
    for (const Case& c : cases) {
        scramble();
        put("sound.dat", c.text);
        loadSettings();
        EXPECT_EQ(c.language, language) << c.text;
        EXPECT_EQ(c.music, speaker.volumeMusics()) << c.text;
        EXPECT_EQ(c.sounds, speaker.volumeSounds()) << c.text;
    }
}

TEST_F(PersistFiles, AFolderWhereAFileShouldBeIsSkipped) {
    for (const char* name : FILES) ASSERT_EQ(0, mkdir(path(name).c_str(), 0755));
    scramble();
    loadSettings();
    EXPECT_EQ(4321, bestScore); // record.dat could not be opened: the score stays
    expectDefaults();
    rmdir(path("sound.dat").c_str());
    saveSettings(); // the other files are still written
    EXPECT_EQ("27442", contents("sound.dat"));
    std::set<std::string> expected(std::begin(FILES), std::end(FILES));
    EXPECT_EQ(expected, folderEntries(folder)); // no temporary left behind
}

TEST_F(PersistFiles, AnUnreadableFileGivesTheDefaults) {
    for (const char* name : FILES) {
        ASSERT_EQ(0, symlink("/proc/self/mem", path(name).c_str())); // opens, but reads fail
    }
    scramble();
    loadSettings();
    EXPECT_EQ(4321, bestScore);
    expectDefaults();
    if (geteuid() == 0) return; // permissions do not bind the super-user
    unlink(path("keys.dat").c_str());
    put("keys.dat", "139137");
    chmod(path("keys.dat").c_str(), 0); // no permission at all
    scramble();
    loadSettings();
    EXPECT_EQ(KEY_UNASSIGNED, keyRight);
}

TEST_F(PersistFiles, AFolderWhereNothingCanBeCreatedGivesTheDefaultsAndWritesNothing) {
    setTestDataFolder("/proc");
    scramble();
    loadSettings();
    EXPECT_EQ(4321, bestScore);
    expectDefaults();
    saveSettings();
    EXPECT_FALSE(exists("/proc/record.dat"));
}

TEST_F(PersistFiles, AReadOnlyFolderKeepsItsFilesReadableAndUnchanged) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    put("keys.dat", "139137");
    chmod(path("keys.dat").c_str(), 0444);
    chmod(folder.c_str(), 0555);
    scramble();
    loadSettings();
    EXPECT_EQ(39, keyRight);
    keyRight = 40;
    saveSettings();
    chmod(folder.c_str(), 0755);
    EXPECT_EQ("139137", contents("keys.dat"));
    EXPECT_EQ(std::set<std::string>{"keys.dat"}, folderEntries(folder));
}

namespace {

// Saves cut short by a crash leave NAME.PID.N.tmp files; the next run's first
// save of each file removes those, and nothing else.
TEST_F(PersistFiles, LeftoversOfSavesCutShortAreSweptAway) {
    const std::string mine = "record.dat." + std::to_string(getpid()) + ".0.tmp";
    const char* others[] = {"record.dat.999999999.3.tmp", "sound.dat.12.0.tmp",
                            "career.dat.7.41.tmp"};
    const char* kept[] = {"record.dat.tmp", "record.dat.x.1.tmp", "record.dat.5.tmp", "notes.txt",
                          "record.dat.5.1.tmp.bak"};
    for (const char* f : others) writeFile(path(f), "1");
    for (const char* f : kept) writeFile(path(f), "1");
    writeFile(path(mine.c_str()), "1");
    saveSettings();
    std::set<std::string> left = folderEntries(folder);
    for (const char* f : others) EXPECT_EQ(left.count(f), 0u) << f;
    for (const char* f : kept) EXPECT_EQ(left.count(f), 1u) << f;
    EXPECT_EQ(left.count(mine), 1u); // this process's own, which may still be in use
    EXPECT_EQ(readFile(path("record.dat")).size(), 5u);
}

} // namespace
