// Reading WAVE clips and mixing them: what a clip decodes to, which files are
// refused, and how the speaker plays, scales, saturates and stops clips.
#include "platform/hss/hss.h"
#include "support/mod_builder.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

std::vector<int16_t> samplesOf(const hssSound& sound) {
    return std::vector<int16_t>(sound.samples(), sound.samples() + sound.sampleCount());
}

void put32(std::vector<uint8_t>& file, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<int16_t> render(hssSpeaker& speaker, size_t count) {
    std::vector<int16_t> out(count, 1234);
    speaker.render(out.data(), out.size());
    return out;
}

} // namespace

TEST(SoundWave, DecodesSixteenAndEightBitMonoAndStereo) {
    const std::vector<int16_t> samples = {0, 256, -256, 32767, -32768, 1000};
    const std::vector<uint8_t> sixteen = makeWave(samples);
    hssSound sound;
    ASSERT_EQ(1, sound.load(sixteen.data(), sixteen.size()));
    EXPECT_EQ(samples, samplesOf(sound));
    EXPECT_EQ(22050, sound.sampleRate());

    std::vector<uint8_t> eight = makeWave(samples, 11025, 8, 1);
    ASSERT_EQ(1, sound.load(eight.data(), eight.size()));
    EXPECT_EQ((std::vector<int16_t>{0, 256, -256, 32512, -32768, 768}), samplesOf(sound));
    EXPECT_EQ(11025, sound.sampleRate());

    std::vector<uint8_t> stereo = makeWave(samples, 22050, 16, 2);
    ASSERT_EQ(1, sound.load(stereo.data(), stereo.size()));
    EXPECT_EQ(samples, samplesOf(sound)); // both channels alike, so the average is the sample
}

TEST(SoundWave, AveragesStereoFramesAndSkipsUnknownChunks) {
    std::vector<uint8_t> file = makeWave({100, -100}, 22050, 16, 2);
    // Second channel of each frame: 300 and -300, so the averages are 200, -200.
    file[46] = 0x2C, file[47] = 0x01;
    file[50] = 0xD4, file[51] = 0xFE;
    // An odd-sized chunk before the data, padded to an even length.
    std::vector<uint8_t> extra = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    file.insert(file.begin() + 36, extra.begin(), extra.end());
    put32(file, 4, static_cast<uint32_t>(file.size() - 8));
    hssSound sound;
    ASSERT_EQ(1, sound.load(file.data(), file.size()));
    EXPECT_EQ((std::vector<int16_t>{200, -200}), samplesOf(sound));
}

TEST(SoundWave, RefusesWhatIsNoPcmClipAndKeepsTheOldOne) {
    const std::vector<int16_t> samples = clickTone(100);
    const std::vector<uint8_t> good = makeWave(samples);
    hssSound sound;
    ASSERT_EQ(1, sound.load(good.data(), good.size()));

    const size_t ALL = SIZE_MAX;
    struct Damage {
        size_t keep; // bytes of the file kept
        size_t at;   // then value is written there, little-endian
        uint32_t value;
        int bytes;
        const char* what;
    } damages[] = {{0, 0, 0, 0, "empty"},
                   {11, 0, 0, 0, "cut in the header"},
                   {40, 0, 0, 0, "no data chunk"},
                   {44, 0, 0, 0, "empty data"},
                   {ALL, 0, 'X', 1, "not RIFF"},
                   {ALL, 8, 'A', 1, "not WAVE"},
                   {ALL, 20, 3, 1, "floating-point samples"},
                   {ALL, 22, 3, 1, "three channels"},
                   {ALL, 34, 24, 1, "24-bit samples"},
                   {ALL, 32, 4, 1, "block size that does not match"},
                   {ALL, 24, 0, 4, "no rate"},
                   {ALL, 16, 0xFFFFFFF0u, 4, "format chunk larger than the file"},
                   {ALL, 16, 8, 4, "format chunk too small"},
                   {ALL, 4, 1, 4, "a RIFF too short to hold its own form type"}};
    for (const Damage& d : damages) {
        std::vector<uint8_t> b(good.begin(), good.begin() + std::min(d.keep, good.size()));
        for (int i = 0; i < d.bytes; ++i) b[d.at + i] = static_cast<uint8_t>(d.value >> (8 * i));
        EXPECT_EQ(0, sound.load(b.data(), b.size())) << d.what;
        EXPECT_EQ(samples, samplesOf(sound)) << d.what;
    }
    EXPECT_EQ(0, sound.load(nullptr, 100));
}

