#include "support/png_image.h"

#include <png.h>

bool Shot::black(int x, int y, int w, int h) const {
    return lit(x, y, w, h) == 0;
}

int Shot::lit(int x, int y, int w, int h) const {
    int count = 0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (at(i, j) != 0) ++count;
    return count;
}

Shot readShot(const std::string& path) {
    Shot shot;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return shot;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return shot;
    }
    shot.width = static_cast<int>(image.width);
    shot.height = static_cast<int>(image.height);
    shot.rgb = std::move(pixels);
    return shot;
}
