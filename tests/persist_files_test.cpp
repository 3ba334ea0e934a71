// The six settings files on disk and the number texts they are made of.
#include "game/game.h"
#include "persist/settings.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

const char* const FILES[] = {"record.dat", "sound.dat", "career.dat",
                             "keys.dat",   "keys2.dat", "keys3.dat"};

std::set<std::string> folderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename());
    return names;
}

void setAll(int32_t best, int32_t lang, CareerRecord c, int16_t key, int sounds, int musics) {
    bestScore = best;
    language = lang;
    career = c;
    keyUp = keyDown = keyRestart = keyExit = keyLeft = keyRight = key;
    speaker.volumeSounds(sounds);
    speaker.volumeMusics(musics);
}

// The values that differ from a first run's, then the keys (left, right,
// restart, exit, up, down; "-" unassigned) up to the last one assigned.
std::string state() {
    std::ostringstream out;
    if (bestScore) out << " best " << bestScore;
    if (language == LANG_FRENCH) out << " French";
    if (language != LANG_FRENCH && language != LANG_ENGLISH) out << " language " << language;
    if (speaker.volumeSounds() != 32) out << " sounds " << speaker.volumeSounds();
    if (speaker.volumeMusics() != 64) out << " music " << speaker.volumeMusics();
    const CareerRecord& c = career;
    if (std::vector<int>{c.career1, c.career2, c.career3, c.career4, c.career5, c.career6} !=
        std::vector<int>{2, 1, 0, 1, 1, 0})
        out << " career " << c.career1 << " " << c.career2 << " " << c.career3 << " " << c.career4
            << " " << c.career5 << " " << c.career6;
    for (int16_t k : {keyLeft, keyRight, keyRestart, keyExit, keyUp, keyDown})
        out << (k == KEY_UNASSIGNED ? " -" : " " + std::to_string(k));
    std::string text = out.str();
    while (text.size() >= 2 && text.compare(text.size() - 2, 2, " -") == 0)
        text.resize(text.size() - 2);
    return text.empty() ? text : text.substr(1);
}

// Loads the files over values all changed, so that the load must set each one,
// and tells the state it leaves.
std::string loaded() {
    setAll(4321, 7, {9, 9, 9, 9, 9, 9}, 55, 3, 5);
    loadSettings();
    return state();
}

class PersistFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = useTestHost();
        setAll(0, LANG_ENGLISH, {2, 1, 0, 1, 1, 0}, KEY_UNASSIGNED, 32, 64);
    }
    std::string path(const char* name) const { return folder + "/" + name; }
    std::string contents(const char* name) const { return readFile(path(name)); }
    void put(const char* name, const std::string& text) const { writeFile(path(name), text); }
    std::string folder;
};

