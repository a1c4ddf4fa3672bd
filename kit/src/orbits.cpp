#include "kit/orbits.hpp"

#include "kit/truncate.hpp"
#include "lyapunov.hpp"
#include "orbit_kernels.hpp"
#include "orbit_paths.hpp"

#include <algorithm>
#include <cmath>

namespace kit {
namespace {

using namespace orbit_kernels;

std::uint64_t steps_done = 0;

// The sweep's starts, one after the other: p = s, theta = 0.
struct Sweep {
    double step;
    float s = 0;
    bool more = true;
    bool next(OrbitStart& start) {
        if (!more) return false;
        start = {.p = s, .theta = 0};
        more = next_seed(s, step);
        return true;
    }
};

// Starts given one by one.
struct Listed {
    std::span<const OrbitStart> starts;
    size_t taken = 0;
    bool next(OrbitStart& start) {
        if (taken == starts.size()) return false;
        start = starts[taken++];
        return true;
    }
};

// What the points do to their pixels: take the orbit's colour, or add one to a count.
enum class Sink { colour, count };

template <Sink sink> void put(std::uint32_t& pixel, std::uint32_t colour) {
    if constexpr (sink == Sink::colour)
        pixel = colour;
    else
        ++pixel;
}

// What the colour rule is told of an orbit, its exponent where the rule needs it.
OrbitFacts facts_of(const OrbitRow& row, int index, OrbitStart start, const ColourRule* colour) {
    OrbitFacts facts{.index = index, .start = start};
    if (colour && colour->needs_exponent)
        facts.exponent = lyapunov_exponent(row.kick, start.p, start.theta, row.orbit_length);
    return facts;
}

// One orbit, every step as the map is written (within a scene's kicks, the sine from
// kicked_quickly, which gives the same singles). A function of its own, called for each orbit:
// a WebAssembly engine optimises a function only from its next call on, so a loop over all the
// orbits in one call would run unoptimised to the end of a drawing of long orbits.
template <Sink sink>
[[gnu::noinline]] void plot_one(const OrbitRow& row, const Image& target, OrbitStart start,
                                std::uint32_t colour, bool quick, double margin) {
    float p = start.p;
    float theta = start.theta;
    for (int i = 0; i < row.orbit_length; ++i) {
        p = wrap_momentum(quick ? kicked_quickly(p, theta, row.kick, margin)
                                : kicked(p, theta, row.kick));
        const double t = wrap_angle(static_cast<double>(theta) + p);
        const double x = t * row.x_scale + row.x_offset;
        const double y = row.y_base - p * row.y_scale;
        const int column = trunc_to_int(x), line = trunc_to_int(y);
        if (target.contains(column, line) && (!row.strict_edges || (x >= 0 && y >= 0)))
            put<sink>(target.row(line)[column], colour);
        theta = static_cast<float>(t);
    }
}

// One orbit at a time (without a colour rule: counting).
template <Sink sink, typename Starts>
void plot_plain(const OrbitRow& row, const Image& target, Starts starts, const ColourRule* colour) {
    const bool quick = row.kick >= -vector_kick_limit && row.kick <= vector_kick_limit;
    const double margin = kick_margin(row.kick);
    OrbitStart start;
    for (int index = 0; starts.next(start); ++index) {
        steps_done += static_cast<std::uint64_t>(std::max(row.orbit_length, 0));
        const std::uint32_t pixel = colour ? (*colour)(facts_of(row, index, start, colour)) : 0;
        plot_one<sink>(row, target, start, pixel, quick, margin);
    }
}

// Writes the points of a group's first n orbits, orbit by orbit, point by point, each orbit in its
// colour. A function of its own, called for each group: a WebAssembly engine optimises a function
// only from its next call on, and inlined into the sweep this loop would never be optimised
// during the sweep that runs first.
template <Sink sink>
[[gnu::noinline]] void write_points(const std::uint32_t* buffer, int n, int length,
                                    const std::uint32_t* colours, std::uint32_t* pixels) {
    const int stride = row_length(length);
    for (int l = 0; l < n; ++l) {
        const std::uint32_t colour = colours[l];
        const std::uint32_t* points = buffer + l * stride;
        for (int i = 0; i < length; ++i)
            if (points[i] != off_screen) put<sink>(pixels[points[i]], colour);
    }
}

// Groups of orbits computed side by side into the buffer, then plotted orbit by orbit, point by
// point: the pixels are written in the plain path's order, so later points still cover earlier
// ones the same way.
template <int group, Sink sink, typename Starts>
void plot_grouped(const OrbitRow& row, const KernelRow& kernel_row, Kernel kernel, Starts starts,
                  const ColourRule* colour, std::uint32_t* pixels) {
    const int length = row.orbit_length;
    alignas(16) std::uint32_t buffer[buffer_points];
    for (int first = 0;; first += group) {
        OrbitStart starts_of_group[group];
        int n = 0;
        while (n < group && starts.next(starts_of_group[n])) ++n;
        if (n == 0) break;
        float seeds[group], angles[group];
        for (int l = 0; l < group; ++l) {
            const OrbitStart& start = starts_of_group[std::min(l, n - 1)];
            seeds[l] = start.p;
            angles[l] = start.theta;
        }
        kernel(seeds, angles, length, kernel_row, buffer);
        steps_done += static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(length);
        std::uint32_t colours[group] = {};
        for (int l = 0; l < n && colour; ++l)
            colours[l] = (*colour)(facts_of(row, first + l, starts_of_group[l], colour));
        write_points<sink>(buffer, n, length, colours, pixels);
        if (n < group) break;
    }
}

template <Sink sink, typename Starts>
void plot_along(const OrbitRow& row, OrbitPath path, const Image& target, Starts starts,
                const ColourRule* colour) {
    const KernelRow kernel_row{.kick = row.kick,
                               .margin = kick_margin(row.kick),
                               .x_scale = row.x_scale,
                               .x_offset = row.x_offset,
                               .y_base = row.y_base,
                               .y_scale = row.y_scale,
                               .width = target.width,
                               .height = target.height,
                               .stride = static_cast<int>(target.stride),
                               .strict = row.strict_edges};
    switch (orbit_path_for(row, path)) {
    case OrbitPath::vector:
        plot_grouped<vector_group, sink>(row, kernel_row, vector_kernel(kernel_row), starts, colour,
                                         target.pixels);
        break;
    case OrbitPath::interleaved:
        plot_grouped<interleaved_group, sink>(row, kernel_row, interleaved_orbits, starts, colour,
                                              target.pixels);
        break;
    default:
        plot_plain<sink>(row, target, starts, colour);
    }
}

} // namespace

namespace orbit_kernels {

void interleaved_orbits(const float* seeds, const float* angles, int length,
                        const KernelRow& kernel_row, std::uint32_t* buffer) {
    constexpr int group = interleaved_group;
    const int stride = row_length(length);
    float p[group], theta[group];
    for (int l = 0; l < group; ++l) {
        p[l] = seeds[l];
        theta[l] = angles[l];
    }
    // Within a scene's kicks the quick sine decides most steps (kicked_quickly).
    const double kick = kernel_row.kick;
    const bool quick = kick >= -vector_kick_limit && kick <= vector_kick_limit;
    for (int i = 0; i < length; ++i)
        for (int l = 0; l < group; ++l) {
            const float kicked_p = quick ? kicked_quickly(p[l], theta[l], kick, kernel_row.margin)
                                         : kicked(p[l], theta[l], kick);
            const float q = wrap_momentum(kicked_p);
            const double t = wrap_angle(static_cast<double>(theta[l]) + q);
            buffer[l * stride + i] = place(t, q, kernel_row);
            p[l] = q;
            theta[l] = static_cast<float>(t);
        }
}

} // namespace orbit_kernels

bool next_seed(float& s, double step) {
    // The sweep only moves upwards. A step that leaves s where it is (zero, negative, NaN, or too
    // small for s's precision) would never reach 2 pi, and the sweep would redraw the same orbit
    // forever; it ends instead, which leaves exactly the picture the endless loop would show.
    const float next = static_cast<float>(s + step);
    if (!(next < two_pi) || !(next > s)) return false;
    s = next;
    return true;
}

OrbitPath orbit_path_for(const OrbitRow& row, OrbitPath path) {
    if (path == OrbitPath::plain || row.orbit_length <= 0) return OrbitPath::plain;
    // The buffer's rows are padded to a multiple of four, as its capacities per orbit are, so an
    // orbit fits when its length does. The vector path's bounds hold for |kick| up to
    // vector_kick_limit.
    const int length = row.orbit_length;
    const bool vector_fits = length <= buffer_points / vector_group && vector_sine_available() &&
                             std::fabs(row.kick) <= vector_kick_limit;
    if (path != OrbitPath::interleaved && vector_fits) return OrbitPath::vector;
    if (length <= buffer_points / interleaved_group) return OrbitPath::interleaved;
    return OrbitPath::plain;
}

std::uint64_t sine_fallbacks() {
    return fallback_count;
}

std::uint64_t orbit_steps_done() {
    return steps_done;
}

void plot_seed_line(const OrbitRow& row, const Image& target, const ColourRule& colour) {
    plot_seed_line(row, target, colour, OrbitPath::automatic);
}

void plot_seed_line(const OrbitRow& row, const Image& target, const ColourRule& colour,
                    OrbitPath path) {
    plot_along<Sink::colour>(row, path, target, Sweep{row.seed_step}, &colour);
}

void plot_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& target,
                 const ColourRule& colour) {
    plot_starts(row, starts, target, colour, OrbitPath::automatic);
}

void plot_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& target,
                 const ColourRule& colour, OrbitPath path) {
    plot_along<Sink::colour>(row, path, target, Listed{starts}, &colour);
}

void count_seed_line(const OrbitRow& row, const Image& counts) {
    plot_along<Sink::count>(row, OrbitPath::automatic, counts, Sweep{row.seed_step}, nullptr);
}

void count_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& counts) {
    plot_along<Sink::count>(row, OrbitPath::automatic, counts, Listed{starts}, nullptr);
}

int orbit_count(const OrbitRow& row) {
    int count = 1;
    float s = 0;
    while (next_seed(s, row.seed_step)) ++count;
    return count;
}

} // namespace kit
