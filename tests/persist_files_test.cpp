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
#include <sstream>
#include <string>
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
    static void scramble() {
        bestScore = 4321;
        language = 7;
        career = {9, 9, 9, 9, 9, 9};
        keyUp = keyDown = keyRestart = keyExit = keyLeft = keyRight = 55;
        speaker.volumeSounds(3);
        speaker.volumeMusics(5);
    }
    // Everything the files keep, as the values that differ from a first
    // run's ("" for a best score of 0, English, full volumes, the first
    // career and no keys), the six keys (left, right, restart, exit, up,
    // down; "-" unassigned) up to the last one assigned.
    static std::string state() {
        std::ostringstream out;
        if (bestScore) out << " best " << bestScore;
        if (language != LANG_ENGLISH) {
            if (language == LANG_FRENCH)
                out << " French";
            else
                out << " language " << language;
        }
        if (speaker.volumeSounds() != 32) out << " sounds " << speaker.volumeSounds();
        if (speaker.volumeMusics() != 64) out << " music " << speaker.volumeMusics();
        const int c[] = {career.career1, career.career2, career.career3,
                         career.career4, career.career5, career.career6};
        if (std::vector<int>(c, c + 6) != std::vector<int>{2, 1, 0, 1, 1, 0})
            for (int i = 0; i < 6; ++i) out << (i ? " " : " career ") << c[i];
        for (int16_t k : {keyLeft, keyRight, keyRestart, keyExit, keyUp, keyDown})
            out << (k == KEY_UNASSIGNED ? " -" : " " + std::to_string(k));
        std::string text = out.str();
        while (text.size() >= 2 && text.compare(text.size() - 2, 2, " -") == 0)
            text.resize(text.size() - 2); // the keys left unassigned at the end
        return text.empty() ? text : text.substr(1);
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
    EXPECT_EQ("", state());
    saveSettings();
    const char* const saved[] = {"00000", "27442", "32102210", "090090", "090090", "090090"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(saved[i], contents(FILES[i])) << FILES[i];
    // Written in place of the old files: nothing else is left in the folder.
    EXPECT_EQ(std::set<std::string>(std::begin(FILES), std::end(FILES)), folderEntries(folder));
}

// Each value as its file holds it, and back: keys in pairs (keys.dat right
// and left, keys2.dat exit and restart, keys3.dat down and up), each plus
// 100; sound.dat the language, music / 4 and effects / 2 plus 11010.
TEST_F(PersistFiles, EachValueIsWrittenAsItsFileKeepsItAndReadBack) {
    const struct {
        void (*change)();
        const char* file;
        const char* text;
        const char* read; // the state loadSettings gives back
    } cases[] = {
        {[] { language = LANG_FRENCH; }, "sound.dat", "17442", "French"},
        {[] { speaker.volumeSounds(10), speaker.volumeMusics(20); }, "sound.dat", "23020",
         "sounds 10 music 20"},
        {[] {
             keyLeft = 37, keyRight = 39, keyRestart = 13, keyExit = 27, keyUp = 38, keyDown = 40;
         },
         "keys.dat", "139137", "37 39 13 27 38 40"},
        {[] { keyRestart = 13, keyExit = 27, keyUp = 38, keyDown = 40; }, "keys2.dat", "127113",
         "- - 13 27 38 40"},
        {[] { keyUp = 38, keyDown = 40; }, "keys3.dat", "140138", "- - - - 38 40"},
        {[] { keyUp = 38, keyDown = 40; }, "keys.dat", "090090", "- - - - 38 40"},
        {[] { bestScore = 123456; }, "record.dat", "23456", "best 23456"}, // the last five digits
        {[] { bestScore = 99999; }, "record.dat", "99999", "best 99999"},
        {[] { career = {3, 4, 21, 3, 2, 11}; }, "career.dat", "45314321", "career 3 4 21 3 2 11"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SetUp();
        c.change();
        saveSettings();
        EXPECT_EQ(c.text, contents(c.file));
        scramble();
        loadSettings(); // the speaker gets both volumes at once
        EXPECT_EQ(c.read, state());
    }
    // saveCareer writes career.dat alone.
    put("record.dat", "00777");
    remove(path("sound.dat").c_str());
    career = {3, 4, 21, 3, 2, 11};
    saveCareer();
    EXPECT_EQ("45314321", contents("career.dat"));
    EXPECT_EQ("00777", contents("record.dat"));
    EXPECT_FALSE(exists(path("sound.dat")));
}

// What one file's text reads as, the other files empty: numbers out of range
// fall back one by one, one line end after the number is accepted, a file of
// two lines is read from its second, and lines longer than the read buffer
// give the defaults.
TEST_F(PersistFiles, EachFilesTextReadsAsItsValuesOrTheDefaults) {
    const struct {
        const char* file;
        const char* text;
        const char* read;
    } cases[] = {
        {"sound.dat", "17442", "French"},
        {"sound.dat", "00000", ""},
        {"sound.dat", "59999", ""},          // language 4, music 89, effects 89
        {"sound.dat", "17400", "French"},    // effects -10
        {"sound.dat", "27533", "sounds 23"}, // music 65
        {"sound.dat", "07443", ""},          // language -1, effects 33
        {"sound.dat", "11010", "French sounds 0 music 0"},
        {"keys.dat", "000000", ""},       // -100 each: unassigned
        {"keys2.dat", "099100", "- - 0"}, // exit -1 is unassigned too
        {"career.dat", "10000000", "career 0 1 0 1 1 0"},
        {"sound.dat", "17442\n", "French"},
        {"record.dat", "00321\r\n", "best 321"},
        {"sound.dat", "27442\n17442", "French"},
        {"keys.dat", "139137\n140138\n", "38 40"},
        {"record.dat", "00500\n\n", ""},                   // the second line is empty
        {"record.dat", "00000000012345", "best 12345"},    // 14 characters fit
        {"keys.dat", "000000000000000000139137", "37 39"}, // 24 characters fit
        {"record.dat", "000000000012345", ""},             // 15 do not
        {"keys.dat", "0000000000000000000139137", ""},
        {"sound.dat", "1744217442174421744217442", ""},
        {"record.dat", "99999999999999", ""}, // beyond 32 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " \"" + c.text + "\"");
        for (const char* name : FILES) put(name, name == std::string(c.file) ? c.text : "");
        scramble();
        loadSettings();
        EXPECT_EQ(c.read, state());
    }
    // Damaged texts in every file give the defaults.
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
        for (const char* name : FILES) put(name, content);
        scramble();
        loadSettings();
        EXPECT_EQ("", state()) << content;
    }
}

TEST_F(PersistFiles, AFolderWhereAFileShouldBeIsSkipped) {
    for (const char* name : FILES) ASSERT_EQ(0, mkdir(path(name).c_str(), 0755));
    scramble();
    loadSettings();
    EXPECT_EQ("best 4321", state()); // record.dat could not be opened: the score stays
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
    EXPECT_EQ("best 4321", state());
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
    EXPECT_EQ("best 4321", state());
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
