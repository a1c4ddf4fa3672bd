#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure3 {

// Each row on two lines (the formatter would give every field a line of its own).
// clang-format off
// The portraits of the three stages: O1 over the tile on row 138 (slide 2), 20 pixels a radian,
// so one period of theta fills the kept left half.
inline constexpr kit::OrbitRow kick_0_5{
    .kick = 0.5f, .seed_step = 0.001, .orbit_length = 1000, .x_scale = 20, .x_offset = 20,
    .y_base = 192, .y_scale = 28, .colour_scale = 5, .colour_offset = 7};

// O2 over row 268 (slide 8), 40 pixels a radian: the kept corner shows theta below about 3.15.
inline constexpr kit::OrbitRow kick_1_wide{
    .kick = 1, .seed_step = 0.005, .orbit_length = 1000, .x_scale = 40, .x_offset = 20,
    .y_base = 300, .y_scale = 20, .colour_scale = 10, .colour_offset = 0};

// O3 over row 368 (slide 13), 20 pixels a radian again.
inline constexpr kit::OrbitRow kick_1{
    .kick = 1, .seed_step = 0.005, .orbit_length = 1000, .x_scale = 20, .x_offset = 20,
    .y_base = 424, .y_scale = 25, .colour_scale = 10, .colour_offset = 0};
// clang-format on

inline constexpr std::array orbit_rows{kick_0_5, kick_1_wide, kick_1};

// The remaps that rebuild the current tile (left edge 20, 250 wide) from its lower left corner,
// in the order the stages run them; the kit's replicate_tile then repeats the tile's 84 rows
// across the window every 250 columns.

// The right half becomes the left half mirrored about u = 0.5; rows stay.
void mirror_half();

// The upper rows (0.165 <= v <= 1/3) become the lower ones mirrored about v = 1/6; columns stay.
void mirror_rows();

// Three stages with the tile on rows 138, 268 and 368; fifteen slides.
void script();

inline const kit::Program program{
    .name = "figure3", .slide_count = 15, .orbit_rows = orbit_rows, .script = script};

} // namespace figure3