TEST_F(PersistFiles, AFirstRunLeavesSixEmptyFilesAndSavesTheDefaults) {
    EXPECT_EQ("", loaded());
    for (const char* name : FILES)
        EXPECT_TRUE(access(path(name).c_str(), F_OK) == 0 && contents(name).empty());
    saveSettings();
    const char* const saved[] = {"00000", "27442", "32102210", "090090", "090090", "090090"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(saved[i], contents(FILES[i])) << FILES[i];
    // Written in place of the old files: nothing else is left in the folder.
    EXPECT_EQ(std::set<std::string>(std::begin(FILES), std::end(FILES)), folderEntries(folder));
    career = {3, 4, 21, 3, 2, 11};
    bestScore = 123456;
    saveCareer(); // career.dat alone
    EXPECT_EQ("45314321", contents("career.dat"));
    EXPECT_EQ("00000", contents("record.dat"));
    saveSettings();
    EXPECT_EQ("23456", contents("record.dat")); // the last five digits
}

// One file's text, the others empty: what it reads as, and whether it is saved
// back as the same text.
TEST_F(PersistFiles, EachFilesTextReadsAsItsValuesOrTheDefaults) {
    const struct {
        const char* file;
        const char* text;
        const char* read;
        bool same; // saved back as the same text
    } cases[] = {
        {"sound.dat", "17442", "French", true},
        {"sound.dat", "23020", "sounds 10 music 20", true},
        {"keys.dat", "139137", "37 39", true},
        {"keys2.dat", "127113", "- - 13 27", true},
        {"keys3.dat", "140138", "- - - - 38 40", true},
        {"record.dat", "99999", "best 99999", true},
        {"career.dat", "45314321", "career 3 4 21 3 2 11", true},
        {"sound.dat", "00000", "", false},
        {"sound.dat", "59999", "", false},          // language 4, music 89, effects 89
        {"sound.dat", "17400", "French", false},    // effects -10
        {"sound.dat", "27533", "sounds 23", false}, // music 65
        {"sound.dat", "07443", "", false},          // language -1, effects 33
        {"sound.dat", "11010", "French sounds 0 music 0", true},
        {"keys.dat", "000000", "", false},       // -100 each: unassigned
        {"keys2.dat", "099100", "- - 0", false}, // exit -1 is unassigned too
        {"career.dat", "10000000", "career 0 1 0 1 1 0", false},
        {"sound.dat", "17442\n", "French", false},
        {"record.dat", "00321\r\n", "best 321", false},
        {"keys.dat", "139137\n140138\n", "38 40", false},
        {"record.dat", "00500\n\n", "", false},                   // the second line is empty
        {"record.dat", "00000000012345", "best 12345", false},    // 14 characters fit
        {"keys.dat", "000000000000000000139137", "37 39", false}, // 24 characters fit
        {"record.dat", "000000000012345", "", false},             // 15 do not
        {"keys.dat", "0000000000000000000139137", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " \"" + c.text + "\"");
        for (const char* name : FILES) put(name, name == std::string(c.file) ? c.text : "");
        EXPECT_EQ(c.read, loaded());
        saveSettings();
        EXPECT_TRUE(!c.same || c.text == contents(c.file)) << contents(c.file);
    }
    // Damaged line ends, a NUL and over-long lines in every file give the defaults.
    for (const std::string& text : {"17442\r"s, "17442\n\r\n"s, "17442\r\r\n"s, "\n"s, "1744\0002"s,
                                    "1744200000000000000000"s}) {
        for (const char* name : FILES) put(name, text);
        EXPECT_EQ("", loaded()) << text;
    }
}

// Unopenable or unreadable files keep the best score and give the defaults.
TEST_F(PersistFiles, UnopenableOrUnreadableFilesGiveTheDefaults) {
    for (const char* name : FILES) ASSERT_EQ(0, mkdir(path(name).c_str(), 0755));
    EXPECT_EQ("best 4321", loaded());
    rmdir(path("sound.dat").c_str());
    saveSettings();
    EXPECT_EQ("27442", contents("sound.dat"));
    EXPECT_EQ(std::set<std::string>(std::begin(FILES), std::end(FILES)), folderEntries(folder));

    SetUp();
    for (const char* name : FILES) // opens, but reads fail
        ASSERT_EQ(0, symlink("/proc/self/mem", path(name).c_str()));
    EXPECT_EQ("best 4321", loaded());

    setTestDataFolder("/proc"); // nothing can be created there
    EXPECT_EQ("best 4321", loaded());
    saveSettings();
    EXPECT_NE(0, access("/proc/record.dat", F_OK));
}

TEST_F(PersistFiles, AReadOnlyFolderKeepsItsFilesReadableAndUnchanged) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    put("keys2.dat", "139137");
    chmod(path("keys2.dat").c_str(), 0); // no permission at all
    put("keys.dat", "139137");
    chmod(path("keys.dat").c_str(), 0444);
    chmod(folder.c_str(), 0555);
    // record.dat cannot be made, so the best score stays; keys2.dat is unreadable.
    EXPECT_EQ("best 4321 37 39", loaded());
    keyRight = 40;
    saveSettings();
    chmod(folder.c_str(), 0755);
    EXPECT_EQ("139137", contents("keys.dat"));
    EXPECT_EQ((std::set<std::string>{"keys.dat", "keys2.dat"}), folderEntries(folder));
}

// A save sweeps other processes' NAME.PID.N.tmp leftovers, and nothing else.
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

// Plain digits within 32 bits, else 0; written as exactly count digits.
TEST(PersistCodec, DecimalTextsAndThePlaceOfTheFiles) {
    EXPECT_EQ(2147483647, parseDecimal("2147483647"));
    EXPECT_EQ(7, parseDecimal("0000000000000000000007"));
    for (const char* zero : {"", "2147483648", "99999999999999", "999999999999999999999999",
                             "12a45", "-5", "+5", " 5", "5 ", "5\n", "5\r\n", "1.5", "\xd9"})
        EXPECT_EQ(0, parseDecimal(zero)) << zero;
    EXPECT_EQ(0, parseDecimal(nullptr));
    EXPECT_STREQ("39", digitText(39));
    for (int32_t outside : {40, -1}) EXPECT_STREQ("", digitText(outside));
    std::string text = "x"; // appended to
    for (int32_t n : {90090, 7, -1}) writeDigits(text, n, n == 7 ? 0 : 6);
    EXPECT_EQ("x090090999999", text);

    std::string base = useTestHost();
    EXPECT_EQ(base + "/record.dat", pathBesideProgram("record.dat"));
    std::string odd = base + "/dossier été/" + std::string(200, 'x') + "/données";
    setTestDataFolder(odd);
    EXPECT_EQ(odd + "/keys3.dat", pathBesideProgram("keys3.dat"));
}

} // namespace
