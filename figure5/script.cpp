#include "figure5.hpp"

#include "cells.hpp"
#include "kit/canvas.hpp"
#include "kit/pacing.hpp"

namespace figure5 {

namespace {

constexpr int down = +1; // apex below the base line
constexpr int up = -1;   // apex above it

// Every band holds, for each lattice column a, a down cell on its upper row and an up cell on
// its lower row; the up cell sits left of the down cell of the same column. Each step draws the
// down cell first. The colour formulas make the cells of neighbouring bands join into
// interlaced strands; they repeat every six columns.

// Band 1 (rows 0 and 1): pairs of columns in colours 1, 2, 3.
void band_1() {
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 2; ++j)
            for (int k = 0; k <= 1; ++k) {
                const float a = static_cast<float>(6 * i + 2 * j + k);
                draw_triangle_cell(a, 0, down, j + 1);
                draw_triangle_cell(a, 1, up, j + 1);
            }
}

// The colour of band 2's down cells and band 3's up cells.
int red_on_odd(int j) {
    return j % 2 == 1 ? 4 : j / 2 + 1;
}

// The colour of band 2's up cells and band 3's down cells.
int red_on_even(int j) {
    return j % 2 == 1 ? ((j - 1) / 2 + 2) % 3 + 1 : 4;
}

// Bands 2 (rows 1 and 2) and 3 (rows 2 and 3): the red cells alternate with the others.
void band_2() {
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 5; ++j) {
            const float a = static_cast<float>(6 * i + j);
            draw_triangle_cell(a, 1, down, red_on_odd(j));
            draw_triangle_cell(a, 2, up, red_on_even(j));
        }
}

void band_3() {
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 5; ++j) {
            const float a = static_cast<float>(6 * i + j);
            draw_triangle_cell(a, 2, down, red_on_even(j));
            draw_triangle_cell(a, 3, up, red_on_odd(j));
        }
}

// Band 4 (rows 3 and 4): pairs shifted one column right, so each group of six starts at 6i + 1
// and draws its column 6i last, in colours 2, 3, 1.
void band_4() {
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 2; ++j)
            for (int k = 0; k <= 1; ++k) {
                const float a = static_cast<float>(6 * i + (2 * j + k + 1) % 6);
                draw_triangle_cell(a, 3, down, (j + 1) % 3 + 1);
                draw_triangle_cell(a, 4, up, (j + 1) % 3 + 1);
            }
}

} // namespace

void script() {
    make_colours();
    kit::clear_screen(colours[0]);
    band_1();
    band_2();
    band_3();
    band_4();
    kit::show_slide();
}

} // namespace figure5
