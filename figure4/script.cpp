#include "figure4.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"

namespace figure4 {

namespace {

constexpr int left = 20;
constexpr double width = 220;

// The background fill counts columns from L while x + 1 < L + 220 holds after each step, which
// visits x = L .. L + 219: exactly the columns x < L + 220 of the kit's fill. Its rows run from B
// down while y > B - 73.33333333333333, the same double as 220.0 / 3, and x < L + 110 decides
// red against blue in both. So the kit's fill with these values paints the same pixels.
void fill_red_and_blue() {
    kit::fill_tile_background({.width = width, .split = 110, .tile_width = width});
}

// Whitens the 640 x 480 area outside the whole tile; the box's top edge (B - 74) goes with it.
void mask_to_tile() {
    kit::mask_outside({.u_max = 1, .v_max = kit::one_third, .tile_width = width});
}

void start_tile(int base) {
    kit::tile_left = left;
    kit::tile_base = base;
    kit::draw_tile_box(kit::red, width);
}

} // namespace

void replicate_tile() {
    kit::replicate_tile(width);
}

void script() {
    using namespace kit;
    white = map_rgb(255, 255, 255);
    black = map_rgb(0, 0, 0);
    red = map_rgb(255, 50, 50);
    yellow = map_rgb(255, 255, 0);
    blue = map_rgb(50, 50, 255);
    make_palette();
    clear_screen(white);

    // First half: the map stretched, so the box holds only part of the portrait.
    start_tile(268);
    show_slide();

    plot_orbits(orbit_rows[0]);
    show_slide();

    fill_red_and_blue();
    show_slide();

    mask_to_tile();
    show_slide();

    figure4::replicate_tile();
    show_slide();

    // Second half on a fresh white screen: one period of theta across the tile.
    clear_screen(white);
    start_tile(368);
    show_slide();

    plot_orbits(orbit_rows[1]);
    show_slide();

    fill_red_and_blue();
    mask_to_tile();
    show_slide();

    figure4::replicate_tile();
    show_slide();
}

} // namespace figure4
