#include "figure6.hpp"

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/pacing.hpp"
#include "kit/tile.hpp"

namespace figure6 {

using namespace kit;

namespace {

// The tile box is fixed: left edge 20, bottom row 138, 250 wide. Tile units round u to single
// precision before every test and use (the scans take U = float); that rounding decides the
// mirrored source columns.
constexpr int left = 20;
constexpr int base = 138;
constexpr double width = 250;

} // namespace

void mirror_quarter() {
    remap_region<float>(
        [](float u, double v) { return 0.25 <= u && u <= 0.5 && 0 <= v && v <= one_third; },
        [](float u, double v) {
            return Point{trunc_to_int(width * (0.5 - u) + left), trunc_to_int(base - width * v)};
        });
}

void reflect_half() {
    remap_region<float>(
        [](float u, double v) { return 0.5 <= u && u <= 1 && 0 <= v && v <= one_third; },
        [](float u, double v) {
            const float w = static_cast<float>(one_third - v);
            return Point{trunc_to_int(width * (1.0 - u) + left), trunc_to_int(base - width * w)};
        });
}

void script() {
    set_up_canvas({.white = {255, 255, 255}, .black = {{0, 0, 0}}, .red = {{255, 0, 0}}});

    // 1. The empty tile box.
    start_tile(left, base, width);
    show_slide();

    // 2. The portrait overflows the box above and below; slide 3 trims it.
    plot_orbits(kick_0_4);
    show_slide();

    // 3. Keep the tile's left quarter.
    mask_outside<float>(0.25, one_third);
    show_slide();

    // 4. Mirror the quarter about u = 0.25.
    mirror_quarter();
    show_slide();

    // 5. Turn the left half about the tile's centre (u, v) = (0.5, 1/6).
    reflect_half();
    show_slide();

    // 6. Repeat the tile across the window.
    replicate_tile<float>();
    show_slide();
}

} // namespace figure6
