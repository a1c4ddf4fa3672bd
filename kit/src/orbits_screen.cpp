// The slide shows' portraits: the seed line into the screen, each orbit in the palette's entry
// for its starting momentum.
#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/truncate.hpp"
#include "orbit_paths.hpp"

namespace kit {

void plot_orbits(const OrbitRow& row) {
    plot_orbits(row, OrbitPath::automatic);
}

void plot_orbits(const OrbitRow& row, OrbitPath path) {
    // The orbit started at p = s takes palette[trunc(s * colour_scale + colour_offset)].
    plot_seed_line(
        row, screen_image(),
        [&row](const OrbitFacts& orbit) {
            return palette[trunc_to_int(orbit.start.p * row.colour_scale + row.colour_offset) &
                           0xff];
        },
        path);
}

} // namespace kit
