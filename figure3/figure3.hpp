#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure3 {

// The portraits of the three stages, kicks 0.5, 1 and 1: O1 over the box on row 138 (slide 2),
// O2 over row 268 (slide 8) and O3 over row 368 (slide 13).
inline constexpr std::array<kit::OrbitRow, 3> orbit_rows{{
    {.kick = 0.5f,
     .seed_step = 0.001,
     .orbit_length = 1000,
     .x_scale = 20,
     .x_offset = 20,
     .y_base = 192,
     .y_scale = 28,
     .colour_scale = 5,
     .colour_offset = 7},
    {.kick = 1,
     .seed_step = 0.005,
     .orbit_length = 1000,
     .x_scale = 40,
     .x_offset = 20,
     .y_base = 300,
     .y_scale = 20,
     .colour_scale = 10,
     .colour_offset = 0},
    {.kick = 1,
     .seed_step = 0.005,
     .orbit_length = 1000,
     .x_scale = 20,
     .x_offset = 20,
     .y_base = 424,
     .y_scale = 25,
     .colour_scale = 10,
     .colour_offset = 0},
}};

// The remaps that rebuild the current tile (tile_left, tile_base, 250 wide) from its lower left
// corner, in the order the stages run them.

// The right half becomes the left half mirrored about u = 0.5; rows stay.
void mirror_half();

// The upper rows (0.165 <= v <= 1/3) become the lower ones mirrored about v = 1/6; columns stay.
void mirror_rows();

// The tile's 84 rows repeated across the window every 250 columns.
void replicate_tile();

// Three stages with the tile on rows 138, 268 and 368; fifteen slides.
void script();

inline const kit::Program program{
    .name = "figure3", .slide_count = 15, .seeds_from_clock = false, .script = script};

} // namespace figure3
