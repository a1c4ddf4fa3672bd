// A slide as the bytes of a PNG file, made without libpng: the browser, which has no libpng,
// saves the slide on view with it. The image is what the desktop's export writes (the same
// palette, in the same order, or RGB beyond 256 colours, and the same text chunks); only the
// compression differs: runs of one colour, in deflate's fixed codes.
#pragma once

#include <SDL.h>

#include <span>
#include <string>
#include <vector>

namespace kit {

// A tEXt chunk: a keyword ("Title") and its text, both Latin-1 (the captions are ASCII).
struct PngText {
    std::string keyword;
    std::string text;
};

// Encodes a 32-bit surface.
std::vector<Uint8> png_bytes(SDL_Surface* surface, std::span<const PngText> texts);

} // namespace kit
