#include "figure4.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/pacing.hpp"
#include "kit/tile.hpp"

namespace figure4 {

using namespace kit;

namespace {

constexpr double width = 220;

// Red in columns L .. L + 109, blue in L + 110 .. L + 219. The program's own loop counts columns
// from L while x + 1 < L + 220 holds after each step, which visits x = L .. L + 219: exactly the
// columns x < L + 220 of the kit's fill. Its rows run from B down while y > B - 73.33333333333333,
// the same double as 220.0 / 3, and x < L + 110 decides red against blue in both.
void fill_red_and_blue() {
    fill_tile_background(width, 110);
}

// Whitens the 640 x 480 area outside the whole tile; the box's top edge (B - 74) goes with it.
void mask_to_tile() {
    mask_outside(1, one_third);
}

} // namespace

void script() {
    set_up_canvas({.white = {255, 255, 255},
                   .black = {{0, 0, 0}},
                   .red = {{255, 50, 50}},
                   .yellow = {{255, 255, 0}},
                   .blue = {{50, 50, 255}}});

    // First half: the map stretched, so the box holds only part of the portrait.
    start_tile(20, 268, width);
    show_slide(); // 1
    plot_orbits(stretched);
    show_slide(); // 2
    fill_red_and_blue();
    show_slide(); // 3
    mask_to_tile();
    show_slide(); // 4
    replicate_tile();
    show_slide(); // 5

    // Second half on a fresh white screen: one period of theta across the tile.
    start_tile_on_white(20, 368, width);
    show_slide(); // 6
    plot_orbits(compressed);
    show_slide(); // 7
    fill_red_and_blue();
    mask_to_tile();
    show_slide(); // 8
    replicate_tile();
    show_slide(); // 9
}

} // namespace figure4
