#include "cells.hpp"

#include "kit/canvas.hpp"
#include "kit/raster.hpp"
#include "kit/truncate.hpp"

#include <climits>
#include <cstdint>

namespace figure5 {

Uint32 colours[7];

void make_colours() {
    colours[0] = kit::map_rgb(255, 255, 255);
    colours[1] = kit::map_rgb(0, 0, 100);
    colours[2] = kit::map_rgb(100, 100, 255);
    colours[3] = kit::map_rgb(180, 180, 255);
    colours[4] = kit::map_rgb(255, 80, 80);
    colours[5] = kit::map_rgb(0, 0, 255);
    colours[6] = kit::map_rgb(255, 255, 0);
}

namespace {

// The fill is a recursion: each call paints a row run and then calls itself for the rows above
// and below every column of the run. On a large open region that recursion is as deep as the
// region is big, far beyond any call stack, so its frames live in this array instead and the
// loop below takes them exactly as the calls would run, each finished before the next starts.
struct Frame {
    std::int16_t y;      // the frame's row
    std::int16_t column; // the column whose neighbours are tried next
    std::int16_t end;    // one past the run's last painted column
    bool below_next;     // the row above of `column` is done; the row below comes next
};

// Bound: a frame exists only after its call has painted its own seed pixel, which held neither
// colour before. A fill writes nothing but the fill colour, so a painted pixel never becomes
// seedable again and no two frames of one fill share a seed pixel: there are never more frames
// than screen pixels, however the region is shaped.
constexpr int max_frames = kit::screen_width * kit::screen_height;
static_assert(kit::screen_width < INT16_MAX && kit::screen_height < INT16_MAX);
Frame frames[max_frames];
int depth = 0;

// The first part of one call at (x, y), which lies on the screen: test, paint the seed and the
// row run, and push the frame that will try the neighbouring rows. False when nothing is painted.
bool begin_call(int x, int y, Uint32 fill, Uint32 border) {
    const Uint32 seed = kit::get_pixel(x, y);
    if (seed == border || seed == fill) return false;
    kit::put_pixel(x, y, fill);

    // The runs test only the border colour; the left run never tests or paints column 0, and its
    // stop column is where the neighbours are first tried. A call at column 0 itself has no left
    // run and starts trying there too, so the fill never leaves the screen.
    int left = x - 1;
    while (left > 0 && kit::get_pixel(left, y) != border) kit::put_pixel(left--, y, fill);
    if (left < 0) left = 0;
    int right = x + 1;
    while (right < kit::screen->w && kit::get_pixel(right, y) != border)
        kit::put_pixel(right++, y, fill);

    frames[depth++] = Frame{.y = static_cast<std::int16_t>(y),
                            .column = static_cast<std::int16_t>(left),
                            .end = static_cast<std::int16_t>(right),
                            .below_next = false};
    return true;
}

} // namespace

void flood_fill(int x, int y, Uint32 fill_colour, Uint32 border_colour) {
    // The frames hold rows and columns in 16 bits, and there is one frame a pixel at most: a
    // surface beyond either is refused (nothing painted) rather than mis-addressed.
    if (!kit::screen || kit::screen->w > INT16_MAX || kit::screen->h > INT16_MAX ||
        static_cast<long long>(kit::screen->w) * kit::screen->h > max_frames)
        return;
    const int last_row = kit::screen->h - 1;
    // Column 0 is no seed: only the neighbours of a run may start there.
    if (x < 1 || x >= kit::screen->w || y < 0 || y > last_row) return;

    depth = 0;
    if (!begin_call(x, y, fill_colour, border_colour)) return;
    while (depth > 0) {
        Frame& frame = frames[depth - 1];
        if (frame.column >= frame.end) {
            --depth;
            continue;
        }
        const int column = frame.column;
        const int row = frame.y;
        if (!frame.below_next) {
            frame.below_next = true;
            // Upwards only down to row 1: row 0 is reached only by a seed placed on it.
            if (row > 1) begin_call(column, row - 1, fill_colour, border_colour);
        } else {
            frame.below_next = false;
            ++frame.column;
            if (row < last_row) begin_call(column, row + 1, fill_colour, border_colour);
        }
    }
}

void draw_triangle_cell(float column, float row, int apex_sign, int colour_index) {
    if (colour_index < 0 || colour_index >= 7) return;
    constexpr double root3 = 1.7320508075688772;

    // The single-precision stores decide the rows: the apex of an up cell on lattice row 1 comes
    // out a hair above row 300 and truncates to 299.
    const float d = static_cast<float>(column - 0.5 * row);
    const float f = static_cast<float>((row * root3) * 0.5);
    const float m = static_cast<float>(d + 0.5);
    const float q = static_cast<float>(f + apex_sign * (root3 * 0.5));
    const int left = kit::trunc_to_int(20.0 * d + 70);
    const int base = kit::trunc_to_int(20.0 * f + 300);
    const int right = kit::trunc_to_int(20.0 * (d + 1.0) + 70);
    const int apex_x = kit::trunc_to_int(20.0 * m + 70);
    const int apex_y = kit::trunc_to_int(20.0 * q + 300);

    // The 4-connected outline depends on the direction of each line; neighbouring cells draw
    // their shared side from opposite ends, so the later cell decides those pixels.
    const Uint32 colour = colours[colour_index];
    kit::draw_line_clipped(left, base, right, base, colour);
    kit::draw_line_clipped(left, base, apex_x, apex_y, colour);
    kit::draw_line_clipped(right, base, apex_x, apex_y, colour);

    // The centroid, the sums in double so that no int can overflow; for on-screen corners this
    // is the integer division of the int sums.
    const int seed_x = kit::trunc_to_int((static_cast<double>(left) + right + apex_x) / 3.0);
    const int seed_y = kit::trunc_to_int((static_cast<double>(apex_y) + 2.0 * base) / 3.0);
    // Fill and border are the same colour: the fill stops at the outline and at any pixel that
    // already holds the cell's colour.
    flood_fill(seed_x, seed_y, colour, colour);
}

} // namespace figure5
