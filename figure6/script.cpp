#include "figure6.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"

namespace figure6 {

using namespace kit;

namespace {

// The tile box is fixed: left edge 20, bottom row 138, 250 wide. Tile units round u to single
// precision before every test and use; that rounding decides the mirrored source columns.
constexpr int left = 20;
constexpr int base = 138;
constexpr double width = 250;

bool in_tile_rows(double v) {
    return 0 <= v && v <= one_third;
}

} // namespace

void mirror_quarter() {
    remap_region<float>(
        width, [](float u, double v) { return 0.25 <= u && u <= 0.5 && in_tile_rows(v); },
        [](float u, double v) {
            return Point{trunc(width * (0.5 - u) + left), trunc(base - width * v)};
        });
}

void reflect_half() {
    remap_region<float>(
        width, [](float u, double v) { return 0.5 <= u && u <= 1 && in_tile_rows(v); },
        [](float u, double v) {
            const float w = static_cast<float>(one_third - v);
            return Point{trunc(width * (1.0 - u) + left), trunc(base - width * w)};
        });
}

void script() {
    white = map_rgb(255, 255, 255);
    black = map_rgb(0, 0, 0);
    red = map_rgb(255, 0, 0);
    make_palette();
    clear_screen(white);
    tile_left = left;
    tile_base = base;

    // 1. The empty tile box.
    draw_tile_box(red, width);
    show_slide();

    // 2. The portrait overflows the box above and below; slide 3 trims it.
    plot_orbits(orbit_rows[0]);
    show_slide();

    // 3. Keep the tile's left quarter.
    mask_outside<float>({.u_max = 0.25, .v_max = one_third, .tile_width = width});
    show_slide();

    // 4. Mirror the quarter about u = 0.25.
    mirror_quarter();
    show_slide();

    // 5. Turn the left half about the tile's centre (u, v) = (0.5, 1/6).
    reflect_half();
    show_slide();

    // 6. Repeat the tile across the window.
    replicate_tile<float>(width);
    show_slide();
}

} // namespace figure6
