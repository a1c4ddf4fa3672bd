#include "kit/tile.hpp"

#include "kit/raster.hpp"

namespace kit {

void place_tile(int left, int base, double width) {
    tile_left = left;
    tile_base = base;
    tile_width = width;
}

void draw_tile_box(Uint32 colour) {
    const int L = tile_left, B = tile_base;
    const int R = trunc_to_int(L + tile_width);
    const int T = trunc_to_int(B - tile_width / 3);
    draw_line(L, B, R, B, colour);
    draw_line(L, B, L, T, colour);
    draw_line(R, B, R, T, colour);
    draw_line(L, T, R, T, colour);
}

void start_tile(int left, int base, double width) {
    place_tile(left, base, width);
    draw_tile_box(red);
}

void start_tile_on_white(int left, int base, double width) {
    clear_screen(white);
    start_tile(left, base, width);
}

void fill_tile_background(double width, std::optional<double> split) {
    const int L = tile_left, B = tile_base;
    const double top = B - tile_width / 3;
    // Only white pixels change and there are none off the surface, so the loops are clipped
    // to it (which also keeps them from overflowing).
    for (int x = detail::first_column(L); x < screen->w && x < L + width; ++x) {
        const bool left_part = !split || x < L + *split;
        for (int y = std::min(B, screen->h - 1); y >= 0 && y > top; --y)
            if (get_pixel(x, y) == white) put_pixel(x, y, left_part ? red : blue);
    }
}

} // namespace kit
