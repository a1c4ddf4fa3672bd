// What the two PNG writers (libpng's for files, png_memory.cpp's for the browser) share.
#pragma once

#include "kit/png.hpp"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kit {

// The colours of an image in the order its rows first show them, and each pixel's index into
// them, row by row: the palette both writers give an image of at most 256 colours. False when it
// holds more (then it is written as RGB).
struct IndexedPixels {
    std::vector<std::uint32_t> colours;
    std::vector<std::uint8_t> indices; // width bytes a row
};
bool index_colours(const Image& image, IndexedPixels& out);

// write_png of a picture already indexed (index_colours was true), width x height in `layout`;
// the buffers are the caller's again afterwards. Desktop only.
std::optional<std::string> write_png_indexed(std::FILE* file, IndexedPixels& pixels, int width,
                                             int height, PixelLayout layout,
                                             std::span<const PngText> texts);

} // namespace kit
