// What a saved slide says about itself, and a slide as the bytes of a PNG file made without
// libpng: the browser, which has no libpng, saves the slide on view with it. The image is what
// the desktop's export writes (the same palette, in the same order, or RGB beyond 256 colours,
// and the same text chunks); only the compression differs: runs of one colour, in deflate's
// fixed codes.
#pragma once

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

// Encodes a 32-bit surface, or 32-bit pixels of any width.
std::vector<Uint8> png_bytes(SDL_Surface* surface, std::span<const PngText> texts);
std::vector<Uint8> png_bytes(const PixelImage& image, std::span<const PngText> texts);

} // namespace kit
