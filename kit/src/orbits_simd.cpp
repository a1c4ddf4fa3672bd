// The vector path of the orbit plotter: sixteen orbits in four vectors of four lanes, advanced
// stage by stage across the vectors. One source for both instruction sets it runs on
// (orbit_lanes.hpp): AVX2 with FMA on x86-64, chosen at run time, and WebAssembly SIMD in the
// browser build, where a multiply-add rounds twice.
//
// Why the pictures are the same as the textbook loop's
// ----------------------------------------------------
// A step computes p' = single(p + K sin theta), wraps p' (twice at most), then t = theta + p' (in
// double), wraps t once, and places the point from t and p'. Only the sine differs from the
// textbook loop; every other operation is the same double operation on the same values, as 6 to 8
// show. Below, F+ = 6.2831855f is the single just above 2 pi and F- = 0x1.921fb4p+2 the one
// below; u = 2^-53. A double v with |v| < 2^e rounds by at most 2^(e-54). K is a single (exact as
// a double) with |K| <= 10 (kit::vector_kick_limit, the kicks of a scene). Invariants (by
// induction over the steps, for an orbit started with 0 <= p, theta < 2 pi): 0 <= p,
// theta <= F+ (a zero may be -0), so the sum p + K sin theta
// lies in [-10.000001, 16.283187], and in [-1.0000001, 7.3] when |K| <= 1.
//
// 1. Reduction, for |x| <= 7 (kit::vector_sine_domain). shifted = x * c + 1.5 * 2^52 with
//    c = double(1/pi) lies in [2^52, 2^53), where doubles are the integers: shifted - 1.5 * 2^52
//    is an integer k, exact, nearest to x * c or to its rounding (fused or not), so
//    |x/pi - k| <= 1/2 + 7 * 2^-55 + 2^-52 and |k| <= 2; the parity of k is the lowest bit of
//    shifted. With P1 = double(pi) and P2 = double(pi - P1): k * P1 is exact (|k| <= 2), and so
//    is x - k * P1 (for k != 0, |x| > 1 makes both multiples of 2^-52 and the difference is below
//    2). r = (x - k P1) - k P2 rounds once, by at most 2^-53; with |pi - P1 - P2| <= 2^-106 the
//    exact reduced angle rho = x - k pi satisfies |r - rho| < 1.0001 * 2^-53, and
//    |r| <= pi/2 + pi * 2^-51 + 2^-52 < a = 1.5708. sin x = (-1)^k sin rho, and the sign goes onto
//    r (exactly) before the polynomial.
// 2. Polynomial: sin r ~ r S(r^2), S of degree 6. Its coefficients are those of the Taylor
//    polynomial of degree 19, with the terms of degree 19, 17 and 15 removed one after the other
//    by Chebyshev economisation on |r| <= a (c_n r^n is replaced by the lower terms of
//    c_n a^n 2^(1-n) T_n(r/a), which differs from it by at most |c_n| a^n 2^(1-n)), each exact
//    rational coefficient then rounded to double. Truncation (a^21/21!) and the three
//    economisation steps leave at most 3.962e-14 on |r| <= a; rounding the coefficients adds at
//    most u * sum |c_k| a^k = u * 2.302 < 2.6e-16.
// 3. Evaluation: z = r r, z2 = z z, three multiply-adds in z, three in z2, one product with r. In
//    the unfused form each term c_k r^k passes through at most 16 roundings (z2 used three times
//    carries three each; three products and three sums; the last product), each a factor
//    (1 + e) with |e| <= u, so the result is within 16u/(1 - 16u) * sum |c_k| |r|^k < 4.1e-15 of
//    r S(r^2). A fused multiply-add only leaves out roundings, so the same bound holds for it.
//    Altogether |vector sine - sin x| < 3.962e-14 + 2.6e-16 + 4.1e-15 + 1.2e-16 < 4.5e-14 <
//    2^-44 (kit::vector_sine_error; the tests measure it on a million angles and the quadrant
//    edges).
// 4. The kick: the vector sum d = p + K S (one multiply-add, or a product and a sum) and the
//    textbook loop's d' = p + K s, s = kit::map_sine(theta), which is sin theta correctly
//    rounded, so within 2^-54 of it. The products are below 16 in magnitude and round by at most
//    2^-50 each, the sums are below 32 and round by at most 2^-49 each:
//        |d - d'| <= |K| (2^-44 + 2^-54) + 2 * 2^-50 + 2 * 2^-49 < 10 * 2^-44 + 2^-47 =: eps.
//    For |K| <= 1 the products are below 2 and the sums below 8:
//        |d - d'| <= 2^-44 + 2^-54 + 2 * 2^-53 + 2 * 2^-51 < 2^-44 + 2^-48 =: eps1.
// 5. The check: a = d - m and b = d + m with m = kit::kick_margin(K), 2^-43 for |K| <= 1 and
//    2^-40 above. Each rounds by at most 2^-51 (below 8), resp. 2^-49 (below 32), and
//    2^-43 - 2^-51 > eps1, 2^-40 - 2^-49 > eps, so a <= d - eps <= d' <= d + eps <= b. Rounding
//    to single is monotonic: if a and b round to the same single, bit for bit, so does d', and
//    that single is the textbook loop's p'. Otherwise the lane's whole step is recomputed as the
//    plain path computes it, with map_sine: on the programs' rows once in 250,000 to 630,000
//    steps (the benchmark counts). Every sum below 2^-20 in magnitude is recomputed, since
//    singles there lie at most 2^-44 apart, closer than m; that covers every signed zero as
//    well. The rest of this proof is about the lanes kept; a kept sum rounds like every value
//    within m of it.
// 6. Momentum wrap. The textbook loop subtracts 2 pi while p' >= 2 pi, then adds it while p' < 0.
//    p' = single(d) lies in [-10.000001, 16.283187]. Down: single(p' - 2 pi) is at most 10.000001
//    and positive, and a second subtraction (when that is still >= 2 pi) leaves at most 3.72;
//    the up loop then has nothing to do. Up: single(p' + 2 pi) is at least -3.72, and a second
//    addition (when that is still below 0) leaves [2.56, F+]; the down loop has run already. So
//    the loops amount to p1 = single(p' - s1) and p2 = single(p1 - s2), where s1 is 2 pi when
//    p' >= 2 pi, -2 pi when p' < 0 and +0 otherwise, and s2 is 2 pi when s1 was and p1 >= 2 pi,
//    -2 pi when p1 < 0 and +0 otherwise (subtracting +0 leaves every value, -0 included, as it
//    is, and p1 is a single already). With |K| <= 1, p' lies in [-1.0000002, 7.2831860] and s2 is
//    always +0. p' >= 2 pi means p' >= F+, that is d beyond the rounding boundary
//    B = (F- + F+) / 2 between them, and p' < 0 means d < 0; a kept sum lies on the same side of
//    B and of 0 as its rounding, so s1 is chosen from d itself while d is still being rounded.
//    The result is in [0, F+]; it is F+ only from p' in [-6.4e-8, 0), from a sum that was
//    recomputed: a second addition starts from p1 <= single(2 pi - F+) = -1.7e-7 (the singles
//    nearest -2 pi are -F+ and -F-, and -F- + 2 pi > 0) and so ends at F- or below.
// 7. Drift: t = theta + p' is the same double sum. The textbook loop wraps while t >= 2 pi, then
//    while t < 0. t >= 0. single(t - 2 pi) >= 2 pi would need t - 2 pi >= B, that is
//    theta = p' = F+, and a kept lane never has p' = F+ (6). So t wraps once at most, to
//    single(t - 2 pi), which is also the new theta; unwrapped, t is rounded to give the new theta
//    (t - (+0) is t) and itself forms the column.
// 8. The point: x = t * x_scale + x_offset and y = y_base - p' * y_scale, the same two roundings
//    each, then rounded toward zero as the conversion to int does; y * stride + x of a pixel on
//    the picture is an integer below 2^31, exact in double. On a row whose points may leave the
//    picture, a lane is off it unless -1 < x < width and -1 < y < height, which is exactly when
//    the truncations land on the picture (NaN and infinities included); with strict edges unless
//    0 <= x < width and 0 <= y < height, as the plain path tests it. A row whose extreme values
//    (t in [0, 2 pi], p' in [0, F+], through the same monotonic formulas) all land on the
//    picture skips that test.