TEST(SoundWave, CutsADataChunkThatClaimsMoreThanTheFileHolds) {
    std::vector<uint8_t> file = makeWave({1, 2, 3, 4});
    put32(file, 40, 0xFFFFFFFFu); // as a streaming writer leaves it
    put32(file, 4, 0xFFFFFFFFu);
    file.push_back(9); // half a frame at the end is dropped
    hssSound sound;
    ASSERT_EQ(1, sound.load(file.data(), file.size()));
    EXPECT_EQ((std::vector<int16_t>{1, 2, 3, 4}), samplesOf(sound));
}

TEST(SoundWave, ReadsTheExtensibleFormatWithPcmSamples) {
    std::vector<uint8_t> file = makeWave({5, -5, 7});
    std::vector<uint8_t> tail(24, 0);
    tail[0] = 22; // extension size
    tail[2] = 16; // valid bits
    tail[8] = 1;  // sub-format: PCM
    file.insert(file.begin() + 36, tail.begin(), tail.end());
    put32(file, 16, 40);
    file[20] = 0xFE, file[21] = 0xFF;
    put32(file, 4, static_cast<uint32_t>(file.size() - 8));
    hssSound sound;
    ASSERT_EQ(1, sound.load(file.data(), file.size()));
    EXPECT_EQ((std::vector<int16_t>{5, -5, 7}), samplesOf(sound));
    file[36 + 8] = 3; // sub-format: floating point
    EXPECT_EQ(0, hssSound().load(file.data(), file.size()));
}

class SoundMixing : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestHost();
        ASSERT_EQ(1, speaker.open(22050, 16, false, 1, 4));
    }
    void TearDown() override { speaker.close(); }
    hssSpeaker speaker;
};

TEST_F(SoundMixing, PlaysAClipOnceAtTheSoundVolume) {
    hssSound sound;
    const std::vector<int16_t> clip = {1000, -2000, 3000, 32767};
    ASSERT_EQ(1, sound.loadSamples(clip.data(), clip.size()));
    EXPECT_EQ(0, speaker.playingSounds());
    ASSERT_EQ(1, speaker.playSound(&sound, hssSpeaker::FLAG_DEFAULT));
    EXPECT_EQ(1, speaker.playingSounds());
    EXPECT_EQ((std::vector<int16_t>{1000, -2000, 3000, 32767, 0, 0}), render(speaker, 6));
    EXPECT_EQ(0, speaker.playingSounds());

    speaker.volumeSounds(16);
    speaker.playSound(&sound, 0);
    EXPECT_EQ((std::vector<int16_t>{500, -1000, 1500, 16383}), render(speaker, 4));
    speaker.volumeSounds(0);
    speaker.playSound(&sound, 0);
    EXPECT_EQ((std::vector<int16_t>{0, 0, 0, 0}), render(speaker, 4));
    EXPECT_EQ(0, speaker.playSound(nullptr, 0));
    hssSound empty;
    EXPECT_EQ(0, speaker.playSound(&empty, 0));
}

TEST_F(SoundMixing, OverlappingClipsSaturateInsteadOfWrapping) {
    hssSound loud;
    const std::vector<int16_t> clip = {30000, -30000, 20000};
    ASSERT_EQ(1, loud.loadSamples(clip.data(), clip.size()));
    speaker.playSound(&loud, 0);
    speaker.playSound(&loud, 0);
    EXPECT_EQ(2, speaker.playingSounds());
    EXPECT_EQ((std::vector<int16_t>{32767, -32768, 32767, 0}), render(speaker, 4));
}

