// What a scene tells of its orbits' dynamics: an orbit's finite-time largest Lyapunov exponent and
// its kind (regular or chaotic), the table of every orbit a scene draws, and the legends of the
// colourings by chaos and by density. The exponents are the plotter's own (kit/lyapunov.hpp): the
// same bits on every platform, and the same numbers the picture is coloured by.
#pragma once

#include "scene.hpp"

#include "kit/image.hpp"
#include "kit/lyapunov.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace explore {

// An orbit of the scene's map (its kick) from `start`, over the scene's `length` steps.
struct OrbitReport {
    Start start;
    double exponent = 0; // per step, natural log
    kit::OrbitKind kind = kit::OrbitKind::regular;
};
OrbitReport report_orbit(const Scene& scene, Start start);

// The scene's last own orbit (the one planted last), if it has any.
std::optional<OrbitReport> last_orbit_report(const Scene& scene);

// One line of plain words on an orbit, for beside the portrait:
// "orbit at theta 3.1416, p 1.5708: exponent 0.00213 a step over 1000 steps, regular".
std::string orbit_words(const Scene& scene, const OrbitReport& report);

// The table of every orbit the scene draws, the seed line's first (p = s, theta = 0), then the
// scene's own, one row each: "index,theta,p,lyapunov,kind" and rows such as
// "0,0,0,0.0053217,regular". Starts and exponents in their shortest decimal forms that read back
// exactly ("NaN" for an orbit that left the finite numbers); a CSV file as data tools read it.
// The exponents come from the plotter (its vector path carries the tangent vectors along), on
// `threads` threads: the same table for every count.
inline constexpr const char* orbit_table_header = "index,theta,p,lyapunov,kind";
std::string orbit_table(const Scene& scene, int threads = 1);

// The number of rows of orbit_table (the header aside).
std::size_t orbit_table_rows(const Scene& scene);

// A legend for a colouring other than start: its title, the scale's colours (coolest first, each
// drawn over an equal width), and labelled places along it (at: 0 the coolest end, 1 the warmest).
struct LegendMark {
    double at;
    std::string label;
    bool boundary = false; // where the kinds part (chaos): shown apart from the scale's numbers
};
struct Legend {
    std::string title;
    std::vector<kit::Rgb> colours;
    std::vector<LegendMark> marks;
};
// Nothing for colour=start, whose colours are the palette's and tell nothing of the dynamics.
std::optional<Legend> colour_legend(const Scene& scene);

} // namespace explore
