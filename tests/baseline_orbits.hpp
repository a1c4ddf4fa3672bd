// The textbook orbit loop: one orbit at a time, sine, round, wrap, plot. It is the reference the
// kit's faster plotting paths must reproduce pixel for pixel, and the baseline they are timed
// against; keep it exactly this plain.
#pragma once

#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"
#include "map_sine.hpp"

namespace test {

// One step of the map from (p, theta): the new momentum and angle, and t, the value the column is
// formed from.
struct BaselineStep {
    float p, theta;
    double t;
};

inline BaselineStep baseline_step(float kick, float p, float theta) {
    p = static_cast<float>(p + kick * kit::map_sine(theta));
    while (p >= kit::two_pi) p = static_cast<float>(p - kit::two_pi);
    while (p < 0) p = static_cast<float>(p + kit::two_pi);
    double t = static_cast<double>(theta) + p;
    while (t >= kit::two_pi) t = static_cast<float>(t - kit::two_pi);
    while (t < 0) t = static_cast<float>(t + kit::two_pi);
    return {p, static_cast<float>(t), t};
}

inline void baseline_plot(const kit::OrbitRow& row) {
    float s = 0;
    do {
        const Uint32 colour =
            kit::palette[kit::trunc_to_int(s * row.colour_scale + row.colour_offset) & 0xff];
        float p = s;
        float theta = 0;
        for (int i = 0; i < row.orbit_length; ++i) {
            const BaselineStep next = baseline_step(row.kick, p, theta);
            kit::put_pixel(kit::trunc_to_int(next.t * row.x_scale + row.x_offset),
                           kit::trunc_to_int(row.y_base - next.p * row.y_scale), colour);
            p = next.p;
            theta = next.theta;
        }
        s = static_cast<float>(s + row.seed_step);
    } while (s < kit::two_pi);
}

} // namespace test
