// The program's sound side: which module plays in which mode, the click, the
// volume steps, and what a second of mixed output looks like.
#include "platform/host/host.h"
#include "platform/hss/hss.h"
#include "platform/wince/resources.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/mod_builder.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

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

} // namespace

// Opening sets full effects volume and loads the click.
TEST_F(SoundSide, TheFrontEndPlaysTheMenuModuleAndAGameTheGameModule) {
    EXPECT_TRUE(speaker.isOpen());
    EXPECT_EQ(22050, speaker.rate());
    EXPECT_EQ(32, speaker.volumeSounds());
    ASSERT_TRUE(clickSound.loaded());
    EXPECT_EQ(clickTone(), std::vector<int16_t>(clickSound.samples(),
                                                clickSound.samples() + clickSound.sampleCount()));
    playModeMusic(appMode == MODE_FRONTEND);
    EXPECT_EQ(&music, speaker.playingMusic());
    EXPECT_EQ(findEmbeddedResource("MODULE", 1)->data, music.source());
    EXPECT_EQ(32, music.volume());
    appMode = MODE_GAME;
    playModeMusic(appMode == MODE_FRONTEND);
    EXPECT_EQ(&music, speaker.playingMusic());
    EXPECT_EQ(findEmbeddedResource("MODULE", 2)->data, music.source());
}

TEST_F(SoundSide, EachCallStartsTheModuleFromItsBeginning) {
    playModeMusic(appMode == MODE_FRONTEND);
    const std::vector<int16_t> opening = renderOut(ONE_SECOND / 4);
    renderOut(2 * ONE_SECOND);
    EXPECT_NEAR(2.25, music.position(), 0.05);
    playModeMusic(appMode == MODE_FRONTEND);
    EXPECT_NEAR(0.0, music.position(), 0.001);
    EXPECT_EQ(opening, renderOut(ONE_SECOND / 4));
}

TEST_F(SoundSide, TheMusicLoopsPastTheEndOfTheSong) {
    ModuleShape shape;
    shape.patterns = 1;
    shape.rowsPerPattern = 4; // 0.48 s long
    static const std::vector<uint8_t> shortSong = makeModule(shape);
    registerResource("MODULE", 1, shortSong.data(), shortSong.size());
    playModeMusic(appMode == MODE_FRONTEND);
    renderOut(2 * ONE_SECOND);
    EXPECT_GT(peak(renderOut(ONE_SECOND / 2)), 1000);
    music.loop(false);
    renderOut(ONE_SECOND);
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 2)));
}

TEST_F(SoundSide, ASecondOfMusicAndClickIsAudibleUnclippedAndRepeatable) {
    std::vector<int16_t> runs[2];
    for (std::vector<int16_t>& run : runs) {
        playModeMusic(appMode == MODE_FRONTEND);
        playClick();
        EXPECT_EQ(1, speaker.playingSounds());
        run = renderOut(ONE_SECOND);
        EXPECT_EQ(0, speaker.playingSounds()); // the click is over
    }
    EXPECT_GT(peak(runs[0]), 3000);
    EXPECT_LT(peak(runs[0]), 32767);
    EXPECT_EQ(runs[0], runs[1]);
    // The click is really in the mix.
    playModeMusic(appMode == MODE_FRONTEND);
    std::vector<int16_t> musicOnly = renderOut(ONE_SECOND);
    EXPECT_NE(musicOnly, runs[0]);
}

TEST_F(SoundSide, StoppingSilencesMusicAndClicks) {
    playModeMusic(appMode == MODE_FRONTEND);
    playClick();
    speaker.stopSounds();
    EXPECT_EQ(0, speaker.playingSounds());
    EXPECT_EQ(&music, speaker.playingMusic());
    speaker.stopMusics();
    EXPECT_EQ(nullptr, speaker.playingMusic());
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 10)));
}

TEST_F(SoundSide, MusicVolumesScaleTheMusic) {
    playModeMusic(appMode == MODE_FRONTEND);
    std::vector<int16_t> full = renderOut(ONE_SECOND / 2);
    speaker.volumeMusics(32);
    playModeMusic(appMode == MODE_FRONTEND);
    std::vector<int16_t> half = renderOut(ONE_SECOND / 2);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(full[i] / 2, half[i]) << i;
    speaker.volumeMusics(0);
    playModeMusic(appMode == MODE_FRONTEND);
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 2)));
}

TEST_F(SoundSide, ABadOrMissingModulePlaysNothingAndBreaksNothing) {
    playModeMusic(appMode == MODE_FRONTEND);
    static const std::vector<uint8_t> garbage(3000, 0x5A);
    registerResource("MODULE", 2, garbage.data(), garbage.size());
    appMode = MODE_GAME;
    testing::internal::CaptureStderr();
    playModeMusic(appMode == MODE_FRONTEND);
    EXPECT_EQ("", testing::internal::GetCapturedStderr()); // the decoder's complaints stay quiet
    EXPECT_FALSE(music.loaded());
    EXPECT_EQ(nullptr, speaker.playingMusic());
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 4)));
    playClick();
    EXPECT_GT(peak(renderOut(ONE_SECOND / 4)), 1000);

    // An empty module (the executable ships real ones, so none is missing).
    registerResource("MODULE", 1, garbage.data(), 0);
    appMode = MODE_FRONTEND;
    playModeMusic(appMode == MODE_FRONTEND);
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

TEST_F(SoundSide, WithoutAudioTheProgramRunsSilent) {
    speaker.close();
    Host noAudio = *host;
    noAudio.openAudio = [](int) { return false; };
    const Host* saved = host;
    host = &noAudio;
    openSound();
    EXPECT_FALSE(speaker.isOpen());
    EXPECT_TRUE(clickSound.loaded());
    playModeMusic(appMode == MODE_FRONTEND);
    playClick();
    stepVolume(-1);
    EXPECT_EQ(&music, speaker.playingMusic());
    EXPECT_EQ(1, speaker.playingSounds());
    EXPECT_EQ(30, speaker.volumeSounds());
    EXPECT_EQ(60, speaker.volumeMusics());
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 4)));
    speaker.stopMusics();
    speaker.stopSounds();
    EXPECT_EQ(nullptr, speaker.playingMusic());
    EXPECT_EQ(0, speaker.playingSounds());
    speaker.close();
    host = saved;
}
