// The display buffers set up in a test the way start-up sets them up, on the
// headless host with one of the emulated devices; the stored pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct STGapiBuffer;
struct Surface;

// Chooses the device and opens the display as start-up does; backBuffer black.
void useGfxHost(const char* device = "qvga");
// As useGfxHost, then the layout values, blank buffer, sprite key and font as
// start-up leaves them for the screens (the small screen mode when shrink is 20).
void useScreenLayout(const char* device, int width, int height, int centreX, int shrink);
// Fills backBuffer's logical screen with one value.
void fillBackBuffer(uint16_t value);
// backBuffer's pixel (x, y) of the logical screen.
uint16_t backPixel(int x, int y);
// A Surface made from the given pixels; release with releaseSurface.
Surface* makeSurface(int width, int height, const std::vector<uint16_t>& pixels);
// Every logical pixel of backBuffer (or another buffer), row by row.
std::vector<uint16_t> backScreen();
std::vector<uint16_t> backScreen(const STGapiBuffer& buffer);

// A picture of the executable's resources as the game converts it for
// backBuffer (useGfxHost first); one that did not load is empty.
class Picture {
  public:
    explicit Picture(int id);
    bool loaded() const { return !pixels_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    uint16_t at(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }

  private:
    int width_ = 0, height_ = 0;
    std::vector<uint16_t> pixels_;
};
struct Rgb8 {
    int r, g, b;
};
// A 5-6-5 pixel as 8-bit channels, widened by bit replication.
Rgb8 rgbOf(uint16_t pixel);
