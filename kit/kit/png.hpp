// PNG files of pictures, with text chunks that say what made them.
//
// Offers: PngText (a tEXt chunk), png_parts (all of a picture's PNG file but its compressed
// data, on every platform: the browser build has no libpng and compresses with the browser's own), and on the desktop write_png (into a stream, with
// libpng) and read_png_texts (the text chunks of a file). Both writers make the same image: a
// palette image where the picture has at most 256 colours (in the order its rows first show
// them), 8-bit RGB otherwise, with the text chunks before the image data.
#pragma once

#include "kit/image.hpp"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kit {

// A keyword of 1 to 79 Latin-1 characters ("Software", "Title", ...) and its text.
struct PngText {
    std::string keyword;
    std::string text;
    friend bool operator==(const PngText&, const PngText&) = default;
};

// A PNG file of the picture but for its image data, and that data uncompressed: `head` is the
// signature, IHDR, PLTE where the picture has at most 256 colours, and `texts` as tEXt chunks;
// `scanlines` is each row's filter byte (0: none) and its pixels (palette indices, or red, green
// and blue). Deflated in the zlib format, they are the IDAT chunk that, with IEND, completes the
// file: the page does that with the browser's own deflate (web/png.js).
struct PngParts {
    std::vector<std::uint8_t> head;
    std::vector<std::uint8_t> scanlines;
};
PngParts png_parts(const Image& image, std::span<const PngText> texts);

// Writes the picture to `file` (desktop only). The data may still sit in the stream's buffer;
// flushing it, and closing the file, is the caller's. Returns the reason on failure.
std::optional<std::string> write_png(std::FILE* file, const Image& image,
                                     std::span<const PngText> texts = {});

// The text chunks of the PNG file at `path` that stand before its image data (where the writers
// put them): tEXt, zTXt and iTXt (compressed or not), decompressed, in the file's order (desktop
// only). A keyword given twice is there twice, and a text keeps all its bytes, a NUL included (a
// text chunk may hold none: the caller decides what such a file is worth). Only a regular file
// is read: it is opened without waiting, so a FIFO or a device is refused at once. Nothing when
// the file cannot be read, with the reason in `error` (errno's text, "not a regular file (a
// FIFO)", "not a PNG file", "damaged PNG file: ...").
std::optional<std::vector<PngText>> read_png_texts(const std::string& path, std::string& error);

} // namespace kit
