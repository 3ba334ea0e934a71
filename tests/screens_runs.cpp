// Whole runs through the headless host that the golden runs do not make:
// damaged settings files, and the program losing its activation. (A first
// run, key capture, the volume steps and every device's frames are pinned
// by tests/golden_runs.cpp.)
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

namespace {

struct GameRun {
    std::string folder = makeTempFolder();
    std::string data = folder + "/data";
    std::string output;

    std::string file(const char* name) const { return readFile(data + "/" + name); }
    void put(const char* name, const std::string& text) const {
        mkdir(data.c_str(), 0755);
        writeFile(data + "/" + name, text);
    }
};

// Damaged files read as the defaults; the keys captured and the best score
// of a game flown with no input (it sinks to the floor after ten columns)
// are saved when the program loses its activation, with no Exit.
TEST(ScreensRun, DamagedFilesGiveTheDefaultsAndLosingActivationSavesKeysAndBest) {
    GameRun run;
    run.put("record.dat", "12a45");
    run.put("sound.dat", "-7442");
    run.put("career.dat", "999999999999999999999999999999");
    run.put("keys.dat", "");
    run.put("keys2.dat", "090090\n090090\n123");
    ASSERT_EQ(0, runScript(run.folder,
                           "wait 300\nkey DOWN\nkey START\nkey DOWN\nkey DOWN\nkey START\n"
                           "key 65\nkey 66\nkey 67\nkey 68\nwait 20\nkey DOWN\nkey START\n"
                           "wait 20\nkey UP\nkey UP\nkey UP\nkey UP\nkey START\nwait 12000\n"
                           "deactivate\n",
                           "--data-dir " + run.data, &run.output))
        << run.output;
    EXPECT_EQ("00070", run.file("record.dat"));
    EXPECT_EQ("27442", run.file("sound.dat"));
    EXPECT_EQ("32102210", run.file("career.dat"));
    EXPECT_EQ("090090", run.file("keys.dat"));
    EXPECT_EQ("168167", run.file("keys2.dat"));
    EXPECT_EQ("166165", run.file("keys3.dat"));
}

} // namespace
