// The rasterizers' algorithms taken step by step, as written, in 64-bit coordinates: the
// yardstick for the kit's line and circle code in the unit tests and the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace reference {

using Coord = std::int64_t;

// The reference walks take the algorithms step by step, as written, and report every position
// they visit; they stand for what the kit must draw. Their cost is the length of the walk, so
// they are only run where that stays small.
inline constexpr Coord longest_reference_walk = Coord{1} << 18;

template <typename Visit> void walk_line(Coord x0, Coord y0, Coord x1, Coord y1, Visit visit) {
    const Coord dx = x1 - x0, dy = y1 - y0;
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
    const Coord ax = std::llabs(dx), ay = std::llabs(dy);
    Coord x = x0, y = y0, e = 0;
    visit(x, y);
    if (dx == 0) {
        for (Coord i = 0; i < ay; ++i) visit(x0, y += sy);
    } else if (dy == 0) {
        for (Coord i = 0; i < ax; ++i) visit(x += sx, y0);
    } else if (ax == ay) {
        for (Coord i = 0; i < ax; ++i) visit(x += sx, y += sy);
    } else if (ax > ay) {
        for (Coord i = 0; i < ax; ++i) {
            e += ay;
            x += sx;
            if (e >= ax) e -= ax, y += sy;
            visit(x, y);
        }
    } else {
        for (Coord i = 0; i < ay; ++i) {
            e += ax;
            y += sy;
            if (e >= ay) e -= ay, x += sx;
            visit(x, y);
        }
    }
}

// The 4-connected line: a step that moves both coordinates also visits the corner between.
template <typename Visit> void walk_line_4(Coord x0, Coord y0, Coord x1, Coord y1, Visit visit) {
    const Coord dx = x1 - x0, dy = y1 - y0;
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
    const Coord ax = std::llabs(dx), ay = std::llabs(dy);
    Coord x = x0, y = y0, e = 0;
    visit(x, y);
    if (dx == 0) {
        for (Coord i = 0; i < ay; ++i) visit(x0, y += sy);
    } else if (dy == 0) {
        for (Coord i = 0; i < ax; ++i) visit(x += sx, y0);
    } else if (ax == ay) {
        for (Coord i = 0; i < ax; ++i) {
            visit(x += sx, y);
            visit(x, y += sy);
        }
    } else if (ax > ay) {
        for (Coord i = 0; i < ax; ++i) {
            visit(x += sx, y);
            e += ay;
            if (e >= ax) {
                e -= ax;
                visit(x, y += sy);
            }
        }
    } else {
        for (Coord i = 0; i < ay; ++i) {
            visit(x, y += sy);
            e += ax;
            if (e >= ay) {
                e -= ay;
                visit(x += sx, y);
            }
        }
    }
}

template <typename Visit> void walk_circle(Coord cx, Coord cy, Coord r, Visit visit) {
    Coord x = cx, y = cy + r, e = 0;
    visit(cx, cy + r);
    visit(cx, cy - r);
    while (y > cy) {
        const Coord ex = e + 2 * (x - cx) + 1;
        const Coord ey = e - 2 * (y - cy) + 1;
        if (std::llabs(ex) < std::llabs(ey)) {
            x = x + 1;
            e = ex;
        } else {
            y = y - 1;
            e = ey;
        }
        visit(x, y);
        visit(x, 2 * cy - y);
        visit(2 * cx - x, y);
        visit(2 * cx - x, 2 * cy - y);
    }
    visit(cx + r, cy);
    visit(cx - r, cy);
}

} // namespace reference
