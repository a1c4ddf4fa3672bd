// A slide show's full screen on the desktop: the 800x600 picture enlarged onto the whole screen,
// and below it, when the presenter asks for it (keys.hpp: View), a band with the slide number and
// the caption. The picture is never covered: the band takes its rows from the picture's room,
// which shrinks only as far as the band needs (never below 800x600).
#pragma once

#include "kit/image.hpp"

#include <string_view>
#include <vector>

namespace kit {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Box&) const = default;
};

struct FullScreenLayout {
    int width = 0, height = 0;           // the screen's
    Box picture;                         // where the picture goes, enlarged (nearest neighbour)
    Box band;                            // the margin band of the text (h == 0: none)
    int text_scale = 1;                  // each font pixel a text_scale x text_scale block
    std::vector<std::string_view> lines; // the text's lines, views into the text laid out
    std::vector<int> source_column;      // for each column of the picture's box, the picture's
                                         // column it shows
};

// The layout of a screen of at least 800x600 with `text` in the band (empty: no band). The font
// is about a 25th of the screen's height (readable across a room from a projection), at most so
// large that a line holds 40 characters; the text is wrapped to the screen's width less a
// character at each side, and drawn bold (twice, a font pixel apart). Lines the band has no room
// for (beyond a third of the screen, or where the picture would shrink under 800x600) are left
// out; where not even one fits, a smaller scale is tried, and at the smallest, the band is left
// out.
FullScreenLayout lay_out(int width, int height, std::string_view text);

// The grey of the band's text on its black.
inline constexpr Rgb margin_text{221, 221, 221};

// Draws the whole screen: the picture enlarged into its box, black around it, the band's lines
// centred in it. `screen` is layout.width x layout.height, `picture` 800x600, in one layout.
void compose(const Image& screen, const Image& picture, const FullScreenLayout& layout);

} // namespace kit
