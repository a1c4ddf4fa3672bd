#pragma once

#include "kit/program.hpp"

namespace figure5 {

// Four bands of 60 triangle cells each, drawn on a white ground and shown as one slide.
void script();

// It seeds the generator from the clock like figure4, but its colours are a fixed table: no
// random number reaches the picture, so there is no seed to offer.
inline const kit::Program program{.name = "figure5",
                                  .slide_count = 1,
                                  .seeds_from_clock = true,
                                  .uses_palette = false,
                                  .script = script};

} // namespace figure5
