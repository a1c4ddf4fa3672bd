// The kicked map's sine and cosine, the same bits on every platform.
#pragma once

namespace kit {

// sin(theta), theta widened to double, correctly rounded (to nearest, ties to even) for every
// single in [0, 2 pi] (tools/sine_check.cpp checks each one against MPFR) and by symmetry for
// their negatives. It uses IEEE double additions, subtractions and multiplications only, so every
// platform computes the same bits; a C library's sine differs between libraries by one unit in
// the last place on many angles, and one such step moves a whole orbit.
//
// Larger singles, which orbits reach only with kicks far beyond any row's, are reduced modulo pi
// with every bit of 1/pi that matters: their results lie within 2^-65 of sin theta, relative,
// before the last rounding (so within one unit in the last place, and nearly always the correctly
// rounded value), unchecked one by one. Infinities and NaN give NaN.
double map_sine(float theta);

// cos(theta), theta widened to double, correctly rounded in the same way and on the same angles
// (computed as sin(theta + pi/2) from the same sums, the reduction shifted by half a turn; the
// same tool checks it), with the same bound beyond them. Infinities and NaN give NaN.
double map_cosine(float theta);

} // namespace kit
