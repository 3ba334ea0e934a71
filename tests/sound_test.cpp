// The sound side: modules and volumes, WAVE clips, and how the speaker mixes
// them.
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
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr size_t ONE_SECOND = 22050;
using Samples = std::vector<int16_t>;

Samples renderOut(size_t count) {
    Samples out(count, 1234);
    speaker.render(out.data(), out.size());
    return out;
}

int peak(const Samples& samples) {
    int top = 0;
    for (int16_t s : samples) top = std::max(top, std::abs(static_cast<int>(s)));
    return top;
}

// The two shipped modules play audibly and never clip.
TEST(ShippedModules, PlayAudiblyWithoutClipping) {
    for (bool frontEnd : {true, false}) {
        useTestHost();
        clearRegisteredResources(); // the shipped modules, not a test's
        openSound();
        playModeMusic(frontEnd);
        Samples run = renderOut(10 * ONE_SECOND);
        speaker.stopMusics();
        double energy = 0;
        for (int16_t s : run) energy += static_cast<double>(s) * s;
        EXPECT_GT(peak(run), 4000) << frontEnd;
        EXPECT_LT(peak(run), 32767) << frontEnd; // never clipped
        EXPECT_GT(std::sqrt(energy / run.size()), 500.0) << frontEnd;
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
    }
};

