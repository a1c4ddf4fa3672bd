#pragma once

#include "kit/orbits.hpp"
#include "kit/program.hpp"

#include <array>

namespace figure4 {

// The orbit plots of slides 2 and 7: kick 1, 1257 orbits of 1000 points each, coloured
// palette[trunc(10 s)]. The first stretches the map to 55 pixels a radian, so the tile shows
// only part of it; the second compresses one period of theta into the 220-pixel tile.
inline constexpr kit::OrbitRow stretched{.kick = 1,
                                         .seed_step = 0.005,
                                         .orbit_length = 1000,
                                         .x_scale = 55,
                                         .x_offset = 20,
                                         .y_base = 374,
                                         .y_scale = 45,
                                         .colour_scale = 10,
                                         .colour_offset = 0};

inline constexpr kit::OrbitRow compressed{.kick = 1,
                                          .seed_step = 0.005,
                                          .orbit_length = 1000,
                                          .x_scale = 35,
                                          .x_offset = 20,
                                          .y_base = 474,
                                          .y_scale = 45,
                                          .colour_scale = 10,
                                          .colour_offset = 0};

inline constexpr std::array orbit_rows{stretched, compressed};

// Two halves over tiles 220 wide at bottom rows 268 and 368: box, orbits, two-colour background,
// mask, replication.
void script();

// What each slide shows, in slide order: the window title, the page and --help show it, and
// an exported slide carries it.
inline constexpr std::array<const char*, 9> captions{{
    "the empty box of a wide tile",
    "the orbits of the kicked map with K = 1, stretched wider than the tile",
    "the empty background filled, red in the left half and blue in the right",
    "everything outside the tile cleared",
    "the tile repeated across the window",
    "a clean screen and the empty box of the second tile",
    "the orbits of the kicked map with K = 1, squeezed so that one turn fills the tile's width",
    "the empty background filled red and blue, and everything outside the tile cleared",
    "the tile repeated across the window",
}};

inline const kit::Program program{.name = "figure4",
                                  .slide_count = static_cast<int>(captions.size()),
                                  .captions = captions,
                                  .seeds_from_clock = true,
                                  .orbit_rows = orbit_rows,
                                  .script = script};

} // namespace figure4
