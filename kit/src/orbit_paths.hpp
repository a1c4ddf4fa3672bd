// The ways plot_orbits can compute its map steps, for the tests that prove them identical and
// the benchmark that times them. All of them write the same pixels in the same order (orbit by
// orbit, point by point); they differ only in speed.
#pragma once

#include "kit/orbits.hpp"

#include <cstdint>

namespace kit {

enum class OrbitPath {
    automatic,   // the fastest path the processor and the row allow (what plot_orbits(row) takes)
    plain,       // one orbit at a time, the steps exactly as written
    interleaved, // eight orbits side by side, each step with std::sin
    vector,      // sixteen orbits side by side, a vectorised sine checked against rounding bounds
};

// plot_orbits(row) on the path asked for. A path the processor or the row cannot use falls back
// to the next simpler one (vector, then interleaved, then plain).
void plot_orbits(const OrbitRow& row, OrbitPath path);

// The path plot_orbits(row, path) takes.
OrbitPath orbit_path_for(const OrbitRow& row, OrbitPath path = OrbitPath::automatic);

// Whether this processor runs the vectorised sine (AVX2 with FMA).
bool vector_sine_available();

// Kick steps the vector path recomputed with std::sin because the vectorised sum lay too close
// to a single-precision rounding boundary (counted since the program started).
std::uint64_t sine_fallbacks();

// Map steps computed by plot_orbits so far (orbits times orbit_length, summed over calls); a
// benchmark tells the slides that plot from those that do not.
std::uint64_t orbit_steps_done();

// The proven bound on |vector_sines(x) - sin(x)| for |x| <= vector_sine_domain.
inline constexpr double vector_sine_error = 0x1p-51;
inline constexpr double vector_sine_domain = 7;

// How far the vectorised double sum p + kick * sin(theta) must lie from a rounding boundary of
// single precision for its rounding to be trusted; nearer sums are recomputed with std::sin.
inline constexpr double kick_margin = 0x1p-46;

// The vector path's pieces on their own (they require vector_sine_available()).
// vector_sines: out[i] = the vectorised sine of x[i], |x[i]| <= vector_sine_domain.
// vector_kicks: out[i] = single(p[i] + kick * sin(theta[i])) as the vector path forms it,
// fallbacks included (and counted); |kick| <= 1.
void vector_sines(const double* x, double* out, int n);
void vector_kicks(float kick, const float* p, const float* theta, float* out, int n);

} // namespace kit
