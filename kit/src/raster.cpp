#include "kit/raster.hpp"

#include "kit/canvas.hpp"

#include <algorithm>
#include <cmath>
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

    // The state after first - 1 steps. The ends are ints, so both deltas are below 2^32 and
    // their product below 2^64: exact in unsigned 64-bit arithmetic.
    const Coord done = first - 1;
    const std::uint64_t gained =
        static_cast<std::uint64_t>(done) * static_cast<std::uint64_t>(minor_delta);
    Coord major = major0 + major_dir * done;
    Coord minor =
        minor0 + minor_dir * static_cast<Coord>(gained / static_cast<std::uint64_t>(major_delta));
    Coord e = static_cast<Coord>(gained % static_cast<std::uint64_t>(major_delta));
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

// The circle's quarter arc is a walk from offset (0, r) from the centre, one step at a time
// to x + 1 or to y - 1, until y reaches 0; after each step it plots its position mirrored into
// the four quadrants. The step to x + 1 is taken when its error |ex| is below that of the step
// to y - 1, |ey|, ties going down. The walk keeps its error at e = x^2 + y^2 - r^2, so with
// ex = e + 2x + 1, ey = e - 2y + 1 and ex - ey = 2(x + y) > 0, the choice |ex| < |ey| is
// ex + ey < 0: the midpoint test x^2 + x + y^2 - y + 1 - r^2 < 0. That test fails for all x
// from some point on, and fails earlier the larger y is (y >= 0), so the walk runs along row y
// from column arc_end(r, y + 1) to column arc_end(r, y), the least x >= 0 failing the test in
// row y (row r starts at 0 = arc_end(r, r + 1); row 0 holds only arc_end(r, 1) = arc_end(r, 0),
// where the walk stops). Rows and columns can therefore be visited directly: a radius of two
// billion costs no more than one that fits the screen, where walking it took seconds.
//
// r is a positive int and 0 <= y <= r + 1, so r^2, y^2 and the target lie below 2^62, and so
// does x^2 + x for every x the search reaches (at most about sqrt(target) + 1): all exact in
// 64-bit arithmetic.
Coord arc_end(Coord r, Coord y) {
    const Coord target = r * r - y * y + y - 1;
    if (target <= 0) return 0;
    auto fails = [&](Coord x) { return x * x + x >= target; };
    auto x = static_cast<Coord>(std::sqrt(static_cast<double>(target)));
    while (x > 0 && fails(x - 1)) --x;
    while (!fails(x)) ++x;
    return x;
}

struct Span {
    Coord low, high; // empty when low > high
};

// The offsets d in 0 .. max_offset for which centre + d or centre - d lies in 0 .. size - 1.
// The two ranges overlap at 0 when the centre is inside and only one of them is non-empty
// otherwise, so together they form one span, never longer than size.
Span reachable_offsets(Coord centre, Coord size, Coord max_offset) {
    Span span{max_offset + 1, -1};
    auto add = [&](Coord low, Coord high) {
        low = std::max<Coord>(low, 0);
        high = std::min(high, max_offset);
        if (low > high) return;
        span.low = std::min(span.low, low);
        span.high = std::max(span.high, high);
    };
    add(-centre, size - 1 - centre);
    add(centre - size + 1, centre);
    return span;
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
    plot(ccx, ccy + r, colour);
    plot(ccx, ccy - r, colour);
    if (r > 0) {
        // The quarter arc from (0, r) down to row 0, clipped to the rows and columns that can
        // land on the screen. Each of its positions is plotted in all four quadrants; the
        // colour is the same throughout, so the order of the plots does not show.
        const Span rows = reachable_offsets(ccy, screen->h, r);
        const Span columns = reachable_offsets(ccx, screen->w, arc_end(r, 1));
        Coord row_end = arc_end(r, rows.high + 1);
        for (Coord y = rows.high; y >= rows.low; --y) {
            const Coord row_start = row_end;
            row_end = arc_end(r, y);
            const Coord first = std::max(row_start, columns.low);
            const Coord last = std::min(row_end, columns.high);
            for (Coord x = first; x <= last; ++x) {
                plot(ccx + x, ccy + y, colour);
                plot(ccx + x, ccy - y, colour);
                plot(ccx - x, ccy + y, colour);
                plot(ccx - x, ccy - y, colour);
            }
        }
    }
    plot(ccx + r, ccy, colour);
    plot(ccx - r, ccy, colour);
}

} // namespace kit
