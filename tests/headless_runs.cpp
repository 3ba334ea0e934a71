// The headless host end to end: scripts in, files out.
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string script(const std::string& folder, const std::string& text) {
    std::string path = folder + "/run.script";
    writeFile(path, text);
    return path;
}

TEST(Headless, SameScriptGivesIdenticalFiles) {
    std::string outputs[2];
    for (std::string& out : outputs) {
        std::string folder = makeTempFolder();
        std::string s = script(folder, "record-audio " + folder +
                                           "/sound.wav\n"
                                           "wait 1500\nshot " +
                                           folder +
                                           "/title.png\n"
                                           "key DOWN\nwait 300\nctrl A\nwait 200\nshot " +
                                           folder +
                                           "/about.png\n"
                                           "key START\nwait 100\nshot " +
                                           folder + "/back.png\n");
        ASSERT_EQ(runReefdart("--headless " + s + " --data-dir " + folder + "/data"), 0);
        for (const char* f : {"/sound.wav", "/title.png", "/about.png", "/back.png"}) {
            std::string bytes = readFile(folder + f);
            ASSERT_FALSE(bytes.empty()) << f;
            out += bytes;
        }
        EXPECT_EQ(readFile(folder + "/sound.wav").size(), 44u + 2 * 22050 * 2100 / 1000);
    }
    EXPECT_TRUE(outputs[0] == outputs[1]);
}

TEST(Headless, RecordingLaterGivesTheRestOfTheSameSound) {
    // The mixer runs from the start whenever the script records, so a
    // recording begun a second in is the tail of one begun at once.
    std::string folder = makeTempFolder();
    std::string whole = script(folder, "key START\nrecord-audio " + folder +
                                           "/whole.wav\nwait 1000\nkey DOWN\nwait 1500\n");
    ASSERT_EQ(runReefdart("--headless " + whole + " --data-dir " + folder + "/a"), 0);
    std::string later = script(folder, "key START\nwait 1000\nrecord-audio " + folder +
                                           "/later.wav\nkey DOWN\nwait 1500\n");
    ASSERT_EQ(runReefdart("--headless " + later + " --data-dir " + folder + "/b"), 0);
    std::string a = readFile(folder + "/whole.wav"), b = readFile(folder + "/later.wav");
    const size_t header = 44, skipped = 2 * 22050;
    ASSERT_EQ(a.size(), header + 2 * 22050 * 2500 / 1000);
    ASSERT_EQ(b.size(), header + 2 * 22050 * 1500 / 1000);
    EXPECT_TRUE(a.compare(header + skipped, std::string::npos, b, header, std::string::npos) == 0);
    EXPECT_NE(b.substr(header).find_first_not_of('\0'), std::string::npos); // not silence
}

TEST(Headless, AboutBoxOpensWithCtrlAAndClosesWithItsOkButton) {
    // The title animates while the box is open, so each shot is compared with
    // one taken at the same moment of a run that never opens the box.
    std::string folder = makeTempFolder();
    std::string s =
        script(folder, "wait 100\nshot " + folder + "/before.png\nctrl A\nwait 50\nshot " + folder +
                           "/open.png\ntap 220 10\nwait 50\nshot " + folder +
                           "/closed.png\nctrl Q\nwait 50\nshot " + folder + "/q.png\n");
    ASSERT_EQ(runReefdart("--headless " + s + " --data-dir " + folder), 0);
    std::string plain = makeTempFolder();
    std::string r = script(plain, "wait 100\nwait 50\nshot " + plain + "/open.png\nwait 50\nshot " +
                                      plain + "/closed.png\nwait 50\nshot " + plain + "/q.png\n");
    ASSERT_EQ(runReefdart("--headless " + r + " --data-dir " + plain), 0);
    EXPECT_NE(readFile(folder + "/open.png"), readFile(plain + "/open.png"));
    EXPECT_TRUE(readFile(folder + "/closed.png") == readFile(plain + "/closed.png"));
    EXPECT_TRUE(readFile(folder + "/q.png") == readFile(plain + "/q.png"));
}

TEST(Headless, BadScriptLinesAreReportedWithTheirNumber) {
    std::string folder = makeTempFolder();
    const char* bad[] = {"jump 3", "wait",   "wait -5",        "press HOME",
                         "tap 1",  "ctrl 7", "deactivate now", "wait 99999999999"};
    for (const char* line : bad) {
        std::string output;
        std::string s = script(folder, "# a comment\nwait 10\n" + std::string(line) + "\n");
        EXPECT_EQ(runReefdart("--headless " + s + " --data-dir " + folder, &output), 2) << line;
        EXPECT_NE(output.find("line 3:"), std::string::npos) << output;
    }
    std::string output;
    EXPECT_EQ(runReefdart("--headless " + folder + "/missing.script", &output), 2);
    EXPECT_NE(output.find("cannot read the script"), std::string::npos);
}

TEST(Headless, UnwritableShotFailsTheRun) {
    std::string folder = makeTempFolder();
    std::string s = script(folder, "wait 10\nshot " + folder + "/no/such/folder/x.png\n");
    std::string output;
    EXPECT_EQ(runReefdart("--headless " + s + " --data-dir " + folder, &output), 1);
    EXPECT_NE(output.find("line 2"), std::string::npos) << output;
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
    EXPECT_EQ(runReefdart("--device pda", &output), 2);
    EXPECT_EQ(runReefdart("--scale 0", &output), 2);
    EXPECT_EQ(runReefdart("--seed 5", &output), 2);
}

TEST(CommandLine, NoDisplayIsAClearError) {
    std::string output;
    std::string folder = makeTempFolder();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(runReefdart("--data-dir " + folder, &output), 1) << output;
    EXPECT_NE(output.find("no display"), std::string::npos) << output;
}

// Starts the desktop host on SDL's dummy video driver, in the background.
pid_t startDesktop(const std::string& folder, const std::string& log) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        freopen(log.c_str(), "w", stderr);
        execl(REEFDART_EXE, REEFDART_EXE, "--data-dir", folder.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

TEST(SingleInstance, SecondCopyBringsTheFirstForwardAndEnds) {
    std::string folder = makeTempFolder();
    std::string log = folder + "/first.log";
    pid_t first = startDesktop(folder, log);
    ASSERT_GT(first, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::string output;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    int code = runReefdart("--data-dir " + folder + " --scale 1", &output);
    EXPECT_EQ(code, 0) << output;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_NE(readFile(log).find("another copy was started"), std::string::npos) << readFile(log);
    kill(first, SIGTERM); // the window closes as through its close button
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Another folder is another game.
    std::string other = makeTempFolder();
    pid_t second = startDesktop(other, other + "/log");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(waitpid(second, &status, WNOHANG), 0); // still running
    kill(second, SIGTERM);
    waitpid(second, &status, 0);
}

} // namespace
