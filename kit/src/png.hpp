// The image format of exported slides.
#pragma once

#include <SDL.h>

#include <cstdio>
#include <optional>
#include <string>

namespace kit {

// Writes the surface to `file` as an 8-bit PNG: a palette image when it holds at most 256
// colours (the slides' usual case), RGB otherwise. The data may still sit in the stream's
// buffer; flushing it, and closing the file, is the caller's. Returns the reason on failure.
std::optional<std::string> write_png(std::FILE* file, SDL_Surface* surface);

} // namespace kit
