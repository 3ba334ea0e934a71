// Reading the headless host's PNG shots back in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // 3 bytes a pixel, rows top first

    bool empty() const { return rgb.empty(); }
    // The pixel as 0xRRGGBB.
    uint32_t at(int x, int y) const {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
};

// The 8-bit RGB (or RGBA, alpha dropped) PNG file; empty when it cannot be read.
Shot readShot(const std::string& path);