TEST_F(SoundMixing, ResamplesAClipOfAnotherRate) {
    hssSound half;
    const std::vector<int16_t> clip = {0, 1000, 2000};
    ASSERT_EQ(1, half.loadSamples(clip.data(), clip.size(), 11025));
    speaker.playSound(&half, 0);
    EXPECT_EQ((std::vector<int16_t>{0, 500, 1000, 1500, 2000, 2000, 0}), render(speaker, 7));
}

TEST_F(SoundMixing, AFifthClipTakesTheOldestOfFourChannels) {
    std::vector<int16_t> a(100, 100), b(100, 10);
    hssSound first, other;
    first.loadSamples(a.data(), a.size());
    other.loadSamples(b.data(), b.size());
    speaker.playSound(&first, 0);
    for (int i = 0; i < 4; ++i) speaker.playSound(&other, 0);
    EXPECT_EQ(4, speaker.playingSounds());
    EXPECT_EQ(40, render(speaker, 1)[0]); // the first clip was cut off
}

TEST_F(SoundMixing, StopSoundsSilencesEveryChannelAndUnloadingAPlayingClipIsSafe) {
    std::vector<int16_t> a(1000, 500);
    hssSound sound;
    sound.loadSamples(a.data(), a.size());
    speaker.playSound(&sound, 0);
    speaker.playSound(&sound, 0);
    speaker.stopSounds();
    EXPECT_EQ(0, speaker.playingSounds());
    EXPECT_EQ((std::vector<int16_t>{0, 0}), render(speaker, 2));

    speaker.playSound(&sound, 0);
    {
        hssSound gone;
        gone.loadSamples(a.data(), a.size());
        speaker.playSound(&gone, 0);
        EXPECT_EQ(2, speaker.playingSounds());
    } // destroyed while playing: the speaker lets go of it
    EXPECT_EQ(1, speaker.playingSounds());
    EXPECT_EQ(500, render(speaker, 1)[0]);
}

TEST(SoundDevice, WithoutAnOpenDeviceEverythingWorksAndStaysSilent) {
    useTestHost();
    hssSpeaker speaker;
    EXPECT_EQ(0, speaker.open(44100, 16, false, 1, 4)); // the test host only plays 22050 Hz
    EXPECT_FALSE(speaker.isOpen());
    hssSound sound;
    std::vector<int16_t> a(100, 500);
    sound.loadSamples(a.data(), a.size());
    EXPECT_EQ(1, speaker.playSound(&sound, 0));
    speaker.volumeSounds(20);
    EXPECT_EQ(20, speaker.volumeSounds());
    EXPECT_EQ((std::vector<int16_t>{0, 0, 0}), render(speaker, 3));
    speaker.stopSounds();
    EXPECT_EQ(0, speaker.playingSounds());
    speaker.close();
    speaker.close();
}

TEST(SoundDevice, VolumesAreKeptWithinTheirRanges) {
    hssSpeaker speaker;
    EXPECT_EQ(32, speaker.volumeSounds());
    EXPECT_EQ(64, speaker.volumeMusics());
    speaker.volumeSounds(40);
    speaker.volumeMusics(70);
    EXPECT_EQ(32, speaker.volumeSounds());
    EXPECT_EQ(64, speaker.volumeMusics());
    speaker.volumeSounds(-1);
    speaker.volumeMusics(-5);
    EXPECT_EQ(0, speaker.volumeSounds());
    EXPECT_EQ(0, speaker.volumeMusics());
}

TEST(SoundWave, EveryCutOfAClipLoadsOnlyTheWholeFramesPresent) {
    const std::vector<uint8_t> file = makeWave(clickTone(20), 22050, 16, 2);
    for (size_t size = 0; size <= file.size(); ++size) {
        std::vector<uint8_t> cut(file.begin(),
                                 file.begin() + size); // exact size, for the sanitizers
        hssSound sound;
        size_t frames = size > 44 ? (size - 44) / 4 : 0;
        EXPECT_EQ(frames > 0 ? 1 : 0, sound.load(cut.data(), cut.size())) << size;
        EXPECT_EQ(frames, sound.sampleCount()) << size;
    }
}