// The music volume scales the music exactly, and the music loops.
TEST_F(SoundSide, TheMusicVolumeScalesTheMusicAndItLoops) {
    playModeMusic(true);
    Samples full = renderOut(ONE_SECOND);
    EXPECT_GT(peak(full), 3000);
    speaker.volumeMusics(32);
    playModeMusic(true);
    Samples half = renderOut(ONE_SECOND);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(full[i] / 2, half[i]) << i;
    speaker.volumeMusics(0);
    playModeMusic(true);
    EXPECT_EQ(0, peak(renderOut(ONE_SECOND / 2)));

    speaker.volumeMusics(64);
    static const std::vector<uint8_t> shortSong = makeModule(ModuleShape{1, 4}); // 0.48 s
    registerResource("MODULE", 1, shortSong.data(), shortSong.size());
    playModeMusic(true);
    renderOut(2 * ONE_SECOND);
    EXPECT_GT(peak(renderOut(ONE_SECOND / 2)), 1000);
    music.loop(false);
    renderOut(ONE_SECOND);
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

// Without an audio device the speaker keeps its state and renders silence.
TEST_F(SoundSide, WithoutAudioTheProgramRunsSilent) {
    speaker.close();
    Host noAudio = *host;
    noAudio.openAudio = [](int) { return false; };
    const Host* saved = host;
    host = &noAudio;
    openSound();
    EXPECT_FALSE(speaker.isOpen());
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

Samples samplesOf(const hssSound& sound) {
    return Samples(sound.samples(), sound.samples() + sound.sampleCount());
}

// The samples a file decodes to; {} when it is refused.
Samples decoded(const std::vector<uint8_t>& file) {
    hssSound sound;
    return sound.load(file.data(), file.size()) ? samplesOf(sound) : Samples{};
}

void put32(std::vector<uint8_t>& file, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Inserts bytes before the data chunk and mends the RIFF size.
void insertChunk(std::vector<uint8_t>& file, const std::vector<uint8_t>& bytes) {
    file.insert(file.begin() + 36, bytes.begin(), bytes.end());
    put32(file, 4, static_cast<uint32_t>(file.size() - 8));
}

TEST(SoundWave, DecodesPcmClipsOfEveryShape) {
    const Samples samples = {0, 256, -256, 32767, -32768, 1000};
    hssSound sound;
    const std::vector<uint8_t> eight = makeWave(samples, 11025, 8, 1);
    ASSERT_EQ(1, sound.load(eight.data(), eight.size()));
    EXPECT_EQ((Samples{0, 256, -256, 32512, -32768, 768}), samplesOf(sound));
    EXPECT_EQ(11025, sound.sampleRate());
    EXPECT_EQ(samples, decoded(makeWave(samples)));

    // Stereo frames are averaged: second channels 300 and -300.
    std::vector<uint8_t> stereo = makeWave({100, -100}, 22050, 16, 2);
    stereo[46] = 0x2C, stereo[47] = 0x01, stereo[50] = 0xD4, stereo[51] = 0xFE;
    // An unknown chunk of odd size before the data, padded to an even length.
    insertChunk(stereo, {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
    EXPECT_EQ((Samples{200, -200}), decoded(stereo));

    // The extensible format with PCM samples; with floating-point ones refused.
    std::vector<uint8_t> extensible = makeWave({5, -5, 7});
    std::vector<uint8_t> tail(24, 0);
    tail[0] = 22; // extension size
    tail[2] = 16; // valid bits
    tail[8] = 1;  // sub-format: PCM
    insertChunk(extensible, tail);
    put32(extensible, 16, 40);
    extensible[20] = 0xFE, extensible[21] = 0xFF;
    EXPECT_EQ((Samples{5, -5, 7}), decoded(extensible));
    extensible[36 + 8] = 3;
    EXPECT_EQ(Samples{}, decoded(extensible));

    // A data chunk claiming more than the file holds is cut to whole frames.
    std::vector<uint8_t> streamed = makeWave({1, 2, 3, 4});
    put32(streamed, 40, 0xFFFFFFFFu);
    put32(streamed, 4, 0xFFFFFFFFu);
    streamed.push_back(9);
    EXPECT_EQ((Samples{1, 2, 3, 4}), decoded(streamed));
}

TEST(SoundWave, RefusesWhatIsNoPcmClipAndKeepsTheOldOne) {
    const Samples samples = clickTone(100);
    const std::vector<uint8_t> good = makeWave(samples);
    hssSound sound;
    ASSERT_EQ(1, sound.load(good.data(), good.size()));
    struct Damage {
        size_t at; // value is written there, little-endian
        uint32_t value;
        int bytes;
        const char* what;
    } damages[] = {{0, 'X', 1, "not RIFF"},
                   {8, 'A', 1, "not WAVE"},
                   {20, 3, 1, "floating-point samples"},
                   {22, 3, 1, "three channels"},
                   {34, 24, 1, "24-bit samples"},
                   {32, 4, 1, "block size that does not match"},
                   {24, 0, 4, "no rate"},
                   {16, 0xFFFFFFF0u, 4, "format chunk larger than the file"},
                   {16, 8, 4, "format chunk too small"},
                   {4, 1, 4, "a RIFF too short to hold its own form type"}};
    for (const Damage& d : damages) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < d.bytes; ++i) b[d.at + i] = static_cast<uint8_t>(d.value >> (8 * i));
        EXPECT_EQ(0, sound.load(b.data(), b.size())) << d.what;
        EXPECT_EQ(samples, samplesOf(sound)) << d.what;
    }
    EXPECT_EQ(0, sound.load(nullptr, 100));
}

// The program's speaker with no music playing: clips alone.
TEST_F(SoundSide, PlaysAClipOnceAtTheSoundVolumeAndAnotherRateResampled) {
    hssSound sound, half;
    const Samples clip = {1000, -2000, 3000, 32767};
    ASSERT_EQ(1, sound.loadSamples(clip.data(), clip.size()));
    ASSERT_EQ(1, speaker.playSound(&sound, hssSpeaker::FLAG_DEFAULT));
    EXPECT_EQ(1, speaker.playingSounds());
    EXPECT_EQ((Samples{1000, -2000, 3000, 32767, 0, 0}), renderOut(6));
    EXPECT_EQ(0, speaker.playingSounds());
    speaker.volumeSounds(16);
    speaker.playSound(&sound, 0);
    EXPECT_EQ((Samples{500, -1000, 1500, 16383}), renderOut(4));
    speaker.volumeSounds(-1); // kept within 0..32
    EXPECT_EQ(0, speaker.volumeSounds());
    EXPECT_EQ(0, speaker.playSound(nullptr, 0));
    hssSound empty;
    EXPECT_EQ(0, speaker.playSound(&empty, 0));

    speaker.volumeSounds(40);
    EXPECT_EQ(32, speaker.volumeSounds());
    const Samples slow = {0, 1000, 2000};
    ASSERT_EQ(1, half.loadSamples(slow.data(), slow.size(), 11025));
    speaker.playSound(&half, 0);
    EXPECT_EQ((Samples{0, 500, 1000, 1500, 2000, 2000, 0}), renderOut(7));
}

// Clips saturate; a fifth takes the oldest of four channels; a destroyed one is let go.
TEST_F(SoundSide, ClipsMixSaturatedOnFourChannelsAndStopSafely) {
    hssSound loud;
    const Samples clip = {30000, -30000, 20000};
    ASSERT_EQ(1, loud.loadSamples(clip.data(), clip.size()));
    speaker.playSound(&loud, 0);
    speaker.playSound(&loud, 0);
    EXPECT_EQ((Samples{32767, -32768, 32767, 0}), renderOut(4));

    Samples a(1000, 100), b(100, 10);
    hssSound first, other;
    first.loadSamples(a.data(), a.size());
    other.loadSamples(b.data(), b.size());
    speaker.playSound(&first, 0);
    for (int i = 0; i < 4; ++i) speaker.playSound(&other, 0);
    EXPECT_EQ(40, renderOut(1)[0]); // four of the other, the first one dropped
    speaker.stopSounds();
    EXPECT_EQ(0, speaker.playingSounds());
    EXPECT_EQ((Samples{0, 0}), renderOut(2));

    speaker.playSound(&first, 0);
    {
        hssSound gone;
        gone.loadSamples(a.data(), a.size());
        speaker.playSound(&gone, 0);
        EXPECT_EQ(2, speaker.playingSounds());
    }
    EXPECT_EQ(1, speaker.playingSounds());
    EXPECT_EQ(100, renderOut(1)[0]);
}

} // namespace
