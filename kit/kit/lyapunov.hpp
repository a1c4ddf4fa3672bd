// Order and chaos along one orbit: its finite-time largest Lyapunov exponent, the kind that
// follows from it, and a colour for it; and a colour for a count of points on a logarithmic scale.
// The same bits on every platform (kit/src/lyapunov.cpp tells how).
#pragma once

#include "kit/image.hpp"

#include <cstdint>

namespace kit {

// The finite-time largest Lyapunov exponent of the orbit of the kicked map from (p, theta):
// ln(|v_n| / |v_0|) / n per step (natural log), n = length, over the very single-precision
// orbit the plotter draws, with a tangent vector v carried along by the map's Jacobian at each
// step's angle. Exactly (lyapunov.cpp tells why each piece is so):
//     start    (dp, dtheta) = (1, 0), the momentum's direction;
//     step     c = single(map_cosine(theta)), g = double(kick) * c (exact), then
//              dp = dp + g * dtheta;  dtheta = dtheta + dp  (each product and sum rounded to
//              double, no fused multiply-add), then the orbit's step as the plotter takes it:
//              p = wrap_momentum(kicked(p, theta, kick)), theta = single(wrap_angle(theta + p));
//              when |dp| >= 2^512 or |dtheta| >= 2^512 after a step, both are multiplied by
//              2^-512 and `scalings` counts one;
//     end      e = the exponent of max(|dp|, |dtheta|) (2^e <= max < 2^(e + 1)),
//              a = dp * 2^-e, b = dtheta * 2^-e (exact), s = a * a + b * b (in [1, 8)),
//              n2 = double(512 * scalings + e), and
//              exponent = (n2 * ln2 + map_log(s) * 0.5) / length, ln2 = 0x1.62e42fefa39efp-1.
// Returns 0 for length <= 0 (no step, nothing stretched), NaN when the orbit leaves the finite
// numbers (a kick that is not finite, or one so large that the momentum overflows a single).
double lyapunov_exponent(float kick, float p, float theta, int length);

// lyapunov_exponent, also counting the steps whose single-precision cosine the quick cosine could
// not decide and map_cosine computed (the result is the same).
double lyapunov_exponent(float kick, float p, float theta, int length,
                         std::uint64_t& cosine_fallbacks);

enum class OrbitKind { regular, chaotic };

// The largest exponent a regular orbit of `length` steps is taken to show:
//     (map_log(length) + regular_allowance) / length,
// since along a regular orbit the tangent vector grows at most linearly (the twist), by a factor
// up to about e^regular_allowance n (lyapunov.cpp tells what the study of orbits of known nature
// found). For length <= 0: infinity.
inline constexpr double regular_allowance = 5;
double regular_threshold(int length);

// regular when exponent <= regular_threshold(length), else chaotic (NaN counts as chaotic: the
// orbit left the finite numbers).
OrbitKind orbit_kind(double exponent, int length);

// "regular" or "chaotic", for the table of orbits.
const char* kind_name(OrbitKind kind);

// The colour of an exponent on a fixed scale, from cool (regular: dark blue) through violet and
// red to warm (chaotic: light orange), perceptually ordered (lightness rises evenly along it). The
// scale is logarithmic, from 2^-10 per step (about what a regular orbit of 10,000 steps shows)
// to 2 per step (beyond the kicked map's exponent at kick 10, about ln 5 = 1.61); exponents below
// it (zero and negative ones included) take its coolest colour, exponents above it and NaN its
// warmest.
inline constexpr double coolest_exponent = 0x1p-10;
inline constexpr double warmest_exponent = 2;
Rgb exponent_colour(double exponent);

// The place of an exponent's colour on the scale (0 .. 255): exponent_colour is
// exponent_scale[exponent_position(exponent)]. Position i stands for exponents around
// 2^(11 i / 255 - 10).
int exponent_position(double exponent);

// The place of a count of points on the same scale, logarithmic too: a pixel that one point fell
// in takes its coolest colour, one that densest_count or more fell in its warmest, and in between
// trunc(255 ln(count) / ln(densest_count)) (the logarithm from map_log; at most 254 below
// densest_count): about 18 colours an octave, so that the default scene's counts (about 50 a
// pixel) fall mid-scale and those of the heaviest scenes (about 5,000) below its top. Whole
// counts go in and the same place comes out on every platform.
inline constexpr int densest_octaves = 14;
inline constexpr std::uint32_t densest_count = std::uint32_t{1} << densest_octaves;
int count_position(std::uint32_t count);

// The scale's 256 colours, coolest first (exponent_colour picks one of them).
extern const Rgb exponent_scale[256];

} // namespace kit
