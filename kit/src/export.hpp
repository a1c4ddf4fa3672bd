// Saving a show as images, without a window.
#pragma once

#include "kit/files.hpp"
#include "kit/program.hpp"

#include <optional>
#include <string>

namespace kit {

// Writes every slide of the show into a folder, without a window; returns the exit status.
// Only the desktop has files to write to: the browser build refuses (export_web.cpp).
int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed);

} // namespace kit
