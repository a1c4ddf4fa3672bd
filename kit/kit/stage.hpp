// The three-stage slide show shared by the programs that rebuild a 250-wide tile from the part
// of it a mask keeps: each stage clears the screen, boxes a new tile, plots a portrait into it,
// optionally paints the tile's background, masks, and runs three remaps that rebuild the tile
// and repeat it across the window.
//
// Also the pieces of those remaps that are the same formula in both programs: the right half of
// the tile mirrored about u = 0.5, and the tile's rows mirrored about v = 1/6. Tile units stay in
// double throughout; the one-column shifts of the mirrored sources come from that arithmetic.
#pragma once

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"

#include <array>

namespace kit {

// Every stage's tile: left edge on column 20, 250 pixels wide (83.33 rows high).
inline constexpr int stage_tile_left = 20;
inline constexpr double stage_tile_width = 250;

// The tile's 84 rows, 0 <= v < 1/3; the row just above (v = 0.336) is outside.
inline bool in_tile_rows(double v) {
    return 0 <= v && v < one_third;
}

// The right half of the tile, 0.5 <= u <= 1, centre column included.
inline bool in_right_half(double u, double v) {
    return 0.5 <= u && u <= 1 && in_tile_rows(v);
}

// The column mirrored about u = 0.5. 250 * (1 - u) lands just below an integer for some u, so
// the source is then one column further left than the exact mirror image.
inline int column_mirrored_about_centre(double u) {
    return trunc(tile_left + stage_tile_width * (1 - u));
}

// The row mirrored about v = 1/6: tile row k reads row 84 - k, the bottom row (k = 0) the row
// just above the tile. The sum sits two thirds above an integer, so no row is ever shifted.
inline int row_mirrored_about_middle(double v) {
    return trunc(tile_base - stage_tile_width * (one_third - v));
}

using Remap = void (*)();

// The three remaps of a stage, in the order they run.
using Remaps = std::array<Remap, 3>;

// Whether a stage paints the tile's white background before the mask, and if so whether the
// viewer sees the fill on a slide of its own or only what the mask leaves of it.
enum class FillSlide { none, own, with_mask };

// How the remaps are shown: each on a slide of its own (the first stage, which explains them),
// or all three on one slide.
enum class RemapSlides { each, together };

struct Stage {
    int tile_base = 0;
    OrbitRow orbits{};
    BackgroundFill fill{};
    FillSlide fill_slide = FillSlide::none;
    Mask mask{};
    RemapSlides remap_slides = RemapSlides::together;
};

// One stage: slide of the empty box, slide of the portrait, [slide of the fill], slide of the
// mask, then the remaps (three slides or one). Starts from a white screen, so nothing of an
// earlier stage shows.
inline void show_stage(const Stage& stage, const Remaps& remaps) {
    clear_screen(white);
    tile_left = stage_tile_left;
    tile_base = stage.tile_base;
    draw_tile_box(red, stage_tile_width);
    show_slide();

    plot_orbits(stage.orbits);
    show_slide();

    if (stage.fill_slide != FillSlide::none) {
        fill_tile_background(stage.fill);
        if (stage.fill_slide == FillSlide::own) show_slide();
    }
    mask_outside(stage.mask);
    show_slide();

    for (const Remap remap : remaps) {
        remap();
        if (stage.remap_slides == RemapSlides::each) show_slide();
    }
    if (stage.remap_slides == RemapSlides::together) show_slide();
}

} // namespace kit
