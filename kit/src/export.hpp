// Saving slides as image files, safely: every file is written under a temporary name of its own
// and renamed into place once complete.
#pragma once

#include "kit/program.hpp"

#include <SDL.h>
#include <signal.h>

#include <optional>
#include <string>

namespace kit {

// Writes every slide of the show into a folder, without a window; returns the exit status.
// Only the desktop has files to write to: the browser build refuses (export_web.cpp).
int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed);

// Writes the surface as a PNG image to `path`. The image goes to a new temporary file in the same
// folder, made exclusively (a name that exists, a planted link included, is never opened), and
// is renamed over `path` once flushed and closed: `path` is then a complete image, and a link
// there is replaced, not followed. Returns an error message naming `path` on failure, with the
// temporary file removed.
std::optional<std::string> write_slide(const std::string& path, SDL_Surface* surface);

// While it lives, SIGINT, SIGTERM, SIGHUP and SIGXFSZ first remove the temporary file being
// written (if any) and then end the program as they would have; signals that were ignored stay
// ignored.
class TemporaryFileGuard {
  public:
    TemporaryFileGuard();
    ~TemporaryFileGuard();
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

  private:
    struct sigaction saved_[4];
};

} // namespace kit
