// The tile box and the pixel remaps that rebuild a tile from part of it.
//
// Tile units: u = (x - tile_left) / W and v = (tile_base - y) / W with W = tile_width, formed in
// double for each pixel; v grows upwards and the whole tile is 0 <= u <= 1, 0 <= v <= 1/3. A
// program that rounds u to single precision instantiates the scans with U = float; the rounding
// then decides source columns exactly as it would in a float variable.
//
// Every mechanism works in place through get_pixel and put_pixel, so its scan order is part of
// its result: a pixel read after it was written in the same pass yields the new colour.
#pragma once

#include "kit/canvas.hpp"
#include "kit/truncate.hpp"

#include <algorithm>
#include <optional>

namespace kit {

inline constexpr double one_third = 0.3333333333333333;

struct Point {
    int x, y;
};

namespace detail {
// The remap scan runs x = L .. L + W and y = trunc(B - W) .. B. Positions off the surface can
// neither be written nor supply a colour, so the scan is clipped to the surface: that leaves
// every result unchanged and keeps the counters far from overflow whatever L and B are.
inline int first_column(int left) {
    return std::max(left, 0);
}
// (a - b) / W, the difference taken in double so that no int can overflow.
inline double units(int a, int b, double width) {
    return (static_cast<double>(a) - b) / width;
}
inline int first_row(int base, double width) {
    const double top = base - width;
    return top > 0 ? trunc_to_int(top) : 0;
}
} // namespace detail

// Makes the tile with bottom-left corner (left, base), `width` pixels wide and width / 3 high,
// the one that every mechanism below works on, until the next call.
void place_tile(int left, int base, double width);

// Outline in four draw_line calls: bottom, left, right, top. R = trunc(L + W), T = trunc(B - W/3).
void draw_tile_box(Uint32 colour);

// How every tile of the slide shows begins: place_tile, then the box outlined in red.
void start_tile(int left, int base, double width);

// The same on a screen cleared to white first, so nothing of an earlier tile shows.
void start_tile_on_white(int left, int base, double width);

// Repaints the white pixels of the box's first `width` columns (x = L while x < L + width), rows
// y = B down while y > B - W/3: red left of L + split and blue from there, or all red without a
// split. Other colours stay; the right and top edges are not visited.
void fill_tile_background(double width, std::optional<double> split = std::nullopt);

// Whitens every pixel of columns 0..639 x rows 0..479 (column by column) outside
// 0 <= u <= u_max, 0 <= v <= v_max.
template <typename U = double> void mask_outside(double u_max, double v_max) {
    const int L = tile_left, B = tile_base;
    const double W = tile_width;
    const int columns = std::min(640, screen->w), rows = std::min(480, screen->h);
    for (int x = 0; x < columns; ++x)
        for (int y = 0; y < rows; ++y) {
            const U u = static_cast<U>(detail::units(x, L, W));
            const double v = detail::units(B, y, W);
            if (u < 0 || u > u_max || v < 0 || v > v_max) put_pixel(x, y, white);
        }
}

namespace detail {
// The scan every remap shares: x = L .. L + W (outer, ascending) by y = trunc(B - W) .. B
// (inner, ascending), visit(x, y, u, v) at each position on the surface.
template <typename U, typename Visit> void scan_tile(Visit visit) {
    const int L = tile_left, B = tile_base;
    const double W = tile_width;
    for (int x = first_column(L); x < screen->w && x <= L + W; ++x)
        for (int y = first_row(B, W); y < screen->h && y <= B; ++y)
            visit(x, y, static_cast<U>(units(x, L, W)), units(B, y, W));
}
} // namespace detail

// Each pixel of the region takes the colour found at source(u, v) at that moment; positions
// outside the region are neither read nor written.
template <typename U = double, typename InRegion, typename Source>
void remap_region(InRegion in_region, Source source) {
    detail::scan_tile<U>([&](int x, int y, U u, double v) {
        if (!in_region(u, v)) return;
        const Point from = source(u, v);
        // A source off the surface holds no colour to copy.
        if (on_screen(from.x, from.y)) put_pixel(x, y, get_pixel(from.x, from.y));
    });
}

// Copies every tile pixel (0 <= u <= 1, 0 <= v < 1/3) to columns x - W, x, x + W, x + 2W and
// x + 3W of its row, those that fall on screen. The copy from column L reaches L + W before the
// scan reads it, so the strip repeats with period W.
template <typename U = double> void replicate_tile() {
    const unsigned last_column = static_cast<unsigned>(screen->w - 1);
    const double W = tile_width;
    detail::scan_tile<U>([&](int x, int y, U u, double v) {
        if (!(u >= 0 && u <= 1 && v >= 0 && v < one_third)) return;
        const Uint32 c = get_pixel(x, y);
        for (int j = -1; j <= 3; ++j) {
            const int d = trunc_to_int(x + W * j);
            if (static_cast<unsigned>(d) <= last_column) put_pixel(d, y, c);
        }
    });
}

} // namespace kit
