// One line of arbitrary ends on an exactly sized screen, checked against the step-by-step walk.
#pragma once

#include "fuzz_support.hpp"

namespace fuzz {

// draw(x0, y0, x1, y1, colour) is the kit's line, walk(x0, y0, x1, y1, visit) its reference.
// Whatever the ends, nothing outside the surface is touched (the sanitizer watches the edges of
// the pixel memory); where the walk is short enough to take, the pixels drawn are exactly the
// walk's positions that lie on the surface, so clipping and the skipping of off-surface stretches
// change nothing. With both ends on the surface that means every position of the walk.
template <typename Draw, typename Walk>
int check_line(const std::uint8_t* data, std::size_t size, Draw draw, Walk walk) {
    FuzzedDataProvider in(data, size);
    int w = 0, h = 0;
    pick_surface(in, w, h);
    const int x0 = pick_coordinate(in, w), y0 = pick_coordinate(in, h);
    const int x1 = pick_coordinate(in, w), y1 = pick_coordinate(in, h);
    constexpr Uint32 background = 0x00ffffff, colour = 0x00ff0000;

    ExactScreen screen(w, h, background);
    Picture expected = Picture::of(screen);
    draw(x0, y0, x1, y1, colour);

    const Coord length = std::max(std::llabs(Coord{x1} - x0), std::llabs(Coord{y1} - y0));
    if (length > longest_reference_walk) return 0;
    walk(x0, y0, x1, y1, [&](Coord x, Coord y) { expected.put(x, y, colour); });
    expect_same(screen, expected, "line");
    return 0;
}

} // namespace fuzz
