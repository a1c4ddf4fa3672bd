#include "figure1.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/pacing.hpp"
#include "kit/tile.hpp"

namespace figure1 {

using namespace kit;

namespace {

constexpr double width = 250;

} // namespace

void fill_background(bool split) {
    if (split)
        fill_tile_background(width, 125);
    else
        fill_tile_background(width);
}

// 0.17 lies just above 1/6, so the kept rows end one above the mirror line's row B - 42.
void keep_lower_half() {
    mask_outside(1, 0.17);
}

void mirror_upper_half() {
    remap_region(
        [](double u, double v) { return 0 <= u && u <= 1 && 0.165 <= v && v <= one_third; },
        [](double u, double v) {
            // The distance below the top edge, rounded to single precision; the
            // rounding is too small to move the source off row 2B - 84 - y.
            const float w = static_cast<float>(one_third - v);
            return Point{trunc_to_int(tile_left + width * u), trunc_to_int(tile_base - width * w)};
        });
}

void script() {
    set_up_canvas(primary_colours);

    // 1. The first plot is by far the longest step: show the empty box while it runs.
    start_tile(20, 168, width);
    flip_screen();
    plot_orbits(kick_0_9);
    fill_background(false);
    show_slide();

    // 2. The mask whitens the outline's upper part too; draw the box again.
    keep_lower_half();
    start_tile(20, 168, width);
    show_slide();

    // 3.
    mirror_upper_half();
    show_slide();

    // 4.
    replicate_tile();
    show_slide();

    // 5. The second tile on a clean screen.
    start_tile_on_white(20, 268, width);
    show_slide();

    // 6. These orbits spill far to the right of the box until the mask.
    plot_orbits(kick_1_wide);
    show_slide();

    // 7.
    fill_background(true);
    show_slide();

    // 8. This time the outline is not redrawn.
    keep_lower_half();
    show_slide();

    // 9.
    mirror_upper_half();
    replicate_tile();
    show_slide();

    // 10. The third tile.
    start_tile_on_white(20, 368, width);
    show_slide();

    // 11.
    plot_orbits(kick_1);
    show_slide();

    // 12.
    fill_background(true);
    keep_lower_half();
    show_slide();

    // 13.
    mirror_upper_half();
    replicate_tile();
    show_slide();
}

} // namespace figure1
