// The kicked map's sine, the same bits on every platform.
#pragma once

namespace kit {

// sin(theta), theta widened to double, correctly rounded (to nearest, ties to even) for every
// single in [0, 2 pi] (tools/sine_check.cpp checks each one against MPFR) and by symmetry for
// their negatives. It uses IEEE double additions, subtractions and multiplications only, so every
// platform computes the same bits; a C library's sine differs between libraries by one unit in
// the last place on many angles, and one such step moves a whole orbit.
//
// Wider singles are reduced exactly modulo pi, so their results are as accurate (within 2^-100
// or so of the true value before the last rounding) without being checked one by one; infinities
// and NaN give NaN.
double map_sine(float theta);

} // namespace kit
