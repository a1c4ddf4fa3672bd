#include "figure3.hpp"

#include "kit/canvas.hpp"
#include "kit/stage.hpp"
#include "kit/tile.hpp"

namespace figure3 {

using namespace kit;

namespace {

constexpr double width = stage_tile_width;

// Everything outside the lower left corner (columns 20..145, the lower 43 rows) turns white.
constexpr Mask lower_left_corner{.u_max = 0.5, .v_max = 0.17, .tile_width = width};

// Red up to column 82, blue from column 83 to 144; the mask then keeps only the lower rows.
constexpr BackgroundFill half_fill{.width = 125, .split = 62.5, .tile_width = width};

} // namespace

void mirror_half() {
    remap_region(width, in_right_half, [](double u, double v) {
        return Point{column_mirrored_about_centre(u), trunc(tile_base - width * v)};
    });
}

void mirror_rows() {
    remap_region(
        width, [](double u, double v) { return 0 <= u && u <= 1 && 0.165 <= v && v <= one_third; },
        [](double u, double v) {
            return Point{trunc(tile_left + width * u), row_mirrored_about_middle(v)};
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

    constexpr Remaps remaps{mirror_half, mirror_rows, replicate_tile};

    // Slides 1-6, tile on row 138: the box; portrait O1; the corner kept; then each remap on a
    // slide of its own.
    show_stage({.tile_base = 138,
                .orbits = orbit_rows[0],
                .mask = lower_left_corner,
                .remap_slides = RemapSlides::each},
               remaps);

    // Slides 7-11, tile on row 268: the box; portrait O2; the left half's background filled;
    // the corner kept; the three remaps together.
    show_stage({.tile_base = 268,
                .orbits = orbit_rows[1],
                .fill = half_fill,
                .fill_slide = FillSlide::own,
                .mask = lower_left_corner},
               remaps);

    // Slides 12-15, tile on row 368: the box; portrait O3; the same fill and at once the mask,
    // so the fill's upper rows never show; the three remaps together.
    show_stage({.tile_base = 368,
                .orbits = orbit_rows[2],
                .fill = half_fill,
                .fill_slide = FillSlide::with_mask,
                .mask = lower_left_corner},
               remaps);
}

} // namespace figure3