#include "lyapunov.hpp"
#include "map_sine.hpp"
#include "orbit_kernels.hpp"
#include "orbit_lanes.hpp"
#include "orbit_paths.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if KIT_LANES_AVAILABLE

namespace kit::orbit_kernels {
namespace {

using namespace lanes;

// The sine's odd polynomial r q(r^2) of n vectors of angles reduced to |r| <= pi/2, the quick
// sine's and the quick cosine's last steps alike.
template <int n> KIT_LANES void odd_polynomial(const Doubles* r, Doubles* out) {
    Doubles z[n], z2[n];
    for (int v = 0; v < n; ++v) z[v] = r[v] * r[v];
    for (int v = 0; v < n; ++v) z2[v] = z[v] * z[v];
    Doubles p0[n], p1[n], q[n];
    for (int v = 0; v < n; ++v) {
        p0[v] = multiply_add(splat(sine_coefficients[1]), z[v], splat(sine_coefficients[0]));
        p1[v] = multiply_add(splat(sine_coefficients[3]), z[v], splat(sine_coefficients[2]));
        const Doubles p2 =
            multiply_add(splat(sine_coefficients[5]), z[v], splat(sine_coefficients[4]));
        q[v] = multiply_add(splat(sine_coefficients[6]), z2[v], p2);
    }
    for (int v = 0; v < n; ++v) q[v] = multiply_add(q[v], z2[v], p1[v]);
    for (int v = 0; v < n; ++v) q[v] = multiply_add(q[v], z2[v], p0[v]);
    for (int v = 0; v < n; ++v) out[v] = r[v] * q[v];
}

// sin(x) for |x| <= vector_sine_domain (1 to 3 above): x = k pi + r with |r| <= a, r negated for
// odd k, then r S(r^2) (quick_sine, lane by lane). n vectors at a time, stage by stage across them,
// so that each stage offers the processor n independent operations.
template <int n> KIT_LANES void sines(const Doubles* x, Doubles* out) {
    Doubles shifted[n], r[n];
    for (int v = 0; v < n; ++v)
        shifted[v] = multiply_add(x[v], splat(inverse_pi), splat(round_shift));
    for (int v = 0; v < n; ++v) {
        const Doubles k = shifted[v] - round_shift;
        r[v] = multiply_add(k, splat(-pi_high), x[v]);
        r[v] = multiply_add(k, splat(-pi_low), r[v]);
        // k sits in the low bits of `shifted`, so its lowest bit is the parity of k.
        r[v] = from_bits(bits(r[v]) ^ (bits(shifted[v]) << 63));
    }
    odd_polynomial<n>(r, out);
}

// The orbits' exponents, carried along (kit/lyapunov.hpp, lyapunov.cpp)
// ------------------------------------------------------------------
// Asked for (KernelRow::exponents), the kernel carries each lane's tangent vector (dp, dtheta)
// along its orbit and leaves its exponent at the end, the same bits as lyapunov_exponent's, by
// the same operations on the same values:
// - The orbit is this kernel's, step for step the textbook loop's (the proof above), which is the
//   orbit lyapunov_exponent follows.
// - The cosine: c = single(map_cosine(theta)) of the angle before each step. The quick cosine of
//   orbit_kernels.hpp, lane by lane (a fused multiply-add only leaves out roundings of its proof,
//   1 to 3 there), is checked against cosine_margin as single_cosine checks it (4 there): when
//   the two ends round to the same single, that single is c; otherwise the lane takes c from
//   map_cosine itself. So c is the scalar code's, bit for bit, in every lane.
// - The update g = K c, dp = dp + g dtheta, dtheta = dtheta + dp: a product and sums written
//   apart (no multiply-add: -ffp-contract=off keeps them apart), each IEEE double operation
//   rounded to nearest as the scalar code's.
// - The scaling after every step: where |dp| or |dtheta| reaches 2^512 both are multiplied by
//   2^-512 and the lane's count goes up, elsewhere by 1 (exact). The comparisons are the scalar
//   code's (NaN compares false in both).
// - The end is the scalar code's own function (exponent_from_tangent), lane by lane.

// The quick cosine of n vectors (quick_cosine, lane by lane).
template <int n> KIT_LANES void cosines(const Doubles* x, Doubles* out) {
    Doubles shifted[n], r[n];
    for (int v = 0; v < n; ++v)
        shifted[v] = multiply_add(x[v], splat(inverse_pi), splat(0.5)) + round_shift;
    for (int v = 0; v < n; ++v) {
        const Doubles k = shifted[v] - round_shift;
        const Doubles j = k * 2 - 1;
        r[v] = multiply_add(j, splat(-half_pi_high), x[v]);
        r[v] = multiply_add(j, splat(-half_pi_middle), r[v]);
        // An odd k negates: its parity is the lowest bit of `shifted`.
        r[v] = from_bits(bits(r[v]) ^ (bits(shifted[v]) << 63));
    }
    odd_polynomial<n>(r, out);
}

// The tangent vectors of n vectors of orbits, one step on from the angles before it.
template <int n> struct Tangents {
    Doubles dp[n], dtheta[n];
    Bits scalings[n];

    KIT_LANES void start() {
        for (int v = 0; v < n; ++v) {
            dp[v] = splat(1);
            dtheta[v] = splat(0);
            scalings[v] = bits(splat(0));
        }
    }

    KIT_LANES void step(const Doubles* theta, Doubles kick) {
        Doubles c[n];
        cosines<n>(theta, c);
        Words doubts{};
        for (int v = 0; v < n; ++v) {
            const Floats below = to_single(c[v] - cosine_margin);
            doubts |= bits(below) ^ bits(to_single(c[v] + cosine_margin));
            c[v] = widen(below);
        }
        if (any(doubts)) [[unlikely]] {
            for (int v = 0; v < n; ++v)
                for (int l = 0; l < 4; ++l)
                    c[v][l] = static_cast<float>(map_cosine(static_cast<float>(theta[v][l])));
        }
        for (int v = 0; v < n; ++v) {
            const Doubles g = kick * c[v];
            const Doubles product = g * dtheta[v];
            dp[v] = dp[v] + product;
            dtheta[v] = dtheta[v] + dp[v];
        }
    }

    KIT_LANES void scale() {
        constexpr std::int64_t magnitude = 0x7fffffffffffffff;
        for (int v = 0; v < n; ++v) {
            const Doubles a = from_bits(bits(dp[v]) & magnitude);
            const Doubles b = from_bits(bits(dtheta[v]) & magnitude);
            const Bits big = (a >= exponent_scaling_limit) | (b >= exponent_scaling_limit);
            const Doubles factor = select(big, splat(exponent_scaling_step), splat(1));
            dp[v] = dp[v] * factor;
            dtheta[v] = dtheta[v] * factor;
            scalings[v] = scalings[v] - big;
        }
    }
};

// Four orbits after one step: the new momentum and angle (singles held as doubles) and the value
// the column is formed from.
struct Stepped {
    Doubles p, theta, column_angle;
};

// B of 6: the rounding boundary between the singles either side of 2 pi.
constexpr double wrap_boundary = 0x1.921fb5p+2;

// One step of n vectors of orbits (4 to 7 above), with the kick and its margin; `wide` for kicks
// beyond 1, whose momenta may wrap twice. Lanes whose step the vector arithmetic does not vouch
// for turn nonzero in `doubts`.
template <int n, bool wide>
KIT_LANES void advance(const Doubles* p, const Doubles* theta, Doubles kick, Doubles margin,
                       Stepped* out, Words& doubts) {
    Doubles sum[n];
    sines<n>(theta, sum);
    for (int v = 0; v < n; ++v) sum[v] = multiply_add(kick, sum[v], p[v]);
    Floats below[n];
    for (int v = 0; v < n; ++v) {
        below[v] = to_single(sum[v] - margin);
        const Floats above = to_single(sum[v] + margin);
        doubts |= bits(below[v]) ^ bits(above);
    }
    // Momentum: the first wrap down or up chosen from the sum while it is rounded, the second
    // (only for kicks beyond 1) from the first's result.
    Doubles q[n];
    for (int v = 0; v < n; ++v) {
        const Bits down = sum[v] >= wrap_boundary;
        const Bits shift = (down & bits(splat(two_pi))) | ((sum[v] < 0) & bits(splat(-two_pi)));
        q[v] = round_single(widen(below[v]) - from_bits(shift));
        if constexpr (wide) {
            const Bits again = (down & (q[v] >= two_pi) & bits(splat(two_pi))) |
                               ((q[v] < 0) & bits(splat(-two_pi)));
            q[v] = round_single(q[v] - from_bits(again));
        }
    }
    // Drift: the exact double sum, wrapped once; the wrap's rounding is the new angle's as well.
    for (int v = 0; v < n; ++v) {
        const Doubles t = theta[v] + q[v];
        const Bits wraps = t >= two_pi;
        const Doubles next = round_single(t - from_bits(wraps & bits(splat(two_pi))));
        out[v] = {q[v], next, select(wraps, next, t)};
    }
}

// The doubtful lanes of one vector, recomputed one by one the way the plain path computes them.
KIT_LANES_TARGET __attribute__((noinline)) Stepped recompute(Doubles p, Doubles theta,
                                                             double kick_value, Stepped out) {
    Words doubts{};
    Stepped again;
    advance<1, true>(&p, &theta, splat(kick_value), splat(kick_margin(kick_value)), &again, doubts);
    for (int l = 0; l < 4; ++l) {
        if (doubts[l] == 0) continue;
        const float p_lane = static_cast<float>(p[l]);
        const float theta_lane = static_cast<float>(theta[l]);
        const float q = wrap_momentum(kicked(p_lane, theta_lane, kick_value));
        const double t = wrap_angle(static_cast<double>(theta_lane) + q);
        out.p[l] = q;
        out.theta[l] = static_cast<float>(t);
        out.column_angle[l] = t;
        // From theta = 0 the sum is p + K * 0 exactly, whatever its rounding: no sine needed.
        if (theta_lane != 0) fallback_count.fetch_add(1, std::memory_order_relaxed);
    }
    return out;
}

struct Placement {
    Doubles x_scale, x_offset, y_base, y_scale, width, height, stride;
};

// How the kernel tells the points that miss the picture (8 above): not at all (every point of the
// row lands on it), as truncation toward zero does (a point less than a pixel off the left or top
// edge lands in column or row 0), or strictly (only points whose unrounded place lies within the
// picture: OrbitRow::strict_edges).
enum class Check { none, truncated, strict };

// Pixel indices y * stride + x of four points (8 above), off_screen where a point misses the
// picture. An index added to 2^52 fills the low 32 bits of the sum exactly; a lane off the picture
// gets all bits set, and so off_screen.
template <Check check> KIT_LANES Words place(Doubles column_angle, Doubles p, const Placement& s) {
    const Doubles x = column_angle * s.x_scale + s.x_offset;
    const Doubles y = s.y_base - p * s.y_scale;
    Bits index = bits(toward_zero(y) * s.stride + toward_zero(x) + 0x1p52);
    if constexpr (check == Check::truncated)
        index |= ~((x > -1) & (x < s.width) & (y > -1) & (y < s.height));
    if constexpr (check == Check::strict)
        index |= ~((x >= 0) & (x < s.width) & (y >= 0) & (y < s.height));
    return low_words(index);
}

constexpr int vectors = vector_group / 4;

template <Check check, bool wide, bool tangent>
KIT_LANES_TARGET void orbits(const float* seeds, const float* angles, int length,
                             const KernelRow& kernel_row, std::uint32_t* buffer) {
    const Placement placement{.x_scale = splat(kernel_row.x_scale),
                              .x_offset = splat(kernel_row.x_offset),
                              .y_base = splat(kernel_row.y_base),
                              .y_scale = splat(kernel_row.y_scale),
                              .width = splat(kernel_row.width),
                              .height = splat(kernel_row.height),
                              .stride = splat(kernel_row.stride)};
    const Doubles kick = splat(kernel_row.kick), margin = splat(kernel_row.margin);
    const int row = row_length(length);
    Doubles p[vectors], theta[vectors];
    for (int v = 0; v < vectors; ++v) {
        Floats s, a;
        std::memcpy(&s, seeds + 4 * v, sizeof s);
        std::memcpy(&a, angles + 4 * v, sizeof a);
        p[v] = widen(s);
        theta[v] = widen(a);
    }
    Tangents<vectors> tangents;
    if constexpr (tangent) tangents.start();
    // Four steps of every lane, turned into four points of each orbit's row at once.
    Words block[4][vectors] = {};
    for (int i = 0; i < length; ++i) {
        if constexpr (tangent) tangents.step(theta, kick);
        Stepped next[vectors];
        Words doubts{};
        advance<vectors, wide>(p, theta, kick, margin, next, doubts);
        if (any(doubts)) [[unlikely]] {
            for (int v = 0; v < vectors; ++v)
                next[v] = recompute(p[v], theta[v], kernel_row.kick, next[v]);
        }
        for (int v = 0; v < vectors; ++v) {
            block[i & 3][v] = place<check>(next[v].column_angle, next[v].p, placement);
            p[v] = next[v].p;
            theta[v] = next[v].theta;
        }
        if constexpr (tangent) tangents.scale();
        if ((i & 3) == 3 || i == length - 1) {
            std::uint32_t* out = buffer + (i & ~3);
            for (int v = 0; v < vectors; ++v) {
                Words a = block[0][v], b = block[1][v], c = block[2][v], d = block[3][v];
                transpose(a, b, c, d);
                std::memcpy(out + (4 * v) * row, &a, sizeof a);
                std::memcpy(out + (4 * v + 1) * row, &b, sizeof b);
                std::memcpy(out + (4 * v + 2) * row, &c, sizeof c);
                std::memcpy(out + (4 * v + 3) * row, &d, sizeof d);
            }
        }
    }
    if constexpr (tangent) {
        for (int v = 0; v < vectors; ++v)
            for (int l = 0; l < 4; ++l)
                kernel_row.exponents[4 * v + l] = exponent_from_tangent(
                    tangents.dp[v][l], tangents.dtheta[v][l], tangents.scalings[v][l], length);
    }
}

// The kernel of a row's edge check and wrap, with the exponents or without.
template <Check check, bool wide> Kernel kernel_for(const KernelRow& kernel_row) {
    return kernel_row.exponents ? orbits<check, wide, true> : orbits<check, wide, false>;
}

// Whether every point of the row lands on the picture, so that the kernel can leave out the test
// point by point. The column is formed from a value in [0, 2 pi) and the row from a momentum in
// [0, F+]; both formulas are monotonic in that value, so the ends of the ranges decide.
bool lands_on_picture(const KernelRow& f) {
    const auto inside = [&f](double v, int size) {
        return f.strict ? v >= 0 && v < size : trunc_to_int(v) >= 0 && trunc_to_int(v) < size;
    };
    const auto column = [&f](double t) { return t * f.x_scale + f.x_offset; };
    const auto row = [&f](double p) { return f.y_base - p * f.y_scale; };
    return inside(column(0), f.width) && inside(column(two_pi), f.width) &&
           inside(row(0), f.height) && inside(row(6.2831855f), f.height);
}

} // namespace

Kernel vector_kernel(const KernelRow& kernel_row) {
    // The programs' kicks are at most 1: their rows leave out the second wrap.
    const bool wide = !(kernel_row.kick >= -1 && kernel_row.kick <= 1);
    if (lands_on_picture(kernel_row))
        return wide ? kernel_for<Check::none, true>(kernel_row)
                    : kernel_for<Check::none, false>(kernel_row);
    if (kernel_row.strict)
        return wide ? kernel_for<Check::strict, true>(kernel_row)
                    : kernel_for<Check::strict, false>(kernel_row);
    return wide ? kernel_for<Check::truncated, true>(kernel_row)
                : kernel_for<Check::truncated, false>(kernel_row);
}

} // namespace kit::orbit_kernels

