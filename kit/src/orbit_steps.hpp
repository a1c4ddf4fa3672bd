// The pieces of one kicked-map step, shared by the orbit plotter's paths.
#pragma once

#include "kit/orbits.hpp"
#include "kit/truncate.hpp"

#include <cmath>
#include <cstdint>

namespace kit::orbit_steps {

// Orbits advanced side by side: eight hide the latency of std::sin; the vector path keeps
// sixteen in flight (four vectors of four) so that the vector units always have independent work.
// The points of a group wait in a buffer until every earlier orbit of the group has been plotted:
// orbit l's point i at buffer[l * row_length(length) + i], so the pixel loop reads them in order.
// The rows are padded to whole blocks of four steps, which the vector path writes at once; the
// buffer holds lanes x row_length points, and longer orbits take the plain path.
inline constexpr int interleaved_lanes = 8;
inline constexpr int vector_lanes = 16;
inline constexpr int buffer_points = 32768;
inline constexpr std::uint32_t off_screen = 0xffffffff;

inline int row_length(int length) {
    return (length + 3) & ~3;
}

// Where the points of a row land: the scales of the row and the screen's shape, with positions
// given as pixel indices y * stride + x.
struct Frame {
    double kick;
    double x_scale, x_offset;
    double y_base, y_scale;
    int width, height, stride;
};

inline float kick(float p, float theta, double kick) {
    return static_cast<float>(p + kick * std::sin(static_cast<double>(theta)));
}

// The wrap loops, each as its own step: first down while v >= 2 pi, then up while v < 0, each
// new value rounded to single precision (T = double keeps the drift's unrounded sum when no wrap
// is needed). A loop stops when a step no longer changes the value: with an absurd kick the
// momentum can grow so large that 2 pi is below its precision, and the loop would never end.
template <typename T> T wrap_down(T v) {
    while (v >= two_pi) {
        const T next = static_cast<float>(v - two_pi);
        if (next == v) break;
        v = next;
    }
    return v;
}

template <typename T> T wrap_up(T v) {
    while (v < 0) {
        const T next = static_cast<float>(v + two_pi);
        if (next == v) break;
        v = next;
    }
    return v;
}

inline float wrap_momentum(float p) {
    return wrap_up(wrap_down(p));
}

inline double wrap_angle(double t) {
    return wrap_up(wrap_down(t));
}

inline std::uint32_t place(double t, float p, const Frame& frame) {
    const int x = trunc_to_int(t * frame.x_scale + frame.x_offset);
    const int y = trunc_to_int(frame.y_base - p * frame.y_scale);
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(frame.width) ||
        static_cast<unsigned>(y) >= static_cast<unsigned>(frame.height))
        return off_screen;
    return static_cast<std::uint32_t>(y * frame.stride + x);
}

// A kernel computes one group of orbits: orbit l (l < L, the path's lane count) starts at
// p = seeds[l], theta = angles[l], and buffer[l * row_length(length) + i] receives its point i.
// Lanes past the end of the group repeat a real start and are simply not plotted.
using Kernel = void (*)(const float* seeds, const float* angles, int length, const Frame& frame,
                        std::uint32_t* buffer);

void interleaved_orbits(const float* seeds, const float* angles, int length, const Frame& frame,
                        std::uint32_t* buffer);

// The vector path's kernel for a row (with the vectorised sine; only for |kick| <= 1 and when
// vector_sine_available()). The groups call it through a pointer: a WebAssembly engine optimises
// a function only from its next call on, and this keeps the kernel a function of its own, called
// for each group, however much the optimiser would inline.
Kernel vector_kernel(const Frame& frame);

// Map steps the vector path recomputed with std::sin (kit::sine_fallbacks reports it).
inline std::uint64_t fallback_count = 0;

} // namespace kit::orbit_steps
