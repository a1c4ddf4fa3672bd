#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure3 {

// The portraits of the three stages: O1 over the tile on row 138 (slide 2), 20 pixels a radian,
// so one period of theta fills the kept left half.
inline constexpr kit::OrbitRow kick_0_5{.kick = 0.5f,
                                        .seed_step = 0.001,
                                        .orbit_length = 1000,
                                        .x_scale = 20,
                                        .x_offset = 20,
                                        .y_base = 192,
                                        .y_scale = 28,
                                        .colour_scale = 5,
                                        .colour_offset = 7};

// O2 over row 268 (slide 8), 40 pixels a radian: the kept corner shows theta below about 3.15.
inline constexpr kit::OrbitRow kick_1_wide{.kick = 1,
                                           .seed_step = 0.005,
                                           .orbit_length = 1000,
                                           .x_scale = 40,
                                           .x_offset = 20,
                                           .y_base = 300,
                                           .y_scale = 20,
                                           .colour_scale = 10,
                                           .colour_offset = 0};

// O3 over row 368 (slide 13), 20 pixels a radian again.
inline constexpr kit::OrbitRow kick_1{.kick = 1,
                                      .seed_step = 0.005,
                                      .orbit_length = 1000,
                                      .x_scale = 20,
                                      .x_offset = 20,
                                      .y_base = 424,
                                      .y_scale = 25,
                                      .colour_scale = 10,
                                      .colour_offset = 0};

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

// What each slide shows, in slide order: the window title, the page and --help show it, and
// an exported slide carries it.
inline constexpr std::array<const char*, 15> captions{{
    "the empty tile box",
    "the orbits of the kicked map with K = 0.5, spread over the left half of the tile",
    "the lower left corner of the tile kept",
    "the right half rebuilt as the mirror image of the left half",
    "the upper rows rebuilt as the mirror image of the lower rows",
    "the tile repeated across the window",
    "a clean screen and the empty box of the second tile",
    "the orbits of the kicked map with K = 1",
    "the empty background of the left half filled, red and then blue",
    "the lower left corner of the tile kept",
    "the tile rebuilt from its corner by two mirrors, and repeated across the window",
    "a clean screen and the empty box of the third tile",
    "the orbits of the kicked map with K = 1, spread over the left half of the tile",
    "the empty background filled and the lower left corner kept: the orbits on red and blue",
    "the tile rebuilt from its corner by two mirrors, and repeated across the window",
}};

inline const kit::Program program{.name = "figure3",
                                  .slide_count = static_cast<int>(captions.size()),
                                  .captions = captions,
                                  .seeds_from_clock = false,
                                  .orbit_rows = orbit_rows,
                                  .script = script};

} // namespace figure3