namespace kit {

using namespace orbit_kernels;
using namespace lanes;

bool vector_sine_available() {
#if defined(__x86_64__)
    static const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return supported;
#else
    return true;
#endif
}

KIT_LANES_TARGET void vector_sines(const double* x, double* out, int n) {
    for (int i = 0; i < n; i += 4) {
        const int count = std::min(4, n - i);
        Doubles in{};
        std::memcpy(&in, x + i, count * sizeof(double));
        Doubles result;
        sines<1>(&in, &result);
        std::memcpy(out + i, &result, count * sizeof(double));
    }
}

// A last partial group is padded with p = 1, theta = 0, a step the vector arithmetic vouches for.
KIT_LANES_TARGET void vector_steps(float kick, const float* p, const float* theta, StepResult* out,
                                   int n) {
    for (int i = 0; i < n; i += 4) {
        const int count = std::min(4, n - i);
        Doubles ps = splat(1), thetas = splat(0);
        for (int l = 0; l < count; ++l) {
            ps[l] = p[i + l];
            thetas[l] = theta[i + l];
        }
        Words doubts{};
        Stepped next;
        advance<1, true>(&ps, &thetas, splat(kick), splat(kick_margin(kick)), &next, doubts);
        if (any(doubts)) next = recompute(ps, thetas, kick, next);
        for (int l = 0; l < count; ++l)
            out[i + l] = {.p = static_cast<float>(next.p[l]),
                          .theta = static_cast<float>(next.theta[l]),
                          .column_angle = next.column_angle[l]};
    }
}

} // namespace kit

#else

// Elsewhere the interleaved path with map_sine runs instead: plot_orbits never takes
// the vector path, and the tests of its pieces skip themselves.
namespace kit {

bool vector_sine_available() {
    return false;
}

orbit_kernels::Kernel orbit_kernels::vector_kernel(const KernelRow&) {
    return interleaved_orbits;
}
void vector_sines(const double*, double*, int) {}
void vector_steps(float, const float*, const float*, StepResult*, int) {}

} // namespace kit

#endif
