// Whole runs through the headless host: a script in, the settings files and
// the frames out.
#include "support/png_image.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Title menu to Exit, from the title with item 0 highlighted.
const char* const EXIT_FROM_TITLE = "key DOWN\nkey DOWN\nkey DOWN\nkey START\n";

struct GameRun {
    std::string folder = makeTempFolder();
    std::string data = folder + "/data";
    std::string output;

    // Runs the script; each "shot NAME" in it lands in the run's folder.
    int play(const std::string& script, const char* device = "qvga", bool finalShot = false) {
        std::string text = script;
        for (size_t at = 0; (at = text.find("shot ", at)) != std::string::npos; at += 5)
            text.insert(at + 5, folder + "/");
        std::string args = "--data-dir " + data + " --device " + device;
        if (finalShot) args += " --final-shot " + folder + "/final.png";
        return runScript(folder, text, args, &output);
    }
    std::string file(const char* name) const { return readFile(data + "/" + name); }
    Shot shot(const char* name) const { return readShot(folder + "/" + name); }
    void put(const char* name, const std::string& text) const {
        mkdir(data.c_str(), 0755);
        writeFile(data + "/" + name, text);
    }
};

// The farewell picture stands alone on black at (x, y).
void expectSplashAt(const Shot& s, int x, int y) {
    ASSERT_FALSE(s.empty());
    EXPECT_GT(s.lit(x, y, 176, 135), 176 * 135 / 20);
    EXPECT_TRUE(s.black(0, 0, s.width, y));
    EXPECT_TRUE(s.black(0, y + 135, s.width, s.height - y - 135));
    EXPECT_TRUE(s.black(0, y, x, 135));
    EXPECT_TRUE(s.black(x + 176, y, s.width - x - 176, 135));
}

TEST(ScreensRun, AFirstRunEndedWithExitWritesTheDefaultsAndShowsTheSplash) {
    struct Case {
        const char* device;
        int x, y;
    } cases[] = {{"qvga", 32, 92},
                 {"qvga-rotated", 32, 92},
                 {"square", 32, 92},
                 {"small", 0, 42},
                 {"raw", 32, 92}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        GameRun run;
        ASSERT_EQ(0, run.play(std::string("wait 300\n") + EXIT_FROM_TITLE, c.device, true))
            << run.output;
        EXPECT_EQ("00000", run.file("record.dat"));
        EXPECT_EQ("27442", run.file("sound.dat"));
        EXPECT_EQ("32102210", run.file("career.dat"));
        for (const char* keys : {"keys.dat", "keys2.dat", "keys3.dat"})
            EXPECT_EQ("090090", run.file(keys));
        expectSplashAt(run.shot("final.png"), c.x, c.y);
    }
}

TEST(ScreensRun, CapturedKeysAreSavedAndARepeatedKeyFillsOneRoleOnly) {
    GameRun run;
    ASSERT_EQ(0,
              run.play("wait 300\nkey DOWN\nkey START\nkey DOWN\nkey DOWN\nkey START\nwait 20\n"
                       "shot up.png\nkey 65\nwait 20\nshot down.png\nkey 65\nwait 20\n"
                       "shot again.png\nkey 66\nkey 67\nwait 20\nshot exit.png\nkey 68\nwait 20\n"
                       "shot settings.png\nkey DOWN\nkey START\nwait 20\n" +
                       std::string(EXIT_FROM_TITLE)))
        << run.output;
    EXPECT_EQ("168167", run.file("keys2.dat")); // Exit 68, Restart 67
    EXPECT_EQ("166165", run.file("keys3.dat")); // Down 66, Up 65
    EXPECT_EQ("090090", run.file("keys.dat"));
    EXPECT_NE(run.shot("up.png").rgb, run.shot("down.png").rgb);
    EXPECT_EQ(run.shot("down.png").rgb, run.shot("again.png").rgb);
    EXPECT_NE(run.shot("exit.png").rgb, run.shot("settings.png").rgb);
}

