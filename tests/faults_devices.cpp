// Machines without a sound device: the whole program still starts, plays and
// ends with its files saved.
#include "platform/headless/host.h"
#include "platform/host/host.h"
#include "platform/host/instance.h"
#include "platform/script/script.h"
#include "shell/app.h"
#include "shell/autopilot.h"
#include "shell/startup.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int openAudioCalls = 0;

TEST(NoSoundDevice, HeadlessGamesPlayAndSaveWithoutAudio) {
    std::string folder = makeTempFolder();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // autoplay on a host whose audio cannot be opened
        useTestHost();
        setTestDataFolder(folder);
        std::vector<ScriptCommand> commands;
        std::string error;
        if (!parseScript("wait 60000\n", &commands, &error)) _exit(4);
        startHeadlessHost(HEADLESS_DEFAULT_START_TICK, commands);
        static Host noAudio = *host;
        noAudio.openAudio = [](int) {
            ++openAudioCalls;
            return false;
        };
        host = &noAudio;
        autopilotOn = true;
        constructProgramObjects();
        int code = WinMain(nullptr, nullptr, L"", SW_SHOW);
        bool opened = speaker.isOpen();
        releaseInstance();
        _exit(openAudioCalls == 0 || opened ? 3 : code); // 3: sound never asked for, or open
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string record = readFile(folder + "/record.dat");
    ASSERT_EQ(5u, record.size());
    EXPECT_GE(std::stoi(record), 7 * 30);
    EXPECT_EQ("27442", readFile(folder + "/sound.dat")); // as a first run saves them
    EXPECT_EQ("32102210", readFile(folder + "/career.dat"));
    for (const char* name : {"keys.dat", "keys2.dat", "keys3.dat"})
        EXPECT_EQ("090090", readFile(folder + "/" + name)) << name;
}

TEST(NoSoundDevice, DesktopRunsSilentAndEndsCleanly) {
    std::string folder = makeTempFolder();
    std::string log = folder + "/log";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "no-such-sound-driver", 1);
        if (!freopen(log.c_str(), "w", stderr)) _exit(126);
        std::string data = folder + "/data";
        execl(REEFDART_EXE, REEFDART_EXE, "--data-dir", data.c_str(), "--autoplay",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (readFile(log).find("no sound (") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int status = 0;
    ASSERT_EQ(0, waitpid(child, &status, WNOHANG)) << readFile(log);
    kill(child, SIGTERM);
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << readFile(log);
    EXPECT_EQ(5u, readFile(folder + "/data/record.dat").size());
    EXPECT_NE(readFile(log).find("no sound ("), std::string::npos) << readFile(log);
}

} // namespace
