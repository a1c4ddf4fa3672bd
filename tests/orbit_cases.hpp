// What proves the orbit plotter's fast paths identical to the textbook loop: the rows to draw
// whole, the single map steps to compare bit for bit, and the angles to measure the vectorised
// sine on. The GoogleTest suite runs them on the desktop (test_orbit_identity.cpp), the
// WebAssembly build under Node.js (orbit_identity_node.cpp).
#pragma once

#include "baseline_orbits.hpp"
#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"
#include "map_sine.hpp"
#include "orbit_paths.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "figure_programs.hpp"

namespace test::orbit_cases {

struct NamedRow {
    std::string name;
    kit::OrbitRow row;
};

constexpr kit::OrbitRow row(float kick, double step, int length, double xs, double xo, double yb,
                            double ys, double cs, double co) {
    return {.kick = kick,
            .seed_step = step,
            .orbit_length = length,
            .x_scale = xs,
            .x_offset = xo,
            .y_base = yb,
            .y_scale = ys,
            .colour_scale = cs,
            .colour_offset = co};
}

// Every orbit row of the programs.
inline std::vector<NamedRow> program_rows() {
    std::vector<NamedRow> rows;
    for (const kit::Program* program : figure_programs)
        for (size_t i = 0; i < program->orbit_rows.size(); ++i)
            rows.push_back({std::string(program->name) + "_O" + std::to_string(i + 1),
                            program->orbit_rows[i]});
    return rows;
}

// Rows that stress what the programs' rows hardly show: a different colour for every orbit (so
// any change of the order in which orbits are plotted shows), points far off the screen on every
// side, an infinite scale (rows at infinity or NaN, never on the screen), a negative kick, a kick
// above 1, orbits shorter than four steps or of a length that is no multiple of four, orbits
// too long for the grouped paths' buffer on the stack (up to a scene's longest), and kicks across
// a scene's range (momenta that wrap twice).
inline std::vector<NamedRow> stress_rows() {
    return {
        {"colour_per_orbit", row(0.9f, 0.005, 1000, 40, 20, 238, 35, 997, 0)},
        {"off_screen", row(1, 0.005, 1000, 200, -300, 500, 150, 41, 3)},
        {"infinite_scale", row(0.9f, 0.005, 1000, 40, 20, 238, INFINITY, 997, 0)},
        {"negative_kick", row(-0.6f, 0.005, 1001, 60, 20, 300, 45, 997, 0)},
        {"short_orbits", row(0.9f, 0.001, 3, 40, 20, 238, 35, 997, 0)},
        {"kick_above_one", row(1.5f, 0.005, 1000, 40, 20, 300, 30, 997, 0)},
        {"long_orbits", row(0.7f, 0.05, 3003, 40, 20, 300, 30, 97, 0)},
        {"longer_orbits", row(0.7f, 0.1, 5000, 40, 20, 300, 30, 97, 0)},
        {"orbits_of_5000", row(0.9f, 0.02, 5000, 40, 20, 238, 35, 997, 0)},
        {"orbits_of_10000", row(1.3f, 0.03, 10000, 40, 20, 300, 30, 997, 0)},
        {"scene_kick_10", row(10, 0.005, 1000, 40, 20, 300, 30, 997, 0)},
        {"scene_kick_minus_10", row(-10, 0.005, 1000, 40, 20, 300, 30, 997, 0)},
        {"scene_kick_7_3", row(7.3f, 0.005, 1000, 40, 20, 300, 30, 997, 0)},
        {"scene_kick_minus_0_05", row(-0.05f, 0.005, 1000, 40, 20, 300, 30, 997, 0)},
    };
}

// Every palette entry is a different colour, none of them white.
inline void numbered_palette() {
    for (int i = 0; i < 256; ++i) kit::palette[i] = static_cast<Uint32>(0x01000000 + i);
}

// The screen's pixels row by row, after drawing on white with a path of the plotter or with the
// textbook loop.
inline std::vector<Uint32> pixels() {
    std::vector<Uint32> all;
    for (int y = 0; y < kit::screen->h; ++y)
        for (int x = 0; x < kit::screen->w; ++x) all.push_back(kit::get_pixel(x, y));
    return all;
}

// On one thread, or on as many as asked for (each of them at work, whether or not it pays).
inline std::vector<Uint32> draw(const kit::OrbitRow& row, kit::OrbitPath path, int threads = 1) {
    kit::clear_screen(kit::white);
    kit::plot_orbits(row, path, {.threads = threads}, kit::ThreadRule::all_asked);
    return pixels();
}

inline std::vector<Uint32> draw_baseline(const kit::OrbitRow& row) {
    kit::clear_screen(kit::white);
    baseline_plot(row);
    return pixels();
}

// Empty when the pictures are the same; else how many pixels differ and where the first is.
inline std::string difference(const std::vector<Uint32>& expected,
                              const std::vector<Uint32>& actual) {
    long wrong = 0;
    size_t first = 0;
    for (size_t i = 0; i < expected.size() && i < actual.size(); ++i)
        if (expected[i] != actual[i] && wrong++ == 0) first = i;
    if (wrong == 0 && expected.size() == actual.size()) return "";
    const int w = kit::screen->w;
    return std::to_string(wrong) + " pixels differ, the first at (" +
           std::to_string(static_cast<int>(first) % w) + ", " +
           std::to_string(static_cast<int>(first) / w) + ")";
}

// Single map steps for one kick, from states (p, theta) that orbits visit.
struct StepSet {
    float kick;
    std::vector<float> p, theta;
};

// The programs' kicks and some of a scene's, up to its limits.
inline constexpr float step_kicks[] = {0.4f, 0.5f, 0.7f, 0.8f, 0.9f, 1.0f, -0.05f, 7.3f, 10, -10};

// The single just above 2 pi, the largest momentum or angle a step can leave.
inline constexpr float top = 6.2831855f;

// Anywhere in 0 <= p, theta <= top.
inline std::vector<StepSet> random_steps(std::mt19937& random, int per_kick) {
    std::uniform_real_distribution<float> phase(0.0f, top);
    std::vector<StepSet> all;
    for (float kick : step_kicks) {
        StepSet steps{kick, {}, {}};
        for (int i = 0; i < per_kick; ++i) {
            steps.p.push_back(phase(random));
            steps.theta.push_back(phase(random));
        }
        all.push_back(steps);
    }
    return all;
}

// Small momenta and angles near 0 and pi: the sums come close to zero, where the float grid is
// finest and a sum that rounds to zero must be recomputed.
inline std::vector<StepSet> steps_near_zero(std::mt19937& random, int per_kick) {
    std::uniform_real_distribution<float> small(0.0f, 1e-3f);
    std::uniform_int_distribution<int> exponent(-140, -1);
    std::vector<StepSet> all;
    for (float kick : step_kicks) {
        StepSet steps{kick, {}, {}};
        for (int i = 0; i < per_kick; ++i) {
            steps.p.push_back(std::ldexp(1.0f, exponent(random)) * (i % 3 == 0 ? 0 : 1));
            const float near = i % 2 ? 3.14159274f : 0.0f;
            steps.theta.push_back(near + small(random) * (i % 5 == 0 ? 1e-30f : 1.0f));
        }
        all.push_back(steps);
    }
    return all;
}

// Every pair of the states where the wraps turn: 0, the smallest singles, quarter turns, the
// singles either side of 2 pi. From p = 6.2831850f an angle of 2.7e-7 and a kick of 1 give a sum
// just below 2 pi that rounds to top, which wraps; a negative kick reaches p' = theta = top,
// the one state whose drift wraps twice.
inline std::vector<StepSet> steps_at_the_edges() {
    const float edges[] = {0.0f,   1e-45f,     1e-30f,     1e-7f,      2.7e-7f,
                           0.001f, 1.5707963f, 3.1415925f, 3.1415927f, 4.7123890f,
                           6.0f,   6.2831850f, top};
    std::vector<StepSet> all;
    for (float kick : {0.4f, 0.9f, 1.0f, -0.3f, -1.0f, 10.0f, -10.0f}) {
        StepSet steps{kick, {}, {}};
        for (float p : edges)
            for (float theta : edges) {
                steps.p.push_back(p);
                steps.theta.push_back(theta);
            }
        all.push_back(steps);
    }
    return all;
}

// Distance of the double sum to the nearer midpoint between its float and a neighbour.
inline double distance_to_boundary(double sum) {
    const float f = static_cast<float>(sum);
    const double up = std::nextafter(f, 1e30f), down = std::nextafter(f, -1e30f);
    return std::min(std::fabs(sum - (f + up) / 2), std::fabs(sum - (f + down) / 2));
}

// StepSet from p = 0 whose sums lie within half the margin of a rounding boundary, found by
// scanning consecutive angles: the vector path must recompute every one of them.
inline std::vector<StepSet> steps_near_a_boundary() {
    std::vector<StepSet> all;
    for (float kick : {1.0f, 0.9f, 7.3f}) {
        StepSet steps{kick, {}, {}};
        float angle = 0.001f;
        for (int i = 0; i < (1 << 20); ++i, angle = std::nextafter(angle, 1.0f)) {
            const double sum = kick * kit::map_sine(angle);
            if (distance_to_boundary(sum) <= kit::kick_margin(kick) / 2) {
                steps.p.push_back(0);
                steps.theta.push_back(angle);
            }
        }
        all.push_back(steps);
    }
    return all;
}

// The bits of a value (std::bit_cast is missing from the WebAssembly build's library).
template <typename T> std::uint64_t bits_of(T value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    return bits;
}

// The steps (indices) where the vector path's step differs from the textbook loop's in any bit
// of the new momentum, the new angle or the value the column is formed from.
inline std::vector<size_t> mismatches(const StepSet& steps) {
    std::vector<kit::StepResult> out(steps.p.size());
    kit::vector_steps(steps.kick, steps.p.data(), steps.theta.data(), out.data(),
                      static_cast<int>(out.size()));
    std::vector<size_t> wrong;
    for (size_t i = 0; i < out.size(); ++i) {
        const BaselineStep expected = baseline_step(steps.kick, steps.p[i], steps.theta[i]);
        if (bits_of(out[i].p) != bits_of(expected.p) ||
            bits_of(out[i].theta) != bits_of(expected.theta) ||
            bits_of(out[i].column_angle) != bits_of(expected.t))
            wrong.push_back(i);
    }
    return wrong;
}

inline std::string describe(const StepSet& steps, size_t i) {
    char text[120];
    std::snprintf(text, sizeof text, "kick %.9g p %.9g theta %.9g", steps.kick, steps.p[i],
                  steps.theta[i]);
    return text;
}

// Angles for the sine: anywhere in its domain, around every multiple of pi/4 (where the reduction
// may pick either neighbouring multiple of pi), the ends of the domain and tiny angles.
inline std::vector<double> sine_angles(std::mt19937& random, int count) {
    std::uniform_real_distribution<double> anywhere(-kit::vector_sine_domain,
                                                    kit::vector_sine_domain);
    std::vector<double> x;
    for (int i = 0; i < count; ++i) x.push_back(anywhere(random));
    for (int k = -8; k <= 8; ++k)
        for (int d = -50; d <= 50; ++d)
            x.push_back(std::nextafter(k * 0.78539816339744830962, d < 0 ? -8.0 : 8.0) + d * 1e-16);
    for (double v : {0.0, -0.0, 1e-300, 1e-30, 1e-8, kit::vector_sine_domain,
                     -kit::vector_sine_domain, kit::two_pi, double{top}})
        x.push_back(v);
    return x;
}

struct SineError {
    long double error;
    double at;
};

// The largest |vector_sines(x) - sin(x)|, with sin taken in long double.
inline SineError worst_sine_error(const std::vector<double>& x) {
    std::vector<double> out(x.size());
    kit::vector_sines(x.data(), out.data(), static_cast<int>(x.size()));
    SineError worst{0, 0};
    for (size_t i = 0; i < x.size(); ++i) {
        const long double error =
            std::fabs(static_cast<long double>(out[i]) - std::sin(static_cast<long double>(x[i])));
        if (error > worst.error) worst = {error, x[i]};
    }
    return worst;
}

} // namespace test::orbit_cases
