// Phase portraits of the kicked map p' = p + K sin(theta), theta' = theta + p' (both mod 2 pi).
#pragma once

#include <SDL.h>

#include <span>

namespace kit {

inline constexpr double two_pi = 6.283185307179586;

// One run of the plotter. Points land at (trunc(theta * x_scale + x_offset),
// trunc(y_base - p * y_scale)) in palette[trunc(s * colour_scale + colour_offset)].
struct OrbitRow {
    float kick = 1;       // a single-precision constant; 1 adds sin(theta) unscaled (exactly)
    double seed_step = 0; // the starting momentum s steps by this, rounded to single each time
    int orbit_length = 0; // points plotted per orbit (the start point is not plotted)
    double x_scale = 0, x_offset = 0;
    double y_base = 0, y_scale = 0;
    double colour_scale = 0, colour_offset = 0;
};

// Sweeps s from 0 while s < 2 pi; each orbit starts at p = s, theta = 0.
void plot_orbits(const OrbitRow& row);

// The same sweep drawn into `target`, any 32-bit surface, instead of the screen; points that fall
// off it are dropped.
void plot_orbits(const OrbitRow& row, SDL_Surface* target);

// An orbit started anywhere on the torus (0 <= p, theta < 2 pi), drawn in a colour of its own.
struct OrbitStart {
    float p = 0, theta = 0;
    Uint32 colour = 0;
};

// Orbits from the given starts, one after the other, into `target`: the row gives the kick, the
// orbit length and where points land (its seed step and colour scales are not used).
void plot_orbits_from(const OrbitRow& row, std::span<const OrbitStart> starts, SDL_Surface* target);

// The number of orbits a row sweeps (6284 for a step of 0.001, 1257 for 0.005).
int orbit_count(const OrbitRow& row);

} // namespace kit
