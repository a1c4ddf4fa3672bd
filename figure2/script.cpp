#include "figure2.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/pacing.hpp"
#include "kit/tile.hpp"

namespace figure2 {

using namespace kit;

namespace {

constexpr double width = 250;

// Everything outside the first quarter (columns 20..82) turns white.
void keep_first_quarter() {
    mask_outside(0.25, one_third);
}

} // namespace

// The source column is 125 - j for destination offset j, one less where 250 * (0.5 - u) lands
// just below an integer (j = 83, 84, 85, 100, 101, 113 .. 117).
void mirror_quarter() {
    remap_region(
        [](double u, double v) { return 0.25 <= u && u <= 0.5 && 0 <= v && v < one_third; },
        [](double u, double v) {
            return Point{trunc_to_int(tile_left + width * (0.5 - u)),
                         trunc_to_int(tile_base - width * v)};
        });
}

// Tile row k reads row 84 - k, so the bottom row takes the row just above the tile; the centre
// column (u = 0.5) reads itself and ends up symmetric about row 42.
void rotate_half() {
    remap_region([](double u, double v) { return 0.5 <= u && u <= 1 && 0 <= v && v < one_third; },
                 [](double u, double v) {
                     return Point{trunc_to_int(tile_left + width * (1 - u)),
                                  trunc_to_int(tile_base - width * (one_third - v))};
                 });
}

void script() {
    set_up_canvas(primary_colours);

    // Stage 1, the tile on row 138: every step on a slide of its own.
    start_tile_on_white(20, 138, width);
    show_slide(); // 1
    plot_orbits(kick_0_4);
    show_slide(); // 2
    keep_first_quarter();
    show_slide(); // 3
    mirror_quarter();
    show_slide(); // 4
    rotate_half();
    show_slide(); // 5
    replicate_tile();
    show_slide(); // 6

    // Stage 2, row 268: the quarter's background red up to column 51, blue from 52.
    start_tile_on_white(20, 268, width);
    show_slide(); // 7
    plot_orbits(kick_0_8);
    show_slide(); // 8
    fill_tile_background(62.5, 31.25);
    show_slide(); // 9
    keep_first_quarter();
    show_slide(); // 10
    mirror_quarter();
    rotate_half();
    replicate_tile();
    show_slide(); // 11

    // Stage 3, row 368: the whole background filled, but the mask on the same slide leaves only
    // the red quarter.
    start_tile_on_white(20, 368, width);
    show_slide(); // 12
    plot_orbits(kick_0_7);
    show_slide(); // 13
    fill_tile_background(250, 125);
    keep_first_quarter();
    show_slide(); // 14
    mirror_quarter();
    rotate_half();
    replicate_tile();
    show_slide(); // 15
}

} // namespace figure2
