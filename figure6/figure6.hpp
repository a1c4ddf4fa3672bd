#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure6 {

// The orbit plot of slide 2.
inline constexpr kit::OrbitRow kick_0_4{.kick = 0.4f,
                                        .seed_step = 0.001,
                                        .orbit_length = 1000,
                                        .x_scale = 10,
                                        .x_offset = 20,
                                        .y_base = 184,
                                        .y_scale = 28,
                                        .colour_scale = 5,
                                        .colour_offset = 7};

inline constexpr std::array orbit_rows{kick_0_4};

// One tile, one orbit plot, and three remaps that rebuild the strip from the tile's left quarter.
void script();

// Its remaps, for the fixed tile at left 20, base 138: the quarter mirrored about u = 0.25 into
// the second quarter, then the left half turned about the tile's centre into the right half.
void mirror_quarter();
void reflect_half();

// What each slide shows, in slide order: the window title, the page and --help show it, and
// an exported slide carries it.
inline constexpr std::array<const char*, 6> captions{{
    "the empty tile box",
    "the orbits of the kicked map with K = 0.4, spilling above and below the box",
    "the left quarter of the tile kept",
    "the second quarter rebuilt as the mirror image of the first",
    "the right half rebuilt as the left half turned half a circle about the tile's centre",
    "the tile repeated across the window",
}};

inline const kit::Program program{.name = "figure6",
                                  .slide_count = static_cast<int>(captions.size()),
                                  .captions = captions,
                                  .seeds_from_clock = false,
                                  .orbit_rows = orbit_rows,
                                  .script = script};

} // namespace figure6
