// Files the hosts write: screenshots as PNG and recorded sound as WAV.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Writes 5-6-5 pixels as an 8-bit RGB PNG, each channel widened by bit
// replication. Returns false (with a message in error) on failure.
bool writePng565(const char* path, const std::vector<uint16_t>& pixels, int width, int height,
                 std::string* error);
// Widens a 5-6-5 pixel to 8-bit red, green and blue.
void rgbFrom565(uint16_t pixel, uint8_t* rgb);

// A mono 16-bit PCM WAV file written as samples arrive.
class WavWriter {
  public:
    ~WavWriter() { close(); }
    bool open(const char* path, int rate, std::string* error);
    void write(const int16_t* samples, size_t count);
    void close();
    bool isOpen() const { return file_ != nullptr; }

  private:
    std::FILE* file_ = nullptr;
    uint32_t samples_ = 0;
    int rate_ = 0;
};
