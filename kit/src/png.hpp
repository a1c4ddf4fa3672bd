// Saving the screen as a PNG image.
#pragma once

#include <SDL.h>

#include <optional>
#include <string>

namespace kit {

// Writes the surface as an 8-bit RGB PNG. The image goes to a temporary file in the same folder
// that is renamed to `path` once complete, so a failed write never leaves a truncated image.
// Returns an error message naming the file and the reason, or nothing on success.
std::optional<std::string> write_png(const std::string& path, SDL_Surface* surface);

} // namespace kit
