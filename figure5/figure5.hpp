#pragma once

#include "kit/program.hpp"

namespace figure5 {

// Four bands of 60 triangle cells each, drawn on a white ground and shown as one slide.
void script();

inline const kit::Program program{
    .name = "figure5", .slide_count = 1, .seeds_from_clock = true, .script = script};

} // namespace figure5
