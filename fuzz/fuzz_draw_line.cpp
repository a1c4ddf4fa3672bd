// draw_line with arbitrary ends.
#include "check_line.hpp"

#include "kit/raster.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::check_line(data, size, kit::draw_line,
                            [](auto... args) { fuzz::walk_line(args...); });
}