// The same run then switches the menus to French.
TEST(ScreensRun, EachVolumeStepDownIsSavedAndShortensTheBarByFourPixels) {
    GameRun run;
    ASSERT_EQ(0,
              run.play("wait 300\nkey DOWN\nkey START\nwait 20\nshot v32.png\nkey LEFT\nwait 20\n"
                       "shot v30.png\nkey DOWN\nkey START\nwait 20\nshot french.png\nkey DOWN\n"
                       "key DOWN\nkey START\n" +
                       std::string(EXIT_FROM_TITLE)));
    EXPECT_EQ("17040", run.file("sound.dat")); // French, music 60, sounds 30
    Shot full = run.shot("v32.png"), less = run.shot("v30.png");
    ASSERT_FALSE(full.empty());
    ASSERT_FALSE(less.empty());
    EXPECT_NE(less.rgb, run.shot("french.png").rgb);
    // The bar at (81, 161), 2 pixels a volume unit, shows the right-hand end
    // of its source: 64 and then 60 columns wide, the shorter one the same
    // as the longer one without its first four columns.
    auto columnSame = [&](int xFull, int xLess) {
        for (int y = 161; y < 166; ++y)
            if (full.at(xFull, y) != less.at(xLess, y)) return false;
        return true;
    };
    for (int k = 0; k < 60; ++k) EXPECT_TRUE(columnSame(85 + k, 81 + k)) << k;
    int changed = 0;
    for (int x = 141; x < 145; ++x) changed += !columnSame(x, x);
    EXPECT_EQ(4, changed);
    for (int x = 145; x < 200; ++x) EXPECT_TRUE(columnSame(x, x)) << x;
}

TEST(ScreensRun, DamagedFilesGiveTheDefaultsAndExitWritesValidOnes) {
    GameRun run;
    run.put("record.dat", "12a45");
    run.put("sound.dat", "-7442");
    run.put("career.dat", "999999999999999999999999999999");
    run.put("keys.dat", "");
    run.put("keys2.dat", "090090\n090090\n123");
    mkdir((run.data + "/keys3.dat").c_str(), 0755); // a folder where a file should be
    ASSERT_EQ(0, run.play("wait 300\nkey START\nwait 3000\nkey A\nwait 50\n" +
                          std::string(EXIT_FROM_TITLE)))
        << run.output;
    EXPECT_EQ("00070", run.file("record.dat")); // the game's ten columns, not "12a45"
    EXPECT_EQ("27442", run.file("sound.dat"));
    EXPECT_EQ("32102210", run.file("career.dat"));
    EXPECT_EQ("090090", run.file("keys.dat"));
    EXPECT_EQ("090090", run.file("keys2.dat"));
}

TEST(ScreensRun, LosingActivationKeepsNewKeysAndANewBestScore) {
    GameRun run;
    ASSERT_EQ(0, run.play("wait 300\nkey DOWN\nkey START\nkey DOWN\nkey DOWN\nkey START\nkey 65\n"
                          "key 66\nkey 67\nkey 68\nwait 20\nkey DOWN\nkey START\nwait 20\nkey UP\n"
                          "key UP\nkey UP\nkey UP\nkey START\nwait 12000\ndeactivate\n"))
        << run.output;
    EXPECT_EQ("168167", run.file("keys2.dat"));
    EXPECT_EQ("166165", run.file("keys3.dat"));
    // A game flown with no input sinks to the floor after ten columns.
    EXPECT_EQ("00070", run.file("record.dat"));
}

// Every device draws its whole layout, and the rotated screen shows the
// portrait one's frames.
TEST(ScreensRun, EveryDeviceDrawsItsWholeLayoutAndRotationChangesNoFrame) {
    struct Case {
        const char* device;
        int width, height;
    } cases[] = {{"qvga", 240, 320},
                 {"qvga-rotated", 240, 320},
                 {"small", 176, 220},
                 {"square", 240, 240},
                 {"raw", 240, 320}};
    const char* const names[] = {"title.png", "ready.png", "flight.png", "over.png"};
    std::vector<uint8_t> portrait[4];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        GameRun run;
        ASSERT_EQ(0, run.play("wait 300\nshot title.png\nkey START\nwait 20\nshot ready.png\n"
                              "wait 1500\nshot flight.png\nwait 9000\nshot over.png\n",
                              c.device));
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(names[i]);
            Shot s = run.shot(names[i]);
            ASSERT_FALSE(s.empty());
            // The layout's corners are drawn (the title picture, the rock).
            if (i % 2 == 0) {
                EXPECT_NE(0u, s.at(1, 1));
                EXPECT_NE(0u, s.at(c.width - 2, c.height - 2));
            }
            if (std::string(c.device) == "qvga") {
                portrait[i] = s.rgb;
                EXPECT_GT(s.lit(0, 0, s.width, s.height), s.width * s.height / 2);
            }
            if (std::string(c.device) == "qvga-rotated") {
                EXPECT_EQ(portrait[i], s.rgb);
            }
        }
    }
}

} // namespace
