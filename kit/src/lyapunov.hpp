// The orbits' exponents are offered to the programs' engines too: the declarations live with the
// kit's public headers. Here, what the vector kernel shares with lyapunov_exponent.
#pragma once

#include "kit/lyapunov.hpp"

namespace kit {

// The tangent vector's scaling (lyapunov.cpp): after a step in which |dp| or |dtheta| reached
// exponent_scaling_limit, both are multiplied by exponent_scaling_step and one scaling counted.
inline constexpr double exponent_scaling_limit = 0x1p512, exponent_scaling_step = 0x1p-512;

// The end of lyapunov_exponent, from the tangent vector after `length` steps (length >= 1) and
// its count of scalings.
double exponent_from_tangent(double dp, double dtheta, long long scalings, int length);

} // namespace kit
