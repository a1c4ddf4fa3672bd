// The image format of exported slides.
#pragma once

#include <SDL.h>

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kit {

// A PNG text chunk: a keyword of 1 to 79 Latin-1 characters ("Software", "Title", ...) and its
// text. The writer writes tEXt chunks; the reader also reads zTXt and iTXt.
struct PngText {
    std::string keyword;
    std::string text;
    friend bool operator==(const PngText&, const PngText&) = default;
};

// A picture's pixels as the PNG writer reads them: row y at pixels + y * pitch bytes, each pixel
// in `format`. Unlike an SDL 1.2 surface, whose pitch has 16 bits (at most 16383 pixels of 32
// bits a row), it may be as wide as memory allows.
struct PixelImage {
    const void* pixels = nullptr;
    int width = 0, height = 0;
    size_t pitch = 0;
    const SDL_PixelFormat* format = nullptr;
};

PixelImage image_of(const SDL_Surface* surface);

// The colours of a 32-bit image in the order its rows first show them, and each pixel's index
// into them, row by row: the palette both PNG writers (the file's and the browser's) give an image
// of at most 256 colours. False when it holds more (then it is written as RGB).
struct IndexedPixels {
    std::vector<Uint32> colours;
    std::vector<Uint8> indices; // width bytes a row
};
bool index_colours(const PixelImage& image, IndexedPixels& out);

// Writes the image to `file` as an 8-bit PNG: a palette image when it holds at most 256
// colours (the slides' usual case), RGB otherwise, with `texts` as text chunks before the image
// data. The data may still sit in the stream's buffer; flushing it, and closing the file, is the
// caller's. Returns the reason on failure.
std::optional<std::string> write_png(std::FILE* file, const PixelImage& image,
                                     std::span<const PngText> texts = {});

// The text chunks of the PNG file at `path` that stand before its image data (where write_png
// puts them): tEXt, zTXt and iTXt (compressed or not), decompressed, in the file's order. A
// keyword given twice is there twice, and a text keeps all its bytes, a NUL included (a text
// chunk may hold none: the caller decides what such a file is worth). Only a regular file is
// read: it is opened without waiting, so a FIFO or a device is refused at once. Nothing when the
// file cannot be read, with the reason in `error` (errno's text, "not a regular file (a FIFO)",
// "not a PNG file", "damaged PNG file: ...").
std::optional<std::vector<PngText>> read_png_texts(const std::string& path, std::string& error);

} // namespace kit
