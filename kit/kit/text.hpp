// Text in a bitmap font, for what a program writes beside its pictures: the slide shows' slide
// number and caption in full screen, axis labels and help texts.
//
// The font is the X11 misc-fixed 9x15 (public domain), a cell 9 pixels wide and 15 high for every
// character: printable ASCII, Latin-1, the Greek letters and the signs of axis labels (θ π ± ×
// ≤ ≥ → … · – — ∞ ≈ among them). Each character of a UTF-8 text takes one cell; one the font
// lacks, a control character or a byte that is not UTF-8 takes one too, drawn as the
// replacement character (a box with a question mark).
#pragma once

#include "kit/image.hpp"

#include <string_view>
#include <vector>

namespace kit {

inline constexpr int text_cell_width = 9;
inline constexpr int text_cell_height = 15;

// Draws `text` with the top-left corner of its first cell at (x, y), each font pixel a
// scale x scale block of `colour`; the pixels between the strokes are left as they are. Whatever
// the position, the scale or the text, only pixels inside the image are written (a scale below 1
// draws nothing).
void draw_text(const Image& image, int x, int y, std::string_view text, Rgb colour, int scale = 1);

// The width in pixels of `text` drawn at `scale`: its characters times 9 times the scale (at
// most INT_MAX).
int text_width(std::string_view text, int scale = 1);

// The text cut into lines at most `width` pixels wide at `scale`: at spaces where it can be, in
// the middle of a word longer than a line where it cannot. The spaces at a cut are left out; the
// lines are views into `text`. A width of less than one cell still gives a character a line.
std::vector<std::string_view> wrap_text(std::string_view text, int width, int scale = 1);

} // namespace kit
