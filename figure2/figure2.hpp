#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure2 {

// Each row on two lines (the formatter would give every field a line of its own).
// clang-format off
// The portraits of the three stages, named for their kicks: O1 over the tile on row 138
// (slide 2), O2 over row 268 (slide 8) and O3 over row 368 (slide 13).
inline constexpr kit::OrbitRow kick_0_4{
    .kick = 0.4f, .seed_step = 0.001, .orbit_length = 1000, .x_scale = 10, .x_offset = 20,
    .y_base = 184, .y_scale = 28, .colour_scale = 5, .colour_offset = 7};

inline constexpr kit::OrbitRow kick_0_8{
    .kick = 0.8f, .seed_step = 0.005, .orbit_length = 1000, .x_scale = 35, .x_offset = 20,
    .y_base = 300, .y_scale = 23, .colour_scale = 10, .colour_offset = 0};

inline constexpr kit::OrbitRow kick_0_7{
    .kick = 0.7f, .seed_step = 0.005, .orbit_length = 1000, .x_scale = 10, .x_offset = 20,
    .y_base = 407, .y_scale = 25, .colour_scale = 10, .colour_offset = 0};
// clang-format on

inline constexpr std::array orbit_rows{kick_0_4, kick_0_8, kick_0_7};

// The remaps that rebuild the current tile (left edge 20, 250 wide) from its first quarter, in
// the order the stages run them; the kit's replicate_tile then repeats the tile's 84 rows
// across the window every 250 columns.

// The second quarter (0.25 <= u <= 0.5) becomes the first one mirrored about u = 0.25.
void mirror_quarter();

// The right half becomes the left half turned by 180 degrees about the tile's centre.
void rotate_half();

// Three stages with the tile on rows 138, 268 and 368; fifteen slides.
void script();

inline const kit::Program program{
    .name = "figure2", .slide_count = 15, .orbit_rows = orbit_rows, .script = script};

} // namespace figure2
