#include "figure1.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"

namespace figure1 {

using namespace kit;

namespace {

constexpr int left = 20;
constexpr double width = 250;

} // namespace

void draw_box(int base) {
    // The fill, the mask and the remaps read the position back from the Canvas.
    tile_left = left;
    tile_base = base;
    draw_tile_box(red, width);
}

void fill_background(bool split) {
    if (split)
        fill_tile_background({.width = width, .split = 125, .tile_width = width});
    else
        fill_tile_background({.width = width, .tile_width = width});
}

// 0.17 lies just above 1/6, so the kept rows end one above the mirror line's row B - 42.
void keep_lower_half() {
    mask_outside({.u_max = 1, .v_max = 0.17, .tile_width = width});
}

void mirror_upper_half() {
    remap_region(
        width, [](double u, double v) { return 0 <= u && u <= 1 && 0.165 <= v && v <= one_third; },
        [](double u, double v) {
            // The distance below the top edge, rounded to single precision; the rounding is too
            // small to move the source off row 2B - 84 - y.
            const float w = static_cast<float>(one_third - v);
            return Point{trunc(tile_left + width * u), trunc(tile_base - width * w)};
        });
}

void replicate() {
    replicate_tile(width);
}

void script() {
    white = map_rgb(255, 255, 255);
    black = map_rgb(0, 0, 0);
    red = map_rgb(255, 0, 0);
    blue = map_rgb(0, 0, 255);
    make_palette();
    clear_screen(white);

    // 1. The first plot is by far the longest step: show the empty box while it runs.
    draw_box(168);
    flip_screen();
    plot_orbits(orbit_rows[0]);
    fill_background(false);
    show_slide();

    // 2. The mask whitens the outline's upper part too; draw the box again.
    keep_lower_half();
    draw_box(168);
    show_slide();

    // 3.
    mirror_upper_half();
    show_slide();

    // 4.
    replicate();
    show_slide();

    // 5. The second tile on a clean screen.
    clear_screen(white);
    draw_box(268);
    show_slide();

    // 6. These orbits spill far to the right of the box until the mask.
    plot_orbits(orbit_rows[1]);
    show_slide();

    // 7.
    fill_background(true);
    show_slide();

    // 8. This time the outline is not redrawn.
    keep_lower_half();
    show_slide();

    // 9.
    mirror_upper_half();
    replicate();
    show_slide();

    // 10. The third tile.
    clear_screen(white);
    draw_box(368);
    show_slide();

    // 11.
    plot_orbits(orbit_rows[2]);
    show_slide();

    // 12.
    fill_background(true);
    keep_lower_half();
    show_slide();

    // 13.
    mirror_upper_half();
    replicate();
    show_slide();
}

} // namespace figure1
