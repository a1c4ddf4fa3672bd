#pragma once

#include "kit/program.hpp"

namespace figure6 {

// One tile, one orbit plot, and three remaps that rebuild the strip from the tile's left quarter.
void script();

inline const kit::Program program{
    .name = "figure6", .slide_count = 6, .seeds_from_clock = false, .script = script};

} // namespace figure6
