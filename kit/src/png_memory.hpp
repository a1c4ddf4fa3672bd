// What a saved slide says about itself, and PNG files made without libpng, which the browser
// has not: the image is what the desktop's export writes (the same palette, in the same order, or
// RGB beyond 256 colours, and the same text chunks); only the compression differs. png_parts
// leaves it to the page, whose browser deflates far better (web/png.js); png_bytes writes runs
// of one colour in deflate's fixed codes, about three times the export's bytes.
#pragma once

#include "kit/image.hpp"
#include "kit/program.hpp"
#include "png.hpp"

#include <SDL.h>

#include <optional>
#include <span>
#include <vector>

namespace kit {

// The text chunks of a saved slide, on the desktop and in the browser alike: what wrote it,
// which slide it is and what it shows, and the seed of its colours where they have one, so that
// a file says how to show it again.
std::vector<PngText> slide_texts(const Program& program, int slide, std::optional<unsigned> seed);

// A PNG file of the image but for its image data, and that data uncompressed: `head` is the
// signature, IHDR, PLTE where the image has at most 256 colours, and `texts` as tEXt chunks;
// `scanlines` is each row's filter byte (0: none) and its pixels (palette indices, or red, green
// and blue). Deflated in the zlib format, they are the IDAT chunk that, with IEND, completes the
// file.
struct PngParts {
    std::vector<Uint8> head;
    std::vector<Uint8> scanlines;
};
PngParts png_parts(const Image& image, std::span<const PngText> texts);

// A 32-bit surface's pixels (each colour a whole byte: the programs' screens) as an Image.
Image surface_image(SDL_Surface* surface);

// Encodes a 32-bit surface, or 32-bit pixels of any width, whole.
std::vector<Uint8> png_bytes(SDL_Surface* surface, std::span<const PngText> texts);
std::vector<Uint8> png_bytes(const PixelImage& image, std::span<const PngText> texts);

} // namespace kit
