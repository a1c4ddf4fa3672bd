// The orbit plotter's kernels (the interleaved one and the vector one) and the pieces of one
// kicked-map step they share with the plain path.
#pragma once

#include "kit/orbits.hpp"
#include "kit/truncate.hpp"
#include "map_sine.hpp"
#include "orbit_paths.hpp"

#include <atomic>
#include <cstdint>

namespace kit::orbit_kernels {

// The grouped paths advance a group of orbits side by side: eight hide the latency of the sine;
// the vector path keeps sixteen in flight (four vectors of four) so that the vector units always
// have independent work. The points of a group wait in a buffer until every earlier orbit of the
// group has been plotted: orbit l's point i at buffer[l * row_length(length) + i], so the pixel
// loop reads them in order. The rows are padded to whole blocks of four steps, which the vector
// path writes at once. The buffer holds group x row_length points: on the stack up to
// buffer_points, allocated once a call (and thread) for longer orbits, up to longest_grouped
// points an orbit; longer orbits take the plain path.
inline constexpr int interleaved_group = 8;
inline constexpr int vector_group = 16;
inline constexpr int buffer_points = 32768;
inline constexpr int longest_grouped = 1 << 16;
inline constexpr std::uint32_t off_screen = 0xffffffff;

inline int row_length(int length) {
    return (length + 3) & ~3;
}

// A row as the kernels take it: the kick, the vector path's margin for it (kick_margin), and
// where the points land: the row's scales and offsets and the picture's shape, with positions
// given as pixel indices y * stride + x, and whether points less than a pixel off its left or top
// edge are dropped (OrbitRow::strict_edges) rather than truncated into column or row 0.
struct KernelRow {
    double kick, margin;
    double x_scale, x_offset;
    double y_base, y_scale;
    int width, height, stride;
    bool strict;
    // Where the vector kernel also leaves each orbit's exponent (lyapunov_exponent's bits, the
    // tangent vector carried along the same steps), one a lane of the group; null: not asked.
    double* exponents = nullptr;
};

// The momentum after the kick, before it wraps.
inline float kicked(float p, float theta, double kick) {
    return static_cast<float>(p + kick * map_sine(theta));
}

// The quick sine of the grouped paths, proven within kit::vector_sine_error of sin x for
// |x| <= kit::vector_sine_domain (orbits_simd.cpp, 1 to 3 of its proof): x = k pi + r, then
// r S(r^2) with S of degree 6, the economised series of 2 there.
inline constexpr double sine_coefficients[] = {
    0x1.ffffffffff2c5p-1,  -0x1.5555555523401p-3,  0x1.111111035a249p-7, -0x1.a019faffd0d19p-13,
    0x1.71dc955705a05p-19, -0x1.adf445d2b5c71p-26, 0x1.51e5edd56e768p-33};
inline constexpr double inverse_pi = 0x1.45f306dc9c883p-2;
inline constexpr double round_shift = 0x1.8p52;
inline constexpr double pi_high = 0x1.921fb54442d18p+1;
inline constexpr double pi_low = 0x1.1a62633145c07p-53;

// The quick sine one value at a time, as the vector kernel computes it lane by lane, with each
// multiply and add rounded on its own (the unfused form the proof covers). |k| <= 2 here.
inline double quick_sine(double x) {
    const double k = (x * inverse_pi + round_shift) - round_shift;
    double r = (x - k * pi_high) - k * pi_low;
    if (k == 1 || k == -1) r = -r;
    const double z = r * r, z2 = z * z;
    const double p0 = sine_coefficients[1] * z + sine_coefficients[0];
    const double p1 = sine_coefficients[3] * z + sine_coefficients[2];
    const double p2 = sine_coefficients[5] * z + sine_coefficients[4];
    const double q = ((sine_coefficients[6] * z2 + p2) * z2 + p1) * z2 + p0;
    return r * q;
}

// kicked(p, theta, kick) for the states orbits visit (0 <= p, theta <= 6.2831855f) and
// |kick| <= kit::vector_kick_limit: from the quick sine when the sum's margin decides its
// rounding, else from map_sine (4 and 5 of the proof in orbits_simd.cpp: the sum rounds to the
// same single as the textbook loop's whenever the sum minus the margin and the sum plus it do; the
// two are never both zero, so equal values are equal bits).
inline float kicked_quickly(float p, float theta, double kick, double margin) {
    const double sum = p + kick * quick_sine(theta);
    const float below = static_cast<float>(sum - margin);
    if (below == static_cast<float>(sum + margin)) return below;
    return kicked(p, theta, kick);
}

// The quick cosine, lane by lane, for the tangent vectors of the orbits' exponents
// (kit/src/lyapunov.hpp), and its check
// ---------------------------------------------------------------------------------------------
// cos x = sin(x + pi/2) = (-1)^k sin rho with rho = x - (k - 1/2) pi, k the integer nearest
// x / pi + 1/2: the sine's polynomial of orbits_simd.cpp (2 and 3 of its proof) on a reduction
// shifted by half a turn. For x a single with |x| <= vector_sine_domain (7), u = 2^-53:
// 1. t = x c + 1/2 with c = double(1/pi), rounded once (fused) or twice: |x c| < 2.23, so
//    |t - (x/pi + 1/2)| <= 2^-52 + 7 * 2^-55 + 2^-52 < 2^-50.5. t + 1.5 * 2^52 lies in
//    [2^52, 2^53), where doubles are the integers: minus 1.5 * 2^52 it is k, exactly, nearest to
//    t, with |x/pi + 1/2 - k| <= 1/2 + 2^-50.5 and -2 <= k <= 3; its lowest bit is the parity.
//    So |rho| <= pi/2 + 2^-48.8, and j = 2k - 1 is odd with |j| <= 5.
// 2. With pi/2 = H1 + H2 + H3 (H1 a multiple of 2^-49, H2 of 50 significant bits, |H3| < 2^-105):
//    j H1 is exact (52 bits), x - j H1 rounds at most once (it is below 2 in magnitude, so by
//    2^-53 at most; it is exact when |x| >= 2^-29), j H2 rounds by 2^-104 at most and the
//    subtraction r = (x - j H1) - j H2 once more by 2^-53: |r - rho| < 2^-53 + 2^-53 + 2^-104 +
//    5 |H3| < 1.0001 * 2^-52, and |r| < pi/2 + 2^-48 < a = 1.5708, the polynomial's interval. A
//    fused multiply-add only leaves out roundings.
// 3. r takes the sign (-1)^k (exactly), and the sine's polynomial and evaluation give r S(r^2)
//    within 3.962e-14 + 2.6e-16 + 4.1e-15 of sin r (its 2 and 3); |sin r - sin rho| <=
//    |r - rho| < 2.3e-16. Altogether |quick cosine - cos x| < 4.43e-14 < 2^-44.
// 4. The check: the tangent vector uses c = single(map_cosine(x)), map_cosine within 2^-54 of
//    cos x (|cos x| <= 1). With m = 2^-43, a = qc - m and b = qc + m round by 2^-53 at most
//    (both below 2 in magnitude): a <= cos x + 2^-44 - 2^-43 + 2^-53 < map_cosine(x) - 2^-54,
//    and likewise b > map_cosine(x). Rounding to single is monotonic: when a and b round to the
//    same single, so does map_cosine(x), and that single is c. The singles of [-7, 7] stay
//    1.19e-8 at least from the zeros of the cosine (the nearest is 4.712389f, by 3 pi/2), so a
//    and b are never zero and equal singles are equal bits. Otherwise (for angles spread evenly,
//    about one in 30,000: the doubtful band is 2^-42 wide around each rounding boundary of the
//    singles, which lie 2^-24 |cos x| apart) c comes from map_cosine itself.
inline constexpr double half_pi_high = 0x1.921fb54442d18p+0;
inline constexpr double half_pi_middle = 0x1.1a62633145c08p-54;
inline constexpr double cosine_margin = 0x1p-43;

inline double quick_cosine(double x) {
    const double shifted = (x * inverse_pi + 0.5) + round_shift;
    const double k = shifted - round_shift;
    const double j = 2 * k - 1;
    double r = (x - j * half_pi_high) - j * half_pi_middle;
    if (k == 1 || k == -1 || k == 3) r = -r;
    const double z = r * r, z2 = z * z;
    const double p0 = sine_coefficients[1] * z + sine_coefficients[0];
    const double p1 = sine_coefficients[3] * z + sine_coefficients[2];
    const double p2 = sine_coefficients[5] * z + sine_coefficients[4];
    const double q = ((sine_coefficients[6] * z2 + p2) * z2 + p1) * z2 + p0;
    return r * q;
}

// single(map_cosine(theta)), from the quick cosine when the margin decides the rounding (4
// above), else from map_cosine. Counts the fallbacks in `fallbacks`.
inline float single_cosine(float theta, std::uint64_t& fallbacks) {
    if (theta >= -vector_sine_domain && theta <= vector_sine_domain) {
        const double c = quick_cosine(theta);
        const float below = static_cast<float>(c - cosine_margin);
        if (below == static_cast<float>(c + cosine_margin)) return below;
    }
    ++fallbacks;
    return static_cast<float>(map_cosine(theta));
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

inline std::uint32_t place(double t, float p, const KernelRow& kernel_row) {
    const double column = t * kernel_row.x_scale + kernel_row.x_offset;
    const double line = kernel_row.y_base - p * kernel_row.y_scale;
    const int x = trunc_to_int(column), y = trunc_to_int(line);
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(kernel_row.width) ||
        static_cast<unsigned>(y) >= static_cast<unsigned>(kernel_row.height) ||
        (kernel_row.strict && !(column >= 0 && line >= 0)))
        return off_screen;
    return static_cast<std::uint32_t>(y * kernel_row.stride + x);
}

// A kernel computes one group of orbits: orbit l (l < G, the path's group size) starts at
// p = seeds[l], theta = angles[l], and buffer[l * row_length(length) + i] receives its point i.
// Orbits past the end of the group repeat a real start and are simply not plotted.
using Kernel = void (*)(const float* seeds, const float* angles, int length,
                        const KernelRow& kernel_row, std::uint32_t* buffer);

void interleaved_orbits(const float* seeds, const float* angles, int length,
                        const KernelRow& kernel_row, std::uint32_t* buffer);

// The vector path's kernel for a row (with the vectorised sine; only for
// |kick| <= vector_kick_limit and when vector_sine_available()). The groups call it through a
// pointer: a WebAssembly engine optimises a function only from its next call on, and this keeps the
// kernel a function of its own, called for each group, however much the optimiser would inline.
Kernel vector_kernel(const KernelRow& kernel_row);

// Map steps the vector path recomputed with map_sine (kit::sine_fallbacks reports it), counted
// from every plotting thread.
inline std::atomic<std::uint64_t> fallback_count = 0;

} // namespace kit::orbit_kernels
