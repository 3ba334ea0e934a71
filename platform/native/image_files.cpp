#include "platform/native/image_files.h"

#include <png.h>

#include <cerrno>
#include <cstring>

void rgbFrom565(uint16_t p, uint8_t* rgb) {
    unsigned r = p >> 11 & 31, g = p >> 5 & 63, b = p & 31;
    rgb[0] = static_cast<uint8_t>(r << 3 | r >> 2);
    rgb[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    rgb[2] = static_cast<uint8_t>(b << 3 | b >> 2);
}

bool writePng565(const char* path, const std::vector<uint16_t>& pixels, int width, int height,
                 std::string* error) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) {
        *error = std::string("cannot write ") + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        *error = std::string("cannot encode ") + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) rgbFrom565(pixels[y * width + x], &row[x * 3]);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0) {
        *error = std::string("cannot write ") + path;
        return false;
    }
    return true;
}

namespace {

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void header(uint8_t* h, int rate, uint32_t samples) {
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + samples * 2);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1); // PCM
    put16(h + 22, 1); // mono
    put32(h + 24, static_cast<uint32_t>(rate));
    put32(h + 28, static_cast<uint32_t>(rate) * 2);
    put16(h + 32, 2);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, samples * 2);
}

} // namespace

bool WavWriter::open(const char* path, int rate, std::string* error) {
    close();
    file_ = std::fopen(path, "wb");
    if (!file_) {
        *error = std::string("cannot write ") + path + ": " + std::strerror(errno);
        return false;
    }
    rate_ = rate;
    samples_ = 0;
    uint8_t h[44];
    header(h, rate_, 0);
    std::fwrite(h, 1, sizeof h, file_);
    return true;
}

void WavWriter::write(const int16_t* samples, size_t count) {
    if (!file_) return;
    uint8_t buffer[512];
    while (count > 0) {
        size_t n = count < 256 ? count : 256;
        for (size_t i = 0; i < n; ++i) put16(buffer + 2 * i, static_cast<uint16_t>(samples[i]));
        std::fwrite(buffer, 2, n, file_);
        samples += n;
        count -= n;
        samples_ += static_cast<uint32_t>(n);
    }
}

void WavWriter::close() {
    if (!file_) return;
    uint8_t h[44];
    header(h, rate_, samples_);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, file_);
    std::fclose(file_);
    file_ = nullptr;
}
