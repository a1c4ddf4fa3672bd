#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure2 {

// The portraits of the three stages, named for their kicks: O1 over the tile on row 138
// (slide 2), O2 over row 268 (slide 8) and O3 over row 368 (slide 13).
inline constexpr kit::OrbitRow kick_0_4{.kick = 0.4f,
                                        .seed_step = 0.001,
                                        .orbit_length = 1000,
                                        .x_scale = 10,
                                        .x_offset = 20,
                                        .y_base = 184,
                                        .y_scale = 28,
                                        .colour_scale = 5,
                                        .colour_offset = 7};

inline constexpr kit::OrbitRow kick_0_8{.kick = 0.8f,
                                        .seed_step = 0.005,
                                        .orbit_length = 1000,
                                        .x_scale = 35,
                                        .x_offset = 20,
                                        .y_base = 300,
                                        .y_scale = 23,
                                        .colour_scale = 10,
                                        .colour_offset = 0};

inline constexpr kit::OrbitRow kick_0_7{.kick = 0.7f,
                                        .seed_step = 0.005,
                                        .orbit_length = 1000,
                                        .x_scale = 10,
                                        .x_offset = 20,
                                        .y_base = 407,
                                        .y_scale = 25,
                                        .colour_scale = 10,
                                        .colour_offset = 0};

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

// What each slide shows, in slide order: the window title, the page and --help show it, and
// an exported slide carries it.
inline constexpr std::array<const char*, 15> captions{{
    "the empty tile box",
    "the orbits of the kicked map with K = 0.4, spread over the first quarter of the tile",
    "the first quarter of the tile kept",
    "the second quarter rebuilt as the mirror image of the first",
    "the right half rebuilt as the left half turned half a circle about the tile's centre",
    "the tile repeated across the window",
    "a clean screen and the empty box of the second tile",
    "the orbits of the kicked map with K = 0.8",
    "the empty background of the first quarter filled, red on its left and blue on its right",
    "the first quarter of the tile kept",
    "the tile rebuilt from its first quarter by a mirror and a half turn, and repeated across the "
    "window",
    "a clean screen and the empty box of the third tile",
    "the orbits of the kicked map with K = 0.7, spread over the first quarter of the tile",
    "the empty background filled and the first quarter kept: the orbits on red",
    "the tile rebuilt from its first quarter by a mirror and a half turn, and repeated across the "
    "window",
}};

inline const kit::Program program{.name = "figure2",
                                  .slide_count = static_cast<int>(captions.size()),
                                  .captions = captions,
                                  .seeds_from_clock = false,
                                  .orbit_rows = orbit_rows,
                                  .script = script};

} // namespace figure2
