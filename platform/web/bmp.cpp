// The browser edition's BMP decoding, through stb_image (Debian's libstb-dev,
// header only): SDL's loader, which the desktop uses, is not in this build.
#include "platform/host/host.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image.h>
#pragma GCC diagnostic pop

#include <climits>

// Reads uncompressed or bit-field pixels of 1, 4, 8, 16, 24 or 32 bits.
bool hostDecodeBmp(const unsigned char* data, size_t size, int* width, int* height,
                   std::vector<uint8_t>* rows) {
    if (!data || size > INT_MAX) return false;
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, STBI_rgb);
    if (!rgb) return false;
    // Rows top first, each pixel blue, green, red as a BMP stores it.
    size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    rows->resize(count * 3);
    for (size_t i = 0; i < count; ++i) {
        (*rows)[i * 3] = rgb[i * 3 + 2];
        (*rows)[i * 3 + 1] = rgb[i * 3 + 1];
        (*rows)[i * 3 + 2] = rgb[i * 3];
    }
    stbi_image_free(rgb);
    *width = w;
    *height = h;
    return true;
}
