#pragma once

#include "kit/program.hpp"

namespace figure5 {

// Four bands of 60 triangle cells each, drawn on a white ground and shown as one slide.
void script();

// Its colours are a fixed table: no random number reaches the picture, so there is no seed to
// take from the clock or to offer.
inline const kit::Program program{
    .name = "figure5", .slide_count = 1, .uses_palette = false, .script = script};

} // namespace figure5
