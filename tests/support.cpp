#include "support.hpp"

#include <png.h>

#include <cstring>

namespace test {

SoftwareScreen::SoftwareScreen() {
    kit::install_software_screen();
    kit::white = kit::map_rgb(255, 255, 255);
    kit::black = kit::map_rgb(0, 0, 0);
    kit::red = kit::map_rgb(255, 0, 0);
    kit::blue = kit::map_rgb(0, 0, 255);
    kit::clear_screen(kit::white);
}

SoftwareScreen::~SoftwareScreen() {
    kit::release_screen();
}

Picture snapshot() {
    Picture picture{kit::screen->w, kit::screen->h, {}};
    picture.pixels.reserve(static_cast<size_t>(picture.w) * picture.h);
    for (int y = 0; y < picture.h; ++y)
        for (int x = 0; x < picture.w; ++x) picture.pixels.push_back(kit::get_pixel(x, y));
    return picture;
}

std::vector<Picture> capture_slides(const kit::Program& program, std::optional<unsigned> seed) {
    std::vector<Picture> slides;
    kit::run_headless(
        program, [&](int) { slides.push_back(snapshot()); }, seed);
    return slides;
}

std::optional<Picture> read_png(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    picture.pixels.resize(rgb.size() / 3);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = Uint32(rgb[3 * i]) << 16 | Uint32(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return picture;
}

std::vector<std::pair<int, int>> differences(const Picture& a, const Picture& b, size_t limit) {
    std::vector<std::pair<int, int>> found;
    if (a.w != b.w || a.h != b.h) return {{-1, -1}};
    for (int y = 0; y < a.h && found.size() < limit; ++y)
        for (int x = 0; x < a.w && found.size() < limit; ++x)
            if (a.at(x, y) != b.at(x, y)) found.emplace_back(x, y);
    return found;
}

long count(const Picture& picture, Uint32 colour) {
    long n = 0;
    for (Uint32 pixel : picture.pixels) n += pixel == colour;
    return n;
}

} // namespace test
