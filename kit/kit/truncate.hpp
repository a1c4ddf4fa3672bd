// The conversion every screen coordinate is formed with from a real value.
#pragma once

#include <limits>

namespace kit {

// Conversion toward zero. Values beyond the int range (far off the screen in any case) saturate
// instead of being undefined, and NaN gives the smallest int.
inline int trunc_to_int(double value) {
    if (!(value > -2147483649.0)) return std::numeric_limits<int>::min();
    if (value >= 2147483648.0) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

} // namespace kit
