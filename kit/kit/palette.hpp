// The random palette of the portraits, for programs that draw with colours of their own.
//
// Offers: random_palette, the 256 colours a seed gives: the slide shows' palette (three numbers of
// the kit's generator a colour, the first giving blue, the second green and the third red), the
// same on every platform, without touching the slide shows' generator.
#pragma once

#include "kit/image.hpp"

#include <array>

namespace kit {

std::array<Rgb, 256> random_palette(unsigned seed);

} // namespace kit
