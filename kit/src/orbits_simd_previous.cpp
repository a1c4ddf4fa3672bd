// TEMPORARY: the previous AVX2 kernel, kept only so the benchmark can time it beside the new one.
// The vector path of the orbit plotter: four orbits per AVX2 register, sixteen in flight.
//
// Only this file is compiled for AVX2 with FMA, function by function (target attributes), and
// only reached after a run-time check of the processor; the rest of the build stays SSE2.
//
// Why the result is the same as with std::sin
// -------------------------------------------
// The sine enters the orbit only through p' = single(p + K * sin(theta)); everything after that
// (wraps, drift, the pixel) is computed from the single-precision p' exactly as the plain path
// does. So it suffices that the vectorised step yields the same p' as the C library's sine.
//
// 1. The vectorised sine S(x), for |x| <= 7, differs from sin(x) by less than 2^-51:
//    - Reduction: k = nearest(x * 2/pi) (|k| <= 4) and r = x - k*(C1 + C2 + C3), with C1 and C2
//      the leading 33-bit pieces of pi/2, so k*C1 and k*C2 are exact, and C3 the rest rounded
//      to double. Each of the three fused subtractions rounds once a value below 1 in
//      magnitude: at most 3 * 2^-54 in all; the pieces miss pi/2 by about 1e-37, times |k|.
//      Because x * 2/pi itself is rounded, k can pick the neighbouring quadrant near an odd
//      multiple of pi/4, so |r| <= pi/4 + 2e-15 < 0.786. sin and cos have slopes of at most 1,
//      so the reduction error passes into the result unchanged: < 1.7e-16.
//    - Polynomials: the Taylor series of sin to r^15 and of cos to r^16. Both alternate with
//      decreasing terms for |r| < 1, so the truncation is below the first omitted term:
//      0.786^17/17! < 4.7e-17 for sin, 0.786^18/18! < 2.1e-18 for cos. The coefficients 1/n!
//      are correctly rounded quotients of exact integers (relative error 2^-53 each).
//    - Evaluation (Horner with FMA, r^2 <= 0.618): the inner sums of the sine stay below 1/6,
//      each FMA rounds by at most 2^-53 of its value and later steps scale earlier errors by
//      r^2, so together with the coefficient and r^2 roundings the sum of r^3 * inner loses
//      less than 0.4 * 2^-53, and the final r + r^3 * inner rounds once (|result| < 0.71:
//      2^-54). The cosine's 1 - r^2/2 rounds by at most 2^-54 (r^2/2 carries r^2's 0.31 *
//      2^-53), its tail r^4 * inner (inner < 1/24) loses less than 0.1 * 2^-53, and its final
//      FMA rounds by at most 2^-53 (the result may be 1).
//    Altogether below 3.5 * 2^-53 < 2^-51 (kit::vector_sine_error; the tests measure it).
// 2. The C library's sin is within one unit in the last place: |sin_libm - sin| <= 2^-53.
// 3. With |K| <= 1, the products K*S and K*sin_libm each round by at most 2^-54, and for a sum
//    d = p + K*s with |d| <= 16 the double addition rounds by at most 2^-49. Hence the double
//    sums formed with S and with sin_libm differ by at most
//        2^-51 + 2^-53 + 2 * 2^-54 + 2 * 2^-49  <  2^-47.
// 4. If the vectorised sum d lies farther than kit::kick_margin = 2^-46 from both rounding
//    boundaries of single precision around its rounding f (the midpoints between f and its
//    neighbours, exact in double), the library's sum lies strictly between the same midpoints
//    and rounds to the same f; ties are excluded by the strict distance. Otherwise the step is
//    recomputed with std::sin: on the programs' rows that happens about once in two million
//    steps (the fallback counter tells). Sums beyond 16, angles beyond 7 and sums
//    rounding to zero (no neighbour on both sides) are recomputed too; a zero angle needs no
//    sine at all, since sin(+-0) is that zero.

#include "orbit_paths.hpp"
#include "orbit_steps.hpp"

#include <algorithm>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define KIT_VECTOR __attribute__((target("avx2,fma")))

