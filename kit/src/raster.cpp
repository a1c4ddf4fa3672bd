#include "kit/raster.hpp"

#include "kit/canvas.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace kit {
namespace {

// Positions are walked in 64 bits: the ends may be any ints, and their differences (or a
// circle's doubled offsets) do not fit in an int.
using Coord = std::int64_t;

void plot(Coord x, Coord y, Uint32 colour) {
    if (x >= 0 && x < screen->w && y >= 0 && y < screen->h)
        put_pixel(static_cast<int>(x), static_cast<int>(y), colour);
}

// A line never leaves the box spanned by its ends: one that misses the screen plots nothing.
bool misses_screen(Coord x0, Coord y0, Coord x1, Coord y1) {
    return (x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= screen->w && x1 >= screen->w) ||
           (y0 >= screen->h && y1 >= screen->h);
}

// Both lines walk the major axis one step at a time; the error term, which starts at 0, gains
// the minor delta each step and triggers a minor step when it reaches the major delta. The
// cases of the plain algorithm (vertical, horizontal, diagonal, x-major, y-major) are all this
// walk: a zero minor delta never steps, and equal deltas step every time.
//
// After k steps the walk has made floor(k * minor / major) minor steps, so the steps whose
// major coordinate lies off the screen can be skipped without walking them: a line between
// far-away ends costs no more than one across the screen.
template <bool four_connected> void walk(Coord x0, Coord y0, Coord x1, Coord y1, Uint32 colour) {
    plot(x0, y0, colour);
    const Coord dx = x1 - x0, dy = y1 - y0;
    const bool x_major = std::llabs(dx) >= std::llabs(dy);
    // Major and minor coordinate, delta, direction; swap back when plotting.
    const Coord major0 = x_major ? x0 : y0, minor0 = x_major ? y0 : x0;
    const Coord major_delta = std::llabs(x_major ? dx : dy),
                minor_delta = std::llabs(x_major ? dy : dx);
    const int major_dir = (x_major ? dx : dy) > 0 ? 1 : -1;
    const int minor_dir = (x_major ? dy : dx) > 0 ? 1 : -1;
    const Coord limit = x_major ? screen->w : screen->h;
    if (major_delta == 0) return;
    auto put = [&](Coord major, Coord minor) {
        if (x_major)
            plot(major, minor, colour);
        else
            plot(minor, major, colour);
    };

    // Steps i = 1 .. major_delta land on major0 + major_dir * i; keep those inside [0, limit).
    Coord first = 1, last = major_delta;
    if (major_dir > 0) {
        first = std::max<Coord>(first, -major0);
        last = std::min<Coord>(last, limit - 1 - major0);
    } else {
        first = std::max<Coord>(first, major0 - (limit - 1));
        last = std::min<Coord>(last, major0);
    }
    if (first > last) return;

    // The state after first - 1 steps.
    const Coord done = first - 1;
    const __int128 gained = static_cast<__int128>(done) * minor_delta;
    Coord major = major0 + major_dir * done;
    Coord minor = minor0 + minor_dir * static_cast<Coord>(gained / major_delta);
    Coord e = static_cast<Coord>(gained % major_delta);
    for (Coord i = first; i <= last; ++i) {
        major += major_dir;
        if (four_connected) put(major, minor);
        e += minor_delta;
        if (e >= major_delta) {
            e -= major_delta;
            minor += minor_dir;
            if (four_connected) put(major, minor);
        }
        if (!four_connected) put(major, minor);
    }
}

} // namespace

void draw_line(int x0, int y0, int x1, int y1, Uint32 colour) {
    if (!misses_screen(x0, y0, x1, y1)) walk<false>(x0, y0, x1, y1, colour);
}

void draw_line_clipped(int x0, int y0, int x1, int y1, Uint32 colour) {
    if (!misses_screen(x0, y0, x1, y1)) walk<true>(x0, y0, x1, y1, colour);
}

void draw_circle(int cx, int cy, int r, Uint32 colour) {
    const Coord ccx = cx, ccy = cy;
    Coord x = ccx, y = ccy + r, e = 0;
    plot(ccx, ccy + r, colour);
    plot(ccx, ccy - r, colour);
    while (y > ccy) {
        const Coord ex = e + 2 * (x - ccx) + 1; // error after a step to x + 1
        const Coord ey = e - 2 * (y - ccy) + 1; // error after a step to y - 1
        if (std::llabs(ex) < std::llabs(ey)) {
            ++x;
            e = ex;
        } else {
            --y;
            e = ey;
        }
        plot(x, y, colour);
        plot(x, 2 * ccy - y, colour);
        plot(2 * ccx - x, y, colour);
        plot(2 * ccx - x, 2 * ccy - y, colour);
    }
    plot(ccx + r, ccy, colour);
    plot(ccx - r, ccy, colour);
}

} // namespace kit
