#include "figure3.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/pacing.hpp"
#include "kit/tile.hpp"

namespace figure3 {

using namespace kit;

namespace {

constexpr double width = 250;

// Everything outside the lower left corner (columns 20..145, rows B - 42..B) turns white.
void keep_lower_left_corner() {
    mask_outside(0.5, 0.17);
}

// Red up to column 82, blue from 83 to 144; in stage 3 the mask on the same slide leaves only
// the lower rows.
void fill_left_half() {
    fill_tile_background(125, 62.5);
}

} // namespace

// The source column is 250 - j for destination offset j, one less where 250 * (1 - u) lands just
// below an integer (j = 165..171, 200..203, 225..234); the row stays.
void mirror_half() {
    remap_region([](double u, double v) { return 0.5 <= u && u <= 1 && 0 <= v && v < one_third; },
                 [](double u, double v) {
                     return Point{trunc_to_int(tile_left + width * (1 - u)),
                                  trunc_to_int(tile_base - width * v)};
                 });
}

// Tile rows k = 42..83 read row 84 - k of the same column; row 42 reads itself.
void mirror_rows() {
    remap_region(
        [](double u, double v) { return 0 <= u && u <= 1 && 0.165 <= v && v <= one_third; },
        [](double u, double v) {
            return Point{trunc_to_int(tile_left + width * u),
                         trunc_to_int(tile_base - width * (one_third - v))};
        });
}

void script() {
    set_up_canvas(primary_colours);

    // Stage 1, tile on row 138, one step a slide.
    start_tile_on_white(20, 138, width);
    show_slide(); // 1
    plot_orbits(kick_0_5);
    show_slide(); // 2
    keep_lower_left_corner();
    show_slide(); // 3
    mirror_half();
    show_slide(); // 4
    mirror_rows();
    show_slide(); // 5
    replicate_tile();
    show_slide(); // 6

    // Stage 2, tile on row 268: the fill on a slide of its own before the mask.
    start_tile_on_white(20, 268, width);
    show_slide(); // 7
    plot_orbits(kick_1_wide);
    show_slide(); // 8
    fill_left_half();
    show_slide(); // 9
    keep_lower_left_corner();
    show_slide(); // 10
    mirror_half();
    mirror_rows();
    replicate_tile();
    show_slide(); // 11

    // Stage 3, tile on row 368: fill and mask on one slide, so the fill's upper rows never show.
    start_tile_on_white(20, 368, width);
    show_slide(); // 12
    plot_orbits(kick_1);
    show_slide(); // 13
    fill_left_half();
    keep_lower_left_corner();
    show_slide(); // 14
    mirror_half();
    mirror_rows();
    replicate_tile();
    show_slide(); // 15
}

} // namespace figure3
