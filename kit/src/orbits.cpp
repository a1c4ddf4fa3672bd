#include "kit/orbits.hpp"

#include "kit/canvas.hpp"
#include "kit/tile.hpp"

#include <cmath>

namespace kit {

void plot_orbits(const OrbitRow& row) {
    float s = 0;
    do {
        const Uint32 colour = palette[trunc(s * row.colour_scale + row.colour_offset) & 0xff];
        float p = s;
        float theta = 0;
        for (int i = 0; i < row.orbit_length; ++i) {
            // Kick, then wrap the new momentum.
            p = static_cast<float>(p + row.kick * std::sin(static_cast<double>(theta)));
            while (p >= two_pi) p = static_cast<float>(p - two_pi);
            while (p < 0) p = static_cast<float>(p + two_pi);
            // Drift with the new momentum: the sum stays unrounded unless it has to wrap.
            double t = static_cast<double>(theta) + p;
            while (t >= two_pi) t = static_cast<float>(t - two_pi);
            while (t < 0) t = static_cast<float>(t + two_pi);
            put_pixel(trunc(t * row.x_scale + row.x_offset), trunc(row.y_base - p * row.y_scale),
                      colour);
            theta = static_cast<float>(t);
        }
        s = static_cast<float>(s + row.seed_step);
    } while (s < two_pi);
}

int orbit_count(const OrbitRow& row) {
    int count = 0;
    float s = 0;
    do {
        ++count;
        s = static_cast<float>(s + row.seed_step);
    } while (s < two_pi);
    return count;
}

} // namespace kit
