// Phase portraits of the kicked map p' = p + K sin(theta), theta' = theta + p' (both mod 2 pi).
#pragma once

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

// The number of orbits a row sweeps (6284 for a step of 0.001, 1257 for 0.005).
int orbit_count(const OrbitRow& row);

} // namespace kit
