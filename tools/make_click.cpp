// Writes the menu click: a short, soft tick of a few milliseconds, as a mono
// 16-bit PCM WAVE at 22050 Hz. Deterministic: the same bytes every run.
//
// Usage: make_click OUTPUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int RATE = 22050;
constexpr int LENGTH = 660; // 30 ms

void put(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<int16_t> click() {
    std::vector<int16_t> samples(LENGTH);
    uint32_t noise = 12345;
    double low = 0;
    for (int i = 0; i < LENGTH; ++i) {
        double t = static_cast<double>(i) / RATE;
        noise = noise * 1664525u + 1013904223u;
        double white = static_cast<double>(noise >> 8) / (1 << 24) * 2.0 - 1.0;
        low += (white - low) * 0.35; // soften the noise
        double attack = i < 22 ? i / 22.0 : 1.0;
        double body = std::sin(2 * M_PI * 1850.0 * t) * std::exp(-t * 190.0);
        double tick = low * std::exp(-t * 420.0);
        double v = attack * (0.55 * body + 0.35 * tick);
        samples[i] = static_cast<int16_t>(std::lround(v * 14000.0));
    }
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_click OUTPUT.wav\n");
        return 2;
    }
    std::vector<int16_t> samples = click();
    std::vector<uint8_t> out;
    uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(&out, 36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(&out, 16, 4);
    put(&out, 1, 2); // PCM
    put(&out, 1, 2); // mono
    put(&out, RATE, 4);
    put(&out, RATE * 2, 4);
    put(&out, 2, 2);
    put(&out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(&out, data, 4);
    for (int16_t s : samples) put(&out, static_cast<uint16_t>(s), 2);
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_click: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
