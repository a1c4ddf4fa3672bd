#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure1 {

// The portraits of the three tiles, in slide order. O1 over the tile on row 168 (slide 1),
// 6284 orbits of 2000 points: by far the longest plot of all the programs.
inline constexpr kit::OrbitRow kick_0_9{.kick = 0.9f,
                                        .seed_step = 0.001,
                                        .orbit_length = 2000,
                                        .x_scale = 40,
                                        .x_offset = 20,
                                        .y_base = 238,
                                        .y_scale = 35,
                                        .colour_scale = 5,
                                        .colour_offset = 7};

// O2 over row 268 (slide 6), 65 pixels a radian: it spills far right of its tile.
inline constexpr kit::OrbitRow kick_1_wide{.kick = 1,
                                           .seed_step = 0.005,
                                           .orbit_length = 1000,
                                           .x_scale = 65,
                                           .x_offset = 20,
                                           .y_base = 420,
                                           .y_scale = 55,
                                           .colour_scale = 10,
                                           .colour_offset = 0};

// O3 over row 368 (slide 11).
inline constexpr kit::OrbitRow kick_1{.kick = 1,
                                      .seed_step = 0.005,
                                      .orbit_length = 1000,
                                      .x_scale = 40,
                                      .x_offset = 20,
                                      .y_base = 424,
                                      .y_scale = 25,
                                      .colour_scale = 10,
                                      .colour_offset = 0};

inline constexpr std::array orbit_rows{kick_0_9, kick_1_wide, kick_1};

// The steps of the script. All work on the current tile, 250 pixels wide; so does the kit's
// replicate_tile, which repeats the tile's rows B - 83 .. B across the window.

// Repaints the white pixels of columns L .. L + 249, rows B down to B - 83: all red, or with
// `split` red left of column L + 125 and blue from there. The top and right edges are not visited.
void fill_background(bool split);

// Whitens the 640 x 480 area except the tile's lower half, rows B - 42 .. B of columns
// L .. L + 250.
void keep_lower_half();

// Fills the upper half of the tile (0.165 <= v <= 1/3) with the mirror image of its lower half
// about v = 1/6: row y takes row 2B - 84 - y of the same column.
void mirror_upper_half();

// Three tiles, each: orbits over a box, the box filled, the lower half kept, then mirrored and
// repeated across the window.
void script();

// What each slide shows, in slide order: the window title, the page and --help show it, and
// an exported slide carries it.
inline constexpr std::array<const char*, 13> captions{{
    "the orbits of the kicked map with K = 0.9 over the first tile, its empty background filled "
    "red",
    "the lower half of the tile kept, and the box drawn again",
    "the upper half rebuilt as the mirror image of the lower half",
    "the tile repeated across the window",
    "a clean screen and the empty box of the second tile",
    "the orbits of the kicked map with K = 1, spilling far to the right of the box",
    "the empty background filled, red in the left half and blue in the right",
    "the lower half of the tile kept",
    "the upper half mirrored from the lower, and the tile repeated across the window",
    "a clean screen and the empty box of the third tile",
    "the orbits of the kicked map with K = 1 over the third tile",
    "the empty background filled red and blue, and the lower half kept",
    "the upper half mirrored from the lower, and the tile repeated across the window",
}};

inline const kit::Program program{.name = "figure1",
                                  .slide_count = static_cast<int>(captions.size()),
                                  .captions = captions,
                                  .seeds_from_clock = false,
                                  .orbit_rows = orbit_rows,
                                  .script = script};

} // namespace figure1
