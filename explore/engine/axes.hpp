// The axes around a portrait: theta across it, p up it, with ticks at the window's two ends and
// at the multiples of pi/2 that fall between them, and the words for a point of the portrait.
// The desktop window and the page draw them from these, in their margins; nothing here touches a
// pixel of the picture.
#pragma once

#include "scene.hpp"

#include <string>
#include <vector>

namespace explore {

struct Tick {
    double at;         // where along the axis, from its start (0) to its end (1): from theta's
                       // FROM at the left, from p's TO at the top
    std::string label; // "0", "π/2", "π", "3π/2", "2π", or the end's value ("1.25")
    bool end;          // one of the window's ends
};

// theta's ticks, left to right, and p's, top to bottom.
std::vector<Tick> theta_ticks(const Scene& scene);
std::vector<Tick> p_ticks(const Scene& scene);

// The point at fractions (across, down) of the portrait, as the readouts show it: each
// coordinate with as many decimals as the window's width needs to tell neighbouring pixels of a
// 1000-pixel tile apart (at least two).
struct PointWords {
    std::string theta, p;
};
PointWords point_words(const Scene& scene, double across, double down);

} // namespace explore
