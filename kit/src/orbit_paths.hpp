// The ways plot_orbits can compute its map steps, for the tests that prove them identical and
// the benchmark that times them. All of them write the same pixels in the same order (orbit by
// orbit, point by point); they differ only in speed.
#pragma once

#include "kit/orbits.hpp"

#include <cstddef>
#include <cstdint>

namespace kit {

enum class OrbitPath {
    automatic,   // the fastest path the processor and the row allow (what plot_orbits(row) takes)
    plain,       // one orbit at a time, the steps as written
    interleaved, // eight orbits side by side, the quick sine checked (map_sine where it cannot
                 // decide)
    vector,      // sixteen orbits side by side, a vectorised sine checked against rounding bounds
};

// "plain", "interleaved", "vector" or "automatic", for reports.
constexpr const char* path_name(OrbitPath path) {
    switch (path) {
    case OrbitPath::plain:
        return "plain";
    case OrbitPath::interleaved:
        return "interleaved";
    case OrbitPath::vector:
        return "vector";
    default:
        return "automatic";
    }
}

// Whether a call takes fewer threads than Plotting asks for where they would not pay (its
// orbits too few for their pictures), as it does for the programs, or every one it has runs of
// orbits for, so that the tests see each count at work.
enum class ThreadRule { when_they_pay, all_asked };

// plot_orbits(row) on the path asked for. A path the processor or the row cannot use falls back
// to the next simpler one (vector, then interleaved, then plain).
void plot_orbits(const OrbitRow& row, OrbitPath path);
void plot_orbits(const OrbitRow& row, OrbitPath path, Plotting plotting, ThreadRule rule);

// plot_seed_line, plot_starts, count_seed_line and count_starts on the path asked for, as above.
void plot_seed_line(const OrbitRow& row, const Image& target, const ColourRule& colour,
                    OrbitPath path, Plotting plotting = {},
                    ThreadRule rule = ThreadRule::when_they_pay);
void plot_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& target,
                 const ColourRule& colour, OrbitPath path, Plotting plotting = {},
                 ThreadRule rule = ThreadRule::when_they_pay);
void count_seed_line(const OrbitRow& row, const Image& counts, Plotting plotting, ThreadRule rule);
void count_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& counts,
                  Plotting plotting, ThreadRule rule);

// The threads a call of this many orbits into `target` takes.
int threads_for(Plotting plotting, std::size_t orbits, int length, const Image& target,
                ThreadRule rule = ThreadRule::when_they_pay);

// The path plot_orbits(row, path) takes.
OrbitPath orbit_path_for(const OrbitRow& row, OrbitPath path = OrbitPath::automatic);

// Whether the vector path runs here: on a processor with AVX2 and FMA, and in a WebAssembly
// build with SIMD.
bool vector_sine_available();

// Map steps the vector path recomputed with map_sine because its vectorised sum lay too close to
// a single-precision rounding boundary for the sine's error bound (counted since the program
// started; steps from theta = 0, whose sine is exactly zero, are not counted).
std::uint64_t sine_fallbacks();

// Map steps computed by plot_orbits so far (orbits times orbit_length, summed over calls); a
// benchmark tells the slides that plot from those that do not.
std::uint64_t orbit_steps_done();

// The proven bound on |vector_sines(x) - sin(x)| for |x| <= vector_sine_domain.
inline constexpr double vector_sine_error = 0x1p-44;
inline constexpr double vector_sine_domain = 7;

// The vector path takes rows whose kick lies within this (a scene's range).
inline constexpr double vector_kick_limit = 10;

// The vectorised double sum p + kick * sin(theta) is trusted only if the sum minus this margin and
// the sum plus it round to the same single; other steps are recomputed with map_sine. The sine's
// error is multiplied by the kick: up to |kick| = 1 a margin of 2^-43 covers it, up to
// vector_kick_limit one of 2^-40 (orbits_simd.cpp proves both).
constexpr double kick_margin(double kick) {
    return kick >= -1 && kick <= 1 ? 0x1p-43 : 0x1p-40;
}

// The vector path's pieces on their own (they require vector_sine_available()).
// vector_sines: out[i] = the vectorised sine of x[i], |x[i]| <= vector_sine_domain.
// vector_steps: one step of the map for each i, as the vector path takes it, recomputations
// included (and counted): the new momentum and angle as singles, and the value the column is
// formed from (the drift's sum, or its wrapped single). For the states orbits visit: p[i] and
// theta[i] within [0, 6.2831855f] (the single just above 2 pi), |kick| <= vector_kick_limit.
void vector_sines(const double* x, double* out, int n);
struct StepResult {
    float p, theta;
    double column_angle;
};
void vector_steps(float kick, const float* p, const float* theta, StepResult* out, int n);

} // namespace kit
