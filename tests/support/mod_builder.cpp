#include "support/mod_builder.h"

#include "platform/wince/resources.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int SAMPLE_WORDS = 32; // 64 bytes: one cycle of the waveform
constexpr size_t HEADER_SIZE = 1084;
constexpr size_t PATTERN_SIZE = 64 * 4 * 4;

void putBig16(std::vector<uint8_t>& out, size_t at, int value) {
    out[at] = static_cast<uint8_t>(value >> 8);
    out[at + 1] = static_cast<uint8_t>(value);
}

void putCell(std::vector<uint8_t>& out, size_t at, int sample, int period, int effect, int param) {
    out[at] = static_cast<uint8_t>((sample & 0xF0) | ((period >> 8) & 0x0F));
    out[at + 1] = static_cast<uint8_t>(period);
    out[at + 2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | (effect & 0x0F));
    out[at + 3] = static_cast<uint8_t>(param);
}

// Byte by byte: GCC's -O2 overflow analysis misreads a range insert here.
void append(std::vector<uint8_t>& out, const char* text) {
    for (size_t i = 0; text[i]; ++i) out.push_back(static_cast<uint8_t>(text[i]));
}

void appendLittle(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

std::vector<uint8_t> makeModule(const ModuleShape& shape) {
    std::vector<uint8_t> out(HEADER_SIZE + shape.patterns * PATTERN_SIZE + SAMPLE_WORDS * 2, 0);
    std::memcpy(out.data(), "test module", 11);
    // Sample 1: a looping sine cycle; the other 30 slots stay empty.
    size_t sample = 20;
    std::memcpy(&out[sample], "sine", 4);
    putBig16(out, sample + 22, SAMPLE_WORDS);
    out[sample + 25] = static_cast<uint8_t>(shape.sampleVolume);
    putBig16(out, sample + 28, SAMPLE_WORDS);
    for (int i = 1; i < 31; ++i) putBig16(out, 20 + 30 * i + 28, 1);
    out[950] = static_cast<uint8_t>(shape.patterns);
    out[951] = 127;
    for (int p = 0; p < shape.patterns; ++p) out[952 + p] = static_cast<uint8_t>(p);
    std::memcpy(&out[1080], "M.K.", 4);

    const int steps[4] = {0, 4, 7, 12}; // a chord, one note per channel
    for (int p = 0; p < shape.patterns; ++p) {
        size_t base = HEADER_SIZE + p * PATTERN_SIZE;
        for (int row = 0; row < shape.rowsPerPattern && row < 64; row += 4) {
            for (int ch = 0; ch < 4; ++ch) {
                int semitones = steps[(ch + row / 4 + p) % 4];
                int period = static_cast<int>(shape.basePeriod / std::pow(2.0, semitones / 12.0));
                int effect = row == 0 && ch == 3 ? 0xF : 0; // set the speed
                putCell(out, base + (row * 4 + ch) * 4, 1, period, effect,
                        effect ? shape.speed : 0);
            }
        }
        if (shape.rowsPerPattern < 64) {
            size_t last = base + ((shape.rowsPerPattern - 1) * 4 + 2) * 4;
            putCell(out, last, 0, 0, 0xD, 0); // pattern break to the next pattern's row 0
        }
    }
    size_t data = HEADER_SIZE + shape.patterns * PATTERN_SIZE;
    for (int i = 0; i < SAMPLE_WORDS * 2; ++i) {
        double phase = 2.0 * M_PI * i / (SAMPLE_WORDS * 2);
        out[data + i] =
            static_cast<uint8_t>(static_cast<int8_t>(std::lround(100 * std::sin(phase))));
    }
    return out;
}

std::vector<uint8_t> makeWave(const std::vector<int16_t>& samples, int rate, int bits,
                              int channels) {
    uint32_t bytesPerFrame = static_cast<uint32_t>(channels * bits / 8);
    uint32_t dataSize = static_cast<uint32_t>(samples.size()) * bytesPerFrame;
    std::vector<uint8_t> out;
    append(out, "RIFF");
    appendLittle(out, 36 + dataSize + (dataSize & 1), 4);
    append(out, "WAVEfmt ");
    appendLittle(out, 16, 4);
    appendLittle(out, 1, 2);
    appendLittle(out, static_cast<uint32_t>(channels), 2);
    appendLittle(out, static_cast<uint32_t>(rate), 4);
    appendLittle(out, static_cast<uint32_t>(rate) * bytesPerFrame, 4);
    appendLittle(out, bytesPerFrame, 2);
    appendLittle(out, static_cast<uint32_t>(bits), 2);
    append(out, "data");
    appendLittle(out, dataSize, 4);
    for (int16_t s : samples)
        for (int c = 0; c < channels; ++c)
            appendLittle(out, bits == 8 ? (s >> 8) + 128 : static_cast<uint16_t>(s), bits / 8);
    if (dataSize & 1) out.push_back(0);
    return out;
}

std::vector<int16_t> clickTone(int count, int amplitude) {
    std::vector<int16_t> samples;
    for (int i = 0; i < count; ++i) {
        double envelope = 1.0 - static_cast<double>(i) / count;
        double tone = std::sin(2.0 * M_PI * 1500.0 * i / 22050.0);
        samples.push_back(static_cast<int16_t>(std::lround(amplitude * envelope * tone)));
    }
    return samples;
}

const std::vector<uint8_t>& testMenuModule() {
    static const std::vector<uint8_t> bytes = makeModule();
    return bytes;
}

const std::vector<uint8_t>& testGameModule() {
    static const std::vector<uint8_t> bytes = makeModule(ModuleShape{1, 64, 320});
    return bytes;
}

void registerTestSounds() {
    static const std::vector<uint8_t> click = makeWave(clickTone());
    registerResource("MODULE", 1, testMenuModule().data(), testMenuModule().size());
    registerResource("MODULE", 2, testGameModule().data(), testGameModule().size());
    registerResource("WAVE", 1, click.data(), click.size());
}
