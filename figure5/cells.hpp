// The triangle cells of the lattice picture: corners from a cell's lattice place, a 4-connected
// outline and a scan-line flood fill from the cell's centroid.
#pragma once

#include <SDL.h>

namespace figure5 {

// The colour table, made for the screen's format: 0 the white ground, 1 to 4 the cells' colours,
// 5 and 6 made but never drawn with.
extern Uint32 colours[7];

// Maps the seven entries, in index order.
void make_colours();

// Scan-line fill. Paints nothing when the seed already holds either colour, or when it lies off
// the seedable area (columns 1 to last, any row). Each row run stops only at border_colour and
// never paints column 0 itself; the rows above and below are then tried from the run's stop
// column on the left (the border pixel, or column 0) to its last painted pixel, the row above
// before the row below, and only down to row 1 upwards. The outcome equals that of the
// recursive fill this describes, taken depth first, for any region up to the whole screen. A
// surface larger than 800x600 pixels, or wider or taller than 32767, is refused: nothing is
// painted.
void flood_fill(int x, int y, Uint32 fill_colour, Uint32 border_colour);

// One cell of edge 20 pixels. Lattice point (0, 0) is screen (70, 300); row b lies b * sqrt(3)/2
// units lower and half a unit further left per row. apex_sign +1 points the apex down, -1 up.
// Outlines base, left side and right side in colours[colour_index], then fills from the
// centroid. An index outside the table draws nothing.
void draw_triangle_cell(float column, float row, int apex_sign, int colour_index);

} // namespace figure5
