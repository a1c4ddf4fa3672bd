#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure6 {

// Each row on two lines (the formatter would give every field a line of its own).
// clang-format off
// The orbit plot of slide 2.
inline constexpr kit::OrbitRow kick_0_4{
    .kick = 0.4f, .seed_step = 0.001, .orbit_length = 1000, .x_scale = 10, .x_offset = 20,
    .y_base = 184, .y_scale = 28, .colour_scale = 5, .colour_offset = 7};
// clang-format on

inline constexpr std::array orbit_rows{kick_0_4};

// One tile, one orbit plot, and three remaps that rebuild the strip from the tile's left quarter.
void script();

// Its remaps, for the fixed tile at left 20, base 138: the quarter mirrored about u = 0.25 into
// the second quarter, then the left half turned about the tile's centre into the right half.
void mirror_quarter();
void rotate_half();

inline const kit::Program program{
    .name = "figure6", .slide_count = 6, .orbit_rows = orbit_rows, .script = script};

} // namespace figure6
