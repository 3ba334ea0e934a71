// The program's sound side: the shipped modules, looping, the music volume,
// the volume steps, and broken modules or no audio device.
#include "platform/host/host.h"
#include "platform/hss/hss.h"
#include "platform/wince/resources.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/mod_builder.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr size_t ONE_SECOND = 22050;

std::vector<int16_t> renderOut(size_t count) {
    std::vector<int16_t> out(count, 1234);
    speaker.render(out.data(), out.size());
    return out;
}

int peak(const std::vector<int16_t>& samples) {
    int top = 0;
    for (int16_t s : samples) top = std::max(top, std::abs(static_cast<int>(s)));
    return top;
}

// The two shipped modules: audible, never clipping, the same every time.
TEST(ShippedModules, PlayAudiblyWithoutClippingAndTheSameEveryTime) {
    for (bool frontEnd : {true, false}) {
        std::vector<int16_t> runs[2];
        for (std::vector<int16_t>& run : runs) {
            useTestHost();
            clearRegisteredResources(); // the shipped modules, not a test's
            openSound();
            playModeMusic(frontEnd);
            run = renderOut(10 * ONE_SECOND);
            speaker.stopMusics();
        }
        EXPECT_TRUE(runs[0] == runs[1]);
        int clipped = 0;
        double energy = 0;
        for (int16_t s : runs[0]) {
            clipped += s == 32767 || s == -32768;
            energy += static_cast<double>(s) * s;
        }
        EXPECT_GT(peak(runs[0]), 4000) << frontEnd;
        EXPECT_EQ(clipped, 0) << frontEnd;
        EXPECT_GT(std::sqrt(energy / runs[0].size()), 500.0) << frontEnd;
    }
}

class SoundSide : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestHost();
        clearRegisteredResources();
        registerTestSounds();
        appMode = MODE_FRONTEND;
        openSound();
        speaker.volumeMusics(64); // whatever the test before left
    }
    void TearDown() override {
        speaker.close();
        music.unload();
        clickSound.unload();
        clearRegisteredResources();
        appMode = MODE_FRONTEND;
    }
};

TEST_F(SoundSide, TheMusicLoopsPastTheEndOfTheSong) {
    ModuleShape shape;
    shape.patterns = 1;
    shape.rowsPerPattern = 4; // 0.48 s long
    static const std::vector<uint8_t> shortSong = makeModule(shape);
    registerResource("MODULE", 1, shortSong.data(), shortSong.size());
    playModeMusic(true);
    renderOut(2 * ONE_SECOND);
    EXPECT_GT(peak(renderOut(ONE_SECOND / 2)), 1000);
    music.loop(false);
    renderOut(ONE_SECOND);
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 2)));
}

// The music volume scales the music exactly (the golden runs play it at 64).
TEST_F(SoundSide, TheMusicVolumeScalesTheMusic) {
    playModeMusic(true);
    std::vector<int16_t> full = renderOut(ONE_SECOND);
    EXPECT_GT(peak(full), 3000);
    speaker.volumeMusics(32);
    playModeMusic(true);
    std::vector<int16_t> half = renderOut(ONE_SECOND);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(full[i] / 2, half[i]) << i;
    speaker.volumeMusics(0);
    playModeMusic(true);
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 2)));
}

TEST_F(SoundSide, ABadOrEmptyModulePlaysNothingAndBreaksNothing) {
    playModeMusic(true);
    static const std::vector<uint8_t> garbage(3000, 0x5A);
    registerResource("MODULE", 2, garbage.data(), garbage.size());
    testing::internal::CaptureStderr();
    playModeMusic(false);
    EXPECT_EQ("", testing::internal::GetCapturedStderr()); // the decoder's complaints stay quiet
    EXPECT_FALSE(music.loaded());
    EXPECT_EQ(nullptr, speaker.playingMusic());
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 4)));
    playClick();
    EXPECT_GT(peak(renderOut(ONE_SECOND / 4)), 1000);
    registerResource("MODULE", 1, garbage.data(), 0);
    playModeMusic(true);
    EXPECT_EQ(nullptr, speaker.playingMusic());
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 4)));
}

TEST_F(SoundSide, StepVolumeMovesBothVolumesWithinTheirRanges) {
    // Effects step by 2 and music by 4; each volume is judged on its own, and
    // one that would leave its range (below 0 the unsigned sum wraps) stays.
    const int steps[][5] = {// effects, music, step, effects after, music after
                            {30, 60, 1, 32, 64}, {32, 64, 1, 32, 64}, {32, 64, -1, 30, 60},
                            {2, 4, -1, 0, 0},    {0, 0, -1, 0, 0},    {32, 40, 1, 32, 44},
                            {1, 8, -1, 1, 4},    {31, 62, 1, 31, 62}};
    for (const auto& s : steps) {
        speaker.volumeSounds(s[0]);
        speaker.volumeMusics(s[1]);
        stepVolume(s[2]);
        EXPECT_EQ(s[3], speaker.volumeSounds()) << s[0] << " " << s[1] << " " << s[2];
        EXPECT_EQ(s[4], speaker.volumeMusics()) << s[0] << " " << s[1] << " " << s[2];
    }
}

// Without an audio device the speaker still keeps its music, clicks and
// volumes, and only its output is silence.
TEST_F(SoundSide, WithoutAudioTheProgramRunsSilent) {
    speaker.close();
    Host noAudio = *host;
    noAudio.openAudio = [](int) { return false; };
    const Host* saved = host;
    host = &noAudio;
    openSound();
    EXPECT_FALSE(speaker.isOpen());
    EXPECT_TRUE(clickSound.loaded());
    playModeMusic(true);
    playClick();
    stepVolume(-1);
    EXPECT_EQ(&music, speaker.playingMusic());
    EXPECT_EQ(1, speaker.playingSounds());
    EXPECT_EQ(30, speaker.volumeSounds());
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 4)));
    speaker.close();
    host = saved;
}

} // namespace
