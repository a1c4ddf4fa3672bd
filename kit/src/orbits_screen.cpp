// The slide shows' portraits: the seed line into the screen, each orbit in the palette's entry
// for its starting momentum.
#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/truncate.hpp"
#include "orbit_paths.hpp"

#include <algorithm>

namespace kit {
namespace {

// The slide shows' setting (0: not set, the hardware's count).
int threads_set = 0;

} // namespace

int plot_threads() {
    return threads_set > 0 ? threads_set : hardware_threads();
}

void set_plot_threads(int threads) {
    threads_set = std::max(threads, 1);
}

void plot_orbits(const OrbitRow& row) {
    plot_orbits(row, OrbitPath::automatic);
}

void plot_orbits(const OrbitRow& row, OrbitPath path) {
    plot_orbits(row, path, {.threads = plot_threads()}, ThreadRule::when_they_pay);
}

void plot_orbits(const OrbitRow& row, OrbitPath path, Plotting plotting, ThreadRule rule) {
    // The orbit started at p = s takes palette[trunc(s * colour_scale + colour_offset)]; the
    // palette is only read meanwhile.
    plot_seed_line(
        row, screen_image(),
        [&row](const OrbitFacts& orbit) {
            return palette[trunc_to_int(orbit.start.p * row.colour_scale + row.colour_offset) &
                           0xff];
        },
        path, plotting, rule);
}

} // namespace kit