namespace kit::orbit_steps {
namespace {

constexpr double factorial(int n) {
    double f = 1;
    for (int i = 2; i <= n; ++i) f *= i;
    return f;
}

constexpr double two_over_pi = 0x1.45f306dc9c883p-1;
constexpr double pio2_1 = 0x1.921fb544p+0;
constexpr double pio2_2 = 0x1.0b4611a6p-34;
constexpr double pio2_3 = 0x1.3198a2e037073p-69;

KIT_VECTOR inline __m256d splat(double v) {
    return _mm256_set1_pd(v);
}

KIT_VECTOR inline __m256d absolute(__m256d v) {
    return _mm256_andnot_pd(splat(-0.0), v);
}

// Rounds every lane to single precision and widens it again.
KIT_VECTOR inline __m256d single(__m256d v) {
    return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}

KIT_VECTOR inline __m256d sine(__m256d x) {
    const __m256d k = _mm256_round_pd(_mm256_mul_pd(x, splat(two_over_pi)),
                                      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m256d r = _mm256_fnmadd_pd(k, splat(pio2_1), x);
    r = _mm256_fnmadd_pd(k, splat(pio2_2), r);
    r = _mm256_fnmadd_pd(k, splat(pio2_3), r);
    const __m256d r2 = _mm256_mul_pd(r, r);

    __m256d s = splat(-1 / factorial(15));
    s = _mm256_fmadd_pd(s, r2, splat(1 / factorial(13)));
    s = _mm256_fmadd_pd(s, r2, splat(-1 / factorial(11)));
    s = _mm256_fmadd_pd(s, r2, splat(1 / factorial(9)));
    s = _mm256_fmadd_pd(s, r2, splat(-1 / factorial(7)));
    s = _mm256_fmadd_pd(s, r2, splat(1 / factorial(5)));
    s = _mm256_fmadd_pd(s, r2, splat(-1 / factorial(3)));
    s = _mm256_fmadd_pd(_mm256_mul_pd(r2, r), s, r);

    __m256d c = splat(1 / factorial(16));
    c = _mm256_fmadd_pd(c, r2, splat(-1 / factorial(14)));
    c = _mm256_fmadd_pd(c, r2, splat(1 / factorial(12)));
    c = _mm256_fmadd_pd(c, r2, splat(-1 / factorial(10)));
    c = _mm256_fmadd_pd(c, r2, splat(1 / factorial(8)));
    c = _mm256_fmadd_pd(c, r2, splat(-1 / factorial(6)));
    c = _mm256_fmadd_pd(c, r2, splat(1 / factorial(4)));
    c = _mm256_fmadd_pd(_mm256_mul_pd(r2, r2), c, _mm256_fnmadd_pd(r2, splat(0.5), splat(1)));

    // Quadrant k mod 4: sin r, cos r, -sin r, -cos r. Bit 0 of k picks the cosine, bit 1 the
    // sign (two's complement keeps this right for negative k).
    const __m256i quadrant = _mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(k));
    const __m256d use_cos = _mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 63));
    const __m256d negate =
        _mm256_and_pd(_mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 62)), splat(-0.0));
    return _mm256_xor_pd(_mm256_blendv_pd(s, c, use_cos), negate);
}

// p' = single(p + K sin theta) for four lanes held as doubles; lanes whose vectorised sum is
// not safely inside one rounding interval are recomputed with std::sin.
KIT_VECTOR inline __m256d kick_step(__m256d p, __m256d theta, double kick) {
    const __m256d d = _mm256_add_pd(p, _mm256_mul_pd(splat(kick), sine(theta)));
    const __m128 f = _mm256_cvtpd_ps(d);
    const __m128i bits = _mm_castps_si128(f);
    const __m256d rounded = _mm256_cvtps_pd(f);
    const __m256d above = _mm256_cvtps_pd(_mm_castsi128_ps(_mm_add_epi32(bits, _mm_set1_epi32(1))));
    const __m256d below = _mm256_cvtps_pd(_mm_castsi128_ps(_mm_sub_epi32(bits, _mm_set1_epi32(1))));
    // Midpoints of adjacent floats are exact in double. A zero f has a NaN "neighbour" (bit
    // pattern -1), which fails the comparisons and so falls back, as intended.
    const __m256d to_upper =
        absolute(_mm256_sub_pd(d, _mm256_mul_pd(_mm256_add_pd(rounded, above), splat(0.5))));
    const __m256d to_lower =
        absolute(_mm256_sub_pd(d, _mm256_mul_pd(_mm256_add_pd(rounded, below), splat(0.5))));
    __m256d safe = _mm256_and_pd(_mm256_cmp_pd(to_upper, splat(0x1p-46), _CMP_GT_OQ),
                                 _mm256_cmp_pd(to_lower, splat(0x1p-46), _CMP_GT_OQ));
    safe = _mm256_and_pd(safe, _mm256_cmp_pd(absolute(theta), splat(7.0), _CMP_LE_OQ));
    safe = _mm256_and_pd(safe, _mm256_cmp_pd(absolute(d), splat(16), _CMP_LE_OQ));
    const int mask = _mm256_movemask_pd(safe);
    if (__builtin_expect(mask == 0xf, 1)) return rounded;

    alignas(32) double ps[4], thetas[4], out[4];
    _mm256_store_pd(ps, p);
    _mm256_store_pd(thetas, theta);
    _mm256_store_pd(out, rounded);
    for (int l = 0; l < 4; ++l) {
        if (mask >> l & 1) continue;
        const float p_lane = static_cast<float>(ps[l]), theta_lane = static_cast<float>(thetas[l]);
        if (theta_lane == 0) {
            // Every orbit starts at theta = 0, and the seed-0 orbit never leaves it: there the
            // sum is p + K * (+-0) exactly (sin keeps a zero), often 0 itself, which has no
            // rounding neighbour below and would otherwise always count as a fallback.
            out[l] = static_cast<float>(p_lane + kick * static_cast<double>(theta_lane));
            continue;
        }
        out[l] = orbit_steps::kick(p_lane, theta_lane, kick);
        ++fallback_count;
    }
    return _mm256_load_pd(out);
}

