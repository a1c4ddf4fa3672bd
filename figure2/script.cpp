#include "figure2.hpp"

#include "kit/canvas.hpp"
#include "kit/stage.hpp"
#include "kit/tile.hpp"

namespace figure2 {

using namespace kit;

namespace {

constexpr double width = stage_tile_width;

// Everything outside the first quarter turns white; the remaps rebuild the rest from it.
constexpr Mask first_quarter{.u_max = 0.25, .v_max = one_third, .tile_width = width};

// Stage 2 paints only the quarter the mask keeps: red left of column 52, blue from there.
constexpr BackgroundFill quarter_fill{.width = 62.5, .split = 31.25, .tile_width = width};

// Stage 3 paints the whole tile, but the mask on the same slide leaves only the red quarter.
constexpr BackgroundFill tile_fill{.width = 250, .split = 125, .tile_width = width};

} // namespace

void mirror_quarter() {
    remap_region(
        width, [](double u, double v) { return 0.25 <= u && u <= 0.5 && in_tile_rows(v); },
        [](double u, double v) {
            return Point{trunc(tile_left + width * (0.5 - u)), trunc(tile_base - width * v)};
        });
}

void rotate_half() {
    remap_region(width, in_right_half, [](double u, double v) {
        return Point{column_mirrored_about_centre(u), row_mirrored_about_middle(v)};
    });
}

void replicate_tile() {
    kit::replicate_tile(width);
}

void script() {
    white = map_rgb(255, 255, 255);
    black = map_rgb(0, 0, 0);
    red = map_rgb(255, 0, 0);
    blue = map_rgb(0, 0, 255);
    make_palette();
    clear_screen(white);

    constexpr Remaps remaps{mirror_quarter, rotate_half, replicate_tile};

    // Slides 1-6, tile on row 138: the box; portrait O1; the first quarter kept; then each
    // remap on a slide of its own.
    show_stage({.tile_base = 138,
                .orbits = orbit_rows[0],
                .mask = first_quarter,
                .remap_slides = RemapSlides::each},
               remaps);

    // Slides 7-11, tile on row 268: the box; portrait O2; the quarter's background filled;
    // the quarter kept; the three remaps together.
    show_stage({.tile_base = 268,
                .orbits = orbit_rows[1],
                .fill = quarter_fill,
                .fill_slide = FillSlide::own,
                .mask = first_quarter},
               remaps);

    // Slides 12-15, tile on row 368: the box; portrait O3; the whole background filled and at
    // once masked to the quarter; the three remaps together.
    show_stage({.tile_base = 368,
                .orbits = orbit_rows[2],
                .fill = tile_fill,
                .fill_slide = FillSlide::with_mask,
                .mask = first_quarter},
               remaps);
}

} // namespace figure2
