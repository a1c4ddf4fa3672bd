// Integer line and circle rasterizers; every pixel goes through put_pixel.
#pragma once

#include <SDL.h>

namespace kit {

// 8-connected line; the error term starts at 0, so minor steps come late in each run.
void draw_line(int x0, int y0, int x1, int y1, Uint32 colour);

// 4-connected line (a step moving both coordinates also plots the corner between them),
// plotting only the pixels on screen. The positions visited do not depend on clipping.
void draw_line_clipped(int x0, int y0, int x1, int y1, Uint32 colour);

// Circle outline of radius r about (cx, cy), 4-connected, clipped to the screen.
void draw_circle(int cx, int cy, int r, Uint32 colour);

} // namespace kit
