// The headless host end to end: scripts and their set-up in, files out (the
// frames, sound and files a script gives are what tests/golden_runs.cpp pins).
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const char* const FILES[] = {"record.dat", "sound.dat", "career.dat",
                             "keys.dat",   "keys2.dat", "keys3.dat"};
// A player with a best score of 42, French menus and keys of their own.
const std::string CONTENTS[] = {"00042", "15520", "12345678", "137138", "127128", "126125"};

std::string hex(const std::string& bytes) {
    std::string text;
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        text += pair;
    }
    return text;
}

// A script's set-up lines fix the device, the start tick and the settings
// files as the command line and the files themselves would; the command
// line wins over the script.
TEST(Recordings, ScriptSetUpIsTheSameAsTheCommandLineAndTheFiles) {
    std::string byScript = makeTempFolder(), byHand = makeTempFolder(), handData = makeTempFolder();
    std::string text = "# set-up first\ndevice small\nseed 5000\n";
    for (int i = 0; i < 6; ++i) {
        text += std::string("file ") + FILES[i] + " " + hex(CONTENTS[i]) + "\n";
        writeFile(handData + "/" + FILES[i], CONTENTS[i]);
    }
    ASSERT_EQ(runScript(byScript, text + "wait 2000\nshot " + byScript + "/title.png\n",
                        "--data-dir " + byScript + "/data"),
              0);
    ASSERT_EQ(runScript(byHand, "wait 2000\nshot " + byHand + "/title.png\n",
                        "--device small --seed 5000 --data-dir " + handData),
              0);
    ASSERT_FALSE(readFile(byScript + "/title.png").empty());
    EXPECT_TRUE(readFile(byScript + "/title.png") == readFile(byHand + "/title.png"));
    for (const char* f : FILES)
        EXPECT_EQ(readFile(byScript + "/data/" + f), readFile(handData + "/" + f)) << f;
    EXPECT_EQ(readFile(byScript + "/data/record.dat"), "00042");

    const std::string qvga = "--device qvga --seed 7000 --data-dir " + byHand;
    ASSERT_EQ(runScript(byHand, "device small\nseed 5000\nwait 2000\nshot " + byHand + "/a.png\n",
                        qvga + "/a"),
              0);
    ASSERT_EQ(runScript(byHand, "wait 2000\nshot " + byHand + "/b.png\n", qvga + "/b"), 0);
    EXPECT_TRUE(readFile(byHand + "/a.png") == readFile(byHand + "/b.png"));
}

TEST(Recordings, FilesGoToANewFolderWhenNoneIsNamed) {
    std::string folder = makeTempFolder(), output;
    ASSERT_EQ(runScript(folder, "file record.dat " + hex("00042") + "\nwait 100\n", "", &output),
              0);
    const std::string said = "the script's settings files are kept in ";
    size_t at = output.find(said);
    ASSERT_NE(at, std::string::npos) << output;
    std::string kept = output.substr(at + said.size(), output.find('\n', at) - at - said.size());
    EXPECT_EQ(kept.find("/reefdart-"), kept.rfind('/')) << kept;
    EXPECT_EQ(readFile(kept + "/record.dat"), "00042");
    for (const char* f : FILES) std::remove((kept + "/" + f).c_str());
    std::remove(kept.c_str());
}

// A bad line fails the run with its line number (comments count) before any
// settings file is written.
TEST(Headless, ScriptFaultsAreReportedWithTheirLineNumber) {
    std::string f = makeTempFolder(), output;
    for (const char* line :
         {"jump 3", "wait", "wait -5", "press HOME", "tap 1", "ctrl 7", "deactivate now",
          "wait 99999999999", "file ../record.dat 3030", "file /etc/passwd", "file record.dat 303",
          "file record.dat 3g", "file record.dat 30 30", "device pda", "seed -1", "seed",
          "autoplay now"}) {
        EXPECT_EQ(runScript(f, "# a comment\nfile sound.dat 3030\n" + std::string(line) + "\n",
                            "--data-dir " + f + "/data", &output),
                  2)
            << line;
        EXPECT_NE(output.find("line 3:"), std::string::npos) << output;
    }
    EXPECT_EQ(readFile(f + "/data/sound.dat"), "");
    // A shot that cannot be written fails the run at its line.
    EXPECT_EQ(
        runScript(f, "wait 10\nshot " + f + "/no/such/folder/x.png\n", "--data-dir " + f, &output),
        1);
    EXPECT_NE(output.find("line 2"), std::string::npos) << output;
    EXPECT_EQ(runReefdart("--headless " + f + "/missing.script", &output), 2);
    EXPECT_NE(output.find("cannot read the script"), std::string::npos);
    EXPECT_EQ(runScript(f, "wait 10\n", "--record " + f + "/r.txt", &output), 2);
    EXPECT_NE(output.find("--record"), std::string::npos) << output; // for the desktop only
}

