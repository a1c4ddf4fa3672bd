// What a saved slide says about itself: the text chunks of the desktop's export and of the
// browser's download alike.
#pragma once

#include "kit/png.hpp"
#include "kit/program.hpp"

#include <optional>
#include <vector>

namespace kit {

// The text chunks of a saved slide, on the desktop and in the browser alike: what wrote it,
// which slide it is and what it shows, and the seed of its colours where they have one, so that
// a file says how to show it again.
std::vector<PngText> slide_texts(const Program& program, int slide, std::optional<unsigned> seed);

} // namespace kit
