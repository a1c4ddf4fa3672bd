// Phase portraits of the kicked map p' = p + K sin(theta), theta' = theta + p' (both mod 2 pi).
//
// Offers: OrbitRow (one run of the plotter: the kick, the orbits' length and where points land),
// plot_orbits (the slide shows' sweep into the screen, in the palette), and for programs that draw
// into pictures of their own: next_seed (the seed line's starting momenta), OrbitStart,
// ColourRule (what colours an orbit's points), plot_seed_line and plot_starts (orbits into any
// Image), and count_seed_line and count_starts (how many points fall in each pixel), each on as
// many threads as Plotting asks for; and, for drawings split among plotters that share no memory
// (the page's workers), Share, Marks, mark_seed_line, mark_starts and merge_marks. Every path of
// the plotter, on any number of threads, leaves each pixel as the textbook loop would: the colour
// of the last orbit whose point fell on it (an orbit's points all take its colour).
#pragma once

#include "kit/image.hpp"

#include <cstdint>
#include <span>

namespace kit {

inline constexpr double two_pi = 6.283185307179586;

// One run of the plotter. Points land at (trunc(theta * x_scale + x_offset),
// trunc(y_base - p * y_scale)) in palette[trunc(s * colour_scale + colour_offset)].
struct OrbitRow {
    float kick = 1;       // a single-precision constant; 1 adds sin(theta) unscaled (exactly)
    double seed_step = 0; // the starting momentum s steps by this, rounded to single each time
    int orbit_length = 0; // points plotted per orbit (the start point is not plotted)
    double x_scale = 0, x_offset = 0;
    double y_base = 0, y_scale = 0;
    double colour_scale = 0, colour_offset = 0;
    // Truncation toward zero puts a point up to one pixel left of column 0 (or above row 0) into
    // column 0 (row 0). With strict_edges such points are dropped: only points whose unrounded
    // place lies within the picture are drawn.
    bool strict_edges = false;
};

// Sweeps s from 0 while s < 2 pi; each orbit starts at p = s, theta = 0, into the screen, on
// plot_threads() threads.
void plot_orbits(const OrbitRow& row);

// The threads the slide shows' plot_orbits shares its orbits among: hardware_threads() unless set
// (a count below 1 sets 1). The pixels are the same for every count.
int plot_threads();
void set_plot_threads(int threads);

// The threads this machine runs at once (at least 1); 1 in the browser build, which has none.
int hardware_threads();

// The number of orbits a row sweeps (6284 for a step of 0.001, 1257 for 0.005).
int orbit_count(const OrbitRow& row);

// The seed line's next starting momentum after s: single(s + step) while that stays below 2 pi
// and above s (a step too small to move s, or not positive, ends the line as well). The line
// starts at s = 0.
bool next_seed(float& s, double step);

// An orbit's start on the torus: 0 <= p, theta < 2 pi.
struct OrbitStart {
    float p = 0, theta = 0;
    bool operator==(const OrbitStart&) const = default;
};

// What a colour rule is told of an orbit before its points are written: its place among the
// orbits of the call (0, 1, ...), its start, and, where the rule needs it, the orbit's
// finite-time largest Lyapunov exponent over its length (per step, natural log; the same bits on
// every platform).
struct OrbitFacts {
    int index = 0;
    OrbitStart start;
    double exponent = 0;
};

// Decides the colour (a pixel value of the target's layout) of each orbit's points. It refers to
// a callable that must outlive the plotting call (a lambda written in the call's arguments
// does; a rule kept in a variable needs the callable in a variable of its own), whose answer
// depends on the facts alone. It is called once for each orbit, and with more than one thread
// from any of them, at the same time: the callable must be safe to call so (reading shared
// values is; writing anything but a place of the orbit's own is not).
class ColourRule {
  public:
    template <typename Callable>
    ColourRule(const Callable& callable) // NOLINT: made implicitly from the call's lambda
        : callable_(&callable), call_([](const void* c, const OrbitFacts& orbit) {
              return static_cast<std::uint32_t>((*static_cast<const Callable*>(c))(orbit));
          }) {}
    std::uint32_t operator()(const OrbitFacts& orbit) const { return call_(callable_, orbit); }

    // Whether the rule is told each orbit's exponent (its computation costs about as much again
    // as the orbit's).
    bool needs_exponent = false;

  private:
    const void* callable_;
    std::uint32_t (*call_)(const void*, const OrbitFacts&);
};

// How a plotting call runs. With more than one thread, the orbits are shared out in runs of
// consecutive orbits; each thread marks in pixels of its own which of its orbits touched each
// pixel last, and the merge gives every pixel the colour of the last orbit of all (counts: the
// sum of the threads' counts). That needs a picture's worth of pixels a thread, allocated once
// a call: a call uses fewer threads where the orbits are too few for them to pay (or the memory
// cannot be had), and one thread allocates nothing.
struct Plotting {
    int threads = 1;
};

// The seed line of row.seed_step, orbit after orbit (p = s, theta = 0), into `target`; points
// that fall off it are dropped.
void plot_seed_line(const OrbitRow& row, const Image& target, const ColourRule& colour,
                    Plotting plotting = {});

// Orbits from the given starts, one after the other, into `target`: the row gives the kick, the
// orbit length and where points land (its seed step and colour scales are not used).
void plot_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& target,
                 const ColourRule& colour, Plotting plotting = {});

// The points the seed line's orbits, or the given starts' orbits, would draw, counted instead:
// each point adds one to its pixel of `counts` (a picture whose pixels are counts), in the same
// places the plotting calls above draw.
void count_seed_line(const OrbitRow& row, const Image& counts, Plotting plotting = {});
void count_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& counts,
                  Plotting plotting = {});

// A drawing split among plotters that share no memory (the page's drawing workers), each drawing
// a share of the orbits and handing its marks to one that merges them all.
//
// The orbits of a call fall into runs of share_run consecutive orbits; part k of n plots runs k,
// k + n, k + 2n, ... Orbit i of a call is given the mark first_mark + i (marks start at 1).
inline constexpr int share_run = 64;
struct Share {
    int part = 0, parts = 1;
};

// What a share leaves: `last`, of the target's size and all zero to begin with, takes at each
// pixel the mark of the share's last orbit there; colours[mark - 1] the colour of each orbit the
// share plotted (its other entries are left alone).
struct Marks {
    Image last;
    std::span<std::uint32_t> colours;
};

// The share's orbits of plot_seed_line and of plot_starts, marked. The marks of every call of a
// drawing must be distinct and rise with the order the calls would plot in.
void mark_seed_line(const OrbitRow& row, Share share, std::uint32_t first_mark, const Marks& marks,
                    const ColourRule& colour);
void mark_starts(const OrbitRow& row, std::span<const OrbitStart> starts, Share share,
                 std::uint32_t first_mark, const Marks& marks, const ColourRule& colour);

// Every pixel of `target` that some share marked takes the colour of the highest mark there;
// the others keep theirs. Every share's `last` is of the target's size.
void merge_marks(std::span<const Marks> shares, const Image& target);

// The counts of a split drawing: each share counts the points of its orbits (the runs
// mark_seed_line and mark_starts would plot) into `counts`, a picture of counts it started
// (all zero, or holding what it counted before); merge_counts adds every share's counts into
// `target`'s. Counts add up in any order, so the sum is the count of one plotter.
void count_share_seed_line(const OrbitRow& row, Share share, const Image& counts);
void count_share_starts(const OrbitRow& row, std::span<const OrbitStart> starts, Share share,
                        const Image& counts);
void merge_counts(std::span<const Image> shares, const Image& target);

} // namespace kit