// The rare lanes that need more than one pass of a wrap loop (or are stuck) finish it one by
// one.
KIT_VECTOR inline __m256d finish_down(__m256d v) {
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, v);
    for (double& lane : lanes) lane = wrap_down(lane);
    return _mm256_load_pd(lanes);
}

KIT_VECTOR inline __m256d finish_up(__m256d v) {
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, v);
    for (double& lane : lanes) lane = wrap_up(lane);
    return _mm256_load_pd(lanes);
}

// The wrap loops on four lanes: one pass in every lane that needs it, then the rare lanes that
// need more. The values are singles held as doubles (or the drift's exact double sum), so the
// double versions of the scalar loops compute what the float ones would. The branches skip
// passes no lane needs (measured faster than blending every pass in unconditionally).
KIT_VECTOR inline __m256d wrap(__m256d v) {
    const __m256d limit = splat(two_pi);
    __m256d high = _mm256_cmp_pd(v, limit, _CMP_GE_OQ);
    if (_mm256_movemask_pd(high)) {
        v = _mm256_blendv_pd(v, single(_mm256_sub_pd(v, limit)), high);
        if (__builtin_expect(_mm256_movemask_pd(_mm256_cmp_pd(v, limit, _CMP_GE_OQ)), 0))
            v = finish_down(v);
    }
    const __m256d low = _mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_LT_OQ);
    if (_mm256_movemask_pd(low)) {
        v = _mm256_blendv_pd(v, single(_mm256_add_pd(v, limit)), low);
        if (__builtin_expect(_mm256_movemask_pd(_mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_LT_OQ)),
                             0))
            v = finish_up(v);
    }
    return v;
}

struct VectorFrame {
    __m256d x_scale, x_offset, y_base, y_scale;
    __m128i width, height, stride;
};

// Pixel indices y * stride + x of four points, off_screen where the point misses the screen.
// Truncation of out-of-range values yields INT_MIN, which is off the screen as well.
KIT_VECTOR inline __m128i place(__m256d t, __m256d p, const VectorFrame& f) {
    const __m128i x = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(t, f.x_scale), f.x_offset));
    const __m128i y = _mm256_cvttpd_epi32(_mm256_sub_pd(f.y_base, _mm256_mul_pd(p, f.y_scale)));
    const __m128i minus_one = _mm_set1_epi32(-1);
    const __m128i inside =
        _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(x, minus_one), _mm_cmpgt_epi32(f.width, x)),
                      _mm_and_si128(_mm_cmpgt_epi32(y, minus_one), _mm_cmpgt_epi32(f.height, y)));
    const __m128i index = _mm_add_epi32(_mm_mullo_epi32(y, f.stride), x);
    return _mm_or_si128(_mm_and_si128(inside, index), _mm_andnot_si128(inside, minus_one));
}

constexpr int vectors = vector_lanes / 4;

} // namespace

KIT_VECTOR void previous_vector_orbits(const float* seeds, int length, const Frame& frame,
                                       std::uint32_t* buffer) {
    const VectorFrame f{.x_scale = splat(frame.x_scale),
                        .x_offset = splat(frame.x_offset),
                        .y_base = splat(frame.y_base),
                        .y_scale = splat(frame.y_scale),
                        .width = _mm_set1_epi32(frame.width),
                        .height = _mm_set1_epi32(frame.height),
                        .stride = _mm_set1_epi32(frame.stride)};
    __m256d p[vectors], theta[vectors];
    for (int v = 0; v < vectors; ++v) {
        p[v] = _mm256_cvtps_pd(_mm_loadu_ps(seeds + 4 * v));
        theta[v] = _mm256_setzero_pd();
    }
    for (int i = 0; i < length; ++i, buffer += vector_lanes)
        for (int v = 0; v < vectors; ++v) {
            p[v] = wrap(kick_step(p[v], theta[v], frame.kick));
            const __m256d t = wrap(_mm256_add_pd(theta[v], p[v]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + 4 * v), place(t, p[v], f));
            theta[v] = single(t);
        }
}

} // namespace kit::orbit_steps

#else

// Other processors keep the interleaved path with the C library's sine: plot_orbits never takes
// the vector path, and the tests of its pieces skip themselves.
void kit::orbit_steps::previous_vector_orbits(const float*, int, const Frame&, std::uint32_t*) {}

#endif
