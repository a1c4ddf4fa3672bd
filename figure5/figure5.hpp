#pragma once

#include "kit/program.hpp"

#include <array>

namespace figure5 {

// Four bands of 60 triangle cells each, drawn on a white ground and shown as one slide.
void script();

// What each slide shows, in slide order: the window title, the page and --help show it, and
// an exported slide carries it.
inline constexpr std::array<const char*, 1> captions{{
    "a strip of 240 triangles in four colours that join into interlaced bands",
}};

// It seeds the generator from the clock like figure4, but its colours are a fixed table: no
// random number reaches the picture, so there is no seed to offer.
inline const kit::Program program{.name = "figure5",
                                  .slide_count = static_cast<int>(captions.size()),
                                  .captions = captions,
                                  .seeds_from_clock = true,
                                  .uses_palette = false,
                                  .script = script};

} // namespace figure5