// Ctrl+Q is in the accelerator table, but its command is answered with
// nothing: the game goes on as if it had not been pressed.
TEST(Headless, CtrlQDoesNotQuit) {
    std::string f = makeTempFolder();
    for (std::string name : {"pressed", "not"}) {
        std::string ctrl = name == "pressed" ? "ctrl q\n" : "";
        ASSERT_EQ(runScript(f,
                            "wait 1000\n" + ctrl + "wait 1000\nshot " + f + "/" + name + ".png\n",
                            "--data-dir " + f + "/" + name),
                  0);
    }
    ASSERT_FALSE(readFile(f + "/pressed.png").empty());
    EXPECT_TRUE(readFile(f + "/pressed.png") == readFile(f + "/not.png"));
}

// The mixer runs from the start whenever the script records, so a recording
// begun a second in is the tail of one begun at once.
TEST(Headless, RecordingLaterGivesTheRestOfTheSameSound) {
    std::string f = makeTempFolder();
    for (std::string name : {"whole", "later"}) {
        std::string record = "record-audio " + f + "/" + name + ".wav\n", second = "wait 1000\n";
        std::string start = name == "whole" ? record + second : second + record;
        ASSERT_EQ(runScript(f, "key START\n" + start + "key DOWN\nwait 1500\n",
                            "--data-dir " + f + "/" + name),
                  0);
    }
    std::string a = readFile(f + "/whole.wav"), b = readFile(f + "/later.wav");
    const size_t header = 44, skipped = 2 * 22050;
    ASSERT_EQ(a.size(), header + 2 * 22050 * 2500 / 1000);
    ASSERT_EQ(b.size(), header + 2 * 22050 * 1500 / 1000);
    EXPECT_TRUE(a.compare(header + skipped, std::string::npos, b, header, std::string::npos) == 0);
    EXPECT_NE(b.substr(header).find_first_not_of('\0'), std::string::npos); // not silence
}

TEST(CommandLine, HelpVersionAndBadOptions) {
    std::string output;
    EXPECT_EQ(runReefdart("--help", &output), 0);
    EXPECT_NE(output.find("--headless"), std::string::npos);
    EXPECT_NE(output.find("qvga-rotated"), std::string::npos);
    EXPECT_EQ(runReefdart("--version", &output), 0);
    EXPECT_NE(output.find("reefdart 1."), std::string::npos);
    EXPECT_EQ(runReefdart("--fly", &output), 2);
    EXPECT_NE(output.find("unknown option '--fly'"), std::string::npos);
    for (const char* bad : {"--device pda", "--scale 0", "--seed 5"})
        EXPECT_EQ(runReefdart(bad, &output), 2) << bad;
}

TEST(CommandLine, NoDisplayIsAClearError) {
    std::string output, folder = makeTempFolder();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(runReefdart("--data-dir " + folder, &output), 1) << output;
    EXPECT_NE(output.find("no display"), std::string::npos) << output;
}

// Waits up to a generous deadline for the condition to hold.
bool eventually(const std::function<bool()>& holds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Whether a copy of the game listens for later copies of the data folder: its
// abstract socket, named after the folder's real path, is in the kernel's list.
bool listening(const std::string& folder) {
    char resolved[PATH_MAX];
    const char* path = realpath(folder.c_str(), resolved) ? resolved : folder.c_str();
    uint64_t hash = 1469598103934665603ull; // FNV-1a, as the game names it
    for (const char* p = path; *p; ++p)
        hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "@reefdart-%u-%016llx", static_cast<unsigned>(getuid()),
                  static_cast<unsigned long long>(hash));
    return readFile("/proc/net/unix").find(name) != std::string::npos;
}

// Starts the desktop host in the background on SDL's dummy drivers (set here, so for later
// copies too), and waits until it listens for later copies.
pid_t startDesktop(const std::string& folder) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen((folder + "/log").c_str(), "w", stderr)) _exit(126);
        execl(REEFDART_EXE, REEFDART_EXE, "--data-dir", folder.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    EXPECT_TRUE(eventually([&] { return listening(folder); })) << readFile(folder + "/log");
    return pid;
}

TEST(SingleInstance, SecondCopyBringsTheFirstForwardAndEnds) {
    std::string folder = makeTempFolder();
    pid_t first = startDesktop(folder);
    ASSERT_GT(first, 0);
    std::string output;
    EXPECT_EQ(runReefdart("--data-dir " + folder + " --scale 1", &output), 0) << output;
    EXPECT_TRUE(eventually([&] {
        return readFile(folder + "/log").find("another copy was started") != std::string::npos;
    })) << readFile(folder + "/log");
    kill(first, SIGTERM); // the window closes as through its close button
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // Another folder is another game: it starts and keeps running.
    std::string other = makeTempFolder();
    pid_t second = startDesktop(other);
    EXPECT_EQ(waitpid(second, &status, WNOHANG), 0);
    kill(second, SIGTERM);
    waitpid(second, &status, 0);
}

} // namespace
