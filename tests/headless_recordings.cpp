// What a recording fixes before its replay starts: the device, the start tick
// and the settings files, written where they cannot replace the player's own.
#include "support/png_image.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

const char* const FILES[] = {"record.dat", "sound.dat", "career.dat",
                             "keys.dat",   "keys2.dat", "keys3.dat"};

std::string hex(const std::string& bytes) {
    std::string text;
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        text += pair;
    }
    return text;
}

// The files of a player with a best score of 42, French menus and keys of
// their own.
const std::string CONTENTS[] = {"00042", "15520", "12345678", "137138", "127128", "126125"};

TEST(Recordings, ScriptSetUpIsTheSameAsTheCommandLineAndTheFiles) {
    std::string byScript = makeTempFolder();
    std::string text = "# set-up first\ndevice small\nseed 5000\n";
    for (int i = 0; i < 6; ++i)
        text += std::string("file ") + FILES[i] + " " + hex(CONTENTS[i]) + "\n";
    text += "wait 2000\nshot " + byScript + "/title.png\n";
    ASSERT_EQ(runScript(byScript, text, "--data-dir " + byScript + "/data"), 0);

    std::string byHand = makeTempFolder();
    std::string handData = makeTempFolder();
    for (int i = 0; i < 6; ++i) writeFile(handData + "/" + FILES[i], CONTENTS[i]);
    ASSERT_EQ(runScript(byHand, "wait 2000\nshot " + byHand + "/title.png\n",
                        "--device small --seed 5000 --data-dir " + handData),
              0);

    Shot shot = readShot(byScript + "/title.png");
    ASSERT_FALSE(shot.empty());
    EXPECT_TRUE(readFile(byScript + "/title.png") == readFile(byHand + "/title.png"));
    for (const char* f : FILES)
        EXPECT_EQ(readFile(byScript + "/data/" + f), readFile(handData + "/" + f)) << f;
    EXPECT_EQ(readFile(byScript + "/data/record.dat"), "00042");
}

TEST(Recordings, CommandLineOverridesTheScriptsDeviceAndTick) {
    std::string folder = makeTempFolder();
    const std::string qvga = "--device qvga --seed 7000 --data-dir " + folder;
    ASSERT_EQ(runScript(folder, "device small\nseed 5000\nwait 2000\nshot " + folder + "/a.png\n",
                        qvga + "/a"),
              0);
    ASSERT_EQ(runScript(folder, "wait 2000\nshot " + folder + "/b.png\n", qvga + "/b"), 0);
    EXPECT_TRUE(readFile(folder + "/a.png") == readFile(folder + "/b.png"));
}

TEST(Recordings, FilesGoToANewFolderWhenNoneIsNamed) {
    std::string folder = makeTempFolder();
    std::string output;
    ASSERT_EQ(runScript(folder, "file record.dat " + hex("00042") + "\nwait 100\n", "", &output),
              0);
    const std::string said = "the script's settings files are kept in ";
    size_t at = output.find(said);
    ASSERT_NE(at, std::string::npos) << output;
    std::string kept = output.substr(at + said.size());
    kept = kept.substr(0, kept.find('\n'));
    EXPECT_EQ(kept.find("/reefdart-"), kept.rfind('/')) << kept;
    EXPECT_EQ(readFile(kept + "/record.dat"), "00042");
    for (const char* f : FILES) std::remove((kept + "/" + f).c_str());
    std::remove(kept.c_str());
}

TEST(Recordings, BadSetUpLinesAreRefusedBeforeAnythingIsWritten) {
    std::string folder = makeTempFolder();
    const char* bad[] = {"file ../record.dat 3030",
                         "file /etc/passwd",
                         "file record.dat 303",
                         "file record.dat 3g",
                         "file record.dat 30 30",
                         "device pda",
                         "seed -1",
                         "seed",
                         "autoplay now"};
    for (const char* line : bad) {
        std::string output;
        EXPECT_EQ(runScript(folder, "wait 10\nfile sound.dat 3030\n" + std::string(line) + "\n",
                            "--data-dir " + folder + "/data", &output),
                  2)
            << line;
        EXPECT_NE(output.find("line 3:"), std::string::npos) << output;
    }
    EXPECT_EQ(readFile(folder + "/data/sound.dat"), "");
}

TEST(Recordings, RecordIsForTheDesktop) {
    std::string folder = makeTempFolder();
    std::string output;
    EXPECT_EQ(runScript(folder, "wait 10\n", "--record " + folder + "/r.txt", &output), 2);
    EXPECT_NE(output.find("--record"), std::string::npos) << output;
}

} // namespace
