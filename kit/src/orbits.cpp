#include "kit/orbits.hpp"

#include "kit/truncate.hpp"
#include "lyapunov.hpp"
#include "orbit_kernels.hpp"
#include "orbit_paths.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

namespace kit {
namespace {

using namespace orbit_kernels;

std::atomic<std::uint64_t> steps_done = 0;

void count_steps(std::size_t orbits, int length) {
    steps_done.fetch_add(static_cast<std::uint64_t>(orbits) *
                             static_cast<std::uint64_t>(std::max(length, 0)),
                         std::memory_order_relaxed);
}

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

// What the points do to their pixels: take the orbit's value, or add one to a count.
enum class Sink { colour, count };

template <Sink sink> void put(std::uint32_t& pixel, std::uint32_t value) {
    if constexpr (sink == Sink::colour)
        pixel = value;
    else
        ++pixel;
}

// What an orbit's points write (with Sink::colour): the colour the rule gives it, or its mark,
// the rule's colour then kept for the merge at mark_colours[mark - 1]. Counting has no rule.
struct Values {
    const ColourRule* colour = nullptr;
    std::uint32_t first_mark = 0; // 0: colours, not marks
    std::uint32_t* mark_colours = nullptr;
};

// What the colour rule is told of an orbit, its exponent where the rule needs it (computed here,
// or the one the vector kernel computed along the orbit: the same bits).
OrbitFacts facts_of(const OrbitRow& row, int index, OrbitStart start, const ColourRule* colour,
                    const double* exponent) {
    OrbitFacts facts{.index = index, .start = start};
    if (colour && colour->needs_exponent)
        facts.exponent = exponent
                             ? *exponent
                             : lyapunov_exponent(row.kick, start.p, start.theta, row.orbit_length);
    return facts;
}

// What orbit `index` of the call writes into its pixels.
std::uint32_t value_of(const OrbitRow& row, const Values& values, int index, OrbitStart start,
                       const double* exponent = nullptr) {
    if (!values.colour) return 0;
    const std::uint32_t colour =
        (*values.colour)(facts_of(row, index, start, values.colour, exponent));
    if (values.first_mark == 0) return colour;
    const std::uint32_t mark = values.first_mark + static_cast<std::uint32_t>(index);
    values.mark_colours[mark - 1] = colour;
    return mark;
}

// One orbit, every step as the map is written (within a scene's kicks, the sine from
// kicked_quickly, which gives the same singles). A function of its own, called for each orbit:
// a WebAssembly engine optimises a function only from its next call on, so a loop over all the
// orbits in one call would run unoptimised to the end of a drawing of long orbits.
template <Sink sink>
[[gnu::noinline]] void plot_one(const OrbitRow& row, const Image& target, OrbitStart start,
                                std::uint32_t value, bool quick, double margin) {
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
            put<sink>(target.row(line)[column], value);
        theta = static_cast<float>(t);
    }
}

// One orbit at a time; the first is orbit `first` of the call.
template <Sink sink, typename Starts>
void plot_plain(const OrbitRow& row, const Image& target, Starts starts, int first,
                const Values& values) {
    const bool quick = row.kick >= -vector_kick_limit && row.kick <= vector_kick_limit;
    const double margin = kick_margin(row.kick);
    OrbitStart start;
    int n = 0;
    for (int index = first; starts.next(start); ++index, ++n)
        plot_one<sink>(row, target, start, value_of(row, values, index, start), quick, margin);
    count_steps(n, row.orbit_length);
}

// Writes the points of a group's first n orbits, orbit by orbit, point by point, each orbit in its
// value. A function of its own, called for each group: a WebAssembly engine optimises a function
// only from its next call on, and inlined into the sweep this loop would never be optimised
// during the sweep that runs first.
template <Sink sink>
[[gnu::noinline]] void write_points(const std::uint32_t* buffer, int n, int length,
                                    const std::uint32_t* values, std::uint32_t* pixels) {
    const int stride = row_length(length);
    for (int l = 0; l < n; ++l) {
        const std::uint32_t value = values[l];
        const std::uint32_t* points = buffer + static_cast<std::size_t>(l) * stride;
        for (int i = 0; i < length; ++i)
            if (points[i] != off_screen) put<sink>(pixels[points[i]], value);
    }
}

// The grouped paths' buffer of points: on the stack for orbits up to buffer_points / group
// points, else allocated once, for all the groups a thread computes in a call.
struct PointBuffer {
    alignas(16) std::uint32_t local[buffer_points];
    std::unique_ptr<std::uint32_t[]> more;
    std::size_t more_points = 0;
    // Room for `points` points, or null when the memory cannot be had.
    std::uint32_t* get(std::size_t points) {
        if (points <= buffer_points) return local;
        if (more_points < points) {
            more.reset(new (std::nothrow) std::uint32_t[points]);
            more_points = more ? points : 0;
        }
        return more.get();
    }
};

// Groups of orbits computed side by side into the buffer, then plotted orbit by orbit, point by
// point: the pixels are written in the plain path's order, so later points still cover earlier
// ones the same way.
template <int group, Sink sink, typename Starts>
void plot_grouped(const OrbitRow& row, const KernelRow& kernel_row, Kernel kernel, Starts starts,
                  int first_index, const Values& values, std::uint32_t* buffer,
                  std::uint32_t* pixels) {
    const int length = row.orbit_length;
    for (int first = first_index;; first += group) {
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
        count_steps(n, length);
        std::uint32_t orbit_values[group] = {};
        for (int l = 0; l < n; ++l)
            orbit_values[l] = value_of(row, values, first + l, starts_of_group[l],
                                       kernel_row.exponents ? kernel_row.exponents + l : nullptr);
        write_points<sink>(buffer, n, length, orbit_values, pixels);
        if (n < group) break;
    }
}

// The orbits of `starts` on one thread, the first of them orbit `first` of the call.
template <Sink sink, typename Starts>
void plot_along(const OrbitRow& row, OrbitPath path, const Image& target, Starts starts, int first,
                const Values& values, PointBuffer& points) {
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
    const OrbitPath taken = orbit_path_for(row, path);
    const int group = taken == OrbitPath::vector ? vector_group : interleaved_group;
    // A rule that needs the exponents has them from the vector kernel, which carries the tangent
    // vectors along its orbits (orbits_simd.cpp); the other paths compute them orbit by orbit.
    double exponents[vector_group];
    KernelRow with_exponents = kernel_row;
    if (taken == OrbitPath::vector && values.colour && values.colour->needs_exponent)
        with_exponents.exponents = exponents;
    std::uint32_t* buffer =
        taken == OrbitPath::plain
            ? nullptr
            : points.get(static_cast<std::size_t>(group) * row_length(row.orbit_length));
    if (taken == OrbitPath::vector && buffer)
        plot_grouped<vector_group, sink>(row, with_exponents, vector_kernel(with_exponents), starts,
                                         first, values, buffer, target.pixels);
    else if (taken == OrbitPath::interleaved && buffer)
        plot_grouped<interleaved_group, sink>(row, kernel_row, interleaved_orbits, starts, first,
                                              values, buffer, target.pixels);
    else
        plot_plain<sink>(row, target, starts, first, values);
}

// Plotting on several threads
// ---------------------------
// The orbits go out in runs of consecutive orbits, each thread taking the next run not yet taken,
// so a thread's runs rise in order. Each thread writes marks (1 + the orbit's number) into a
// picture of its own, so that its last orbit on a pixel holds it; counts are counted there. The
// merge then gives each pixel the colour of the highest mark of all threads, the last orbit the
// single thread would have drawn there, or adds the counts.

// At most this many threads a call, each with a picture of its own.
constexpr int most_threads = 64;

// A thread is worth its picture (cleared, merged) only with at least this many map steps a
// pixel of it: a step costs about as much as clearing and merging a few pixels.
[[maybe_unused]] constexpr std::size_t steps_per_pixel = 4;

// The orbits of a call go out in runs of whole vector groups, several for each thread, so that a
// thread slowed down (by other programs, say) leaves more of them to the others.
std::size_t run_for(std::size_t orbits, int threads) {
    return static_cast<std::size_t>(vector_group) *
           std::max<std::size_t>(1, orbits / (static_cast<std::size_t>(vector_group) * 8 *
                                              static_cast<std::size_t>(threads)));
}

// The number of threads a call takes (threads_for below).
int threads_of(Plotting plotting, std::size_t orbits, int length, const Image& target,
               ThreadRule rule) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    (void)plotting, (void)orbits, (void)length, (void)target, (void)rule;
    return 1;
#else
    // No more than it asks for, than it has runs, than its steps pay for, or than the build
    // can start.
    const int asked = std::clamp(plotting.threads, 1, most_threads);
    const std::size_t run = run_for(orbits, asked);
    std::size_t most = (orbits + run - 1) / run;
    if (rule == ThreadRule::when_they_pay) {
        const std::size_t pixels =
            std::max<std::size_t>(1, static_cast<std::size_t>(target.width) * target.height);
        const std::size_t steps = orbits * static_cast<std::size_t>(std::max(length, 0));
        most = std::min(most, steps / (pixels * steps_per_pixel));
    }
    return static_cast<int>(std::clamp<std::size_t>(most, 1, asked));
#endif
}

// work(t) on threads 0 .. threads - 1, thread 0 the calling one. Each must take its share of the
// work as it comes (from a counter all share): a thread that cannot be started leaves its share
// to the others.
template <typename Work> void on_threads(int threads, const Work& work) {
    std::array<std::thread, most_threads> helpers;
    int started = 1;
    try {
        for (; started < threads; ++started) helpers[started] = std::thread(work, started);
    } catch (const std::system_error&) {
    }
    work(0);
    for (int t = 1; t < started; ++t) helpers[t].join();
}

// The highest mark of each pixel across the shares, in its colour; or the counts added.
template <Sink sink> void merge(std::span<const Marks> shares, const Image& target) {
    for (int y = 0; y < target.height; ++y) {
        std::uint32_t* row = target.row(y);
        for (int x = 0; x < target.width; ++x) {
            if constexpr (sink == Sink::count) {
                std::uint32_t sum = row[x];
                for (const Marks& share : shares) sum += share.last.row(y)[x];
                row[x] = sum;
            } else {
                std::uint32_t best = 0;
                const Marks* holder = nullptr;
                for (const Marks& share : shares) {
                    const std::uint32_t mark = share.last.row(y)[x];
                    if (mark > best) best = mark, holder = &share;
                }
                if (holder) row[x] = holder->colours[best - 1];
            }
        }
    }
}

// The orbits from `starts` on one thread.
template <Sink sink, typename Starts>
void plot_alone(const OrbitRow& row, OrbitPath path, const Image& target, Starts starts,
                const ColourRule* colour) {
    PointBuffer points;
    plot_along<sink>(row, path, target, starts, 0, Values{.colour = colour}, points);
}

// The orbits from `starts` on `threads` threads (more than one); false, having drawn nothing,
// when the memory for their pictures cannot be had.
template <Sink sink>
bool plot_threaded(const OrbitRow& row, OrbitPath path, const Image& target,
                   std::span<const OrbitStart> starts, const ColourRule* colour, int threads) {
    const std::size_t orbits = starts.size();
    const std::size_t pixels = static_cast<std::size_t>(target.width) * target.height;
    std::unique_ptr<std::uint32_t[]> colours(colour ? new (std::nothrow) std::uint32_t[orbits]
                                                    : nullptr);
    if (colour && !colours) return false;
    std::array<std::unique_ptr<std::uint32_t[]>, most_threads> own;
    std::array<Marks, most_threads> marks;
    int ready = 0;
    for (; ready < threads; ++ready) {
        own[ready].reset(new (std::nothrow) std::uint32_t[pixels]());
        if (!own[ready]) break;
        marks[ready] = {.last = {own[ready].get(), target.width, target.height,
                                 static_cast<std::size_t>(target.width), target.layout},
                        .colours = {colours.get(), colour ? orbits : 0}};
    }
    if (ready < 2) return false;
    const std::size_t run = run_for(orbits, ready);
    std::atomic<std::size_t> next_run = 0;
    const Values marked{.colour = colour, .first_mark = 1, .mark_colours = colours.get()};
    on_threads(ready, [&](int t) {
        PointBuffer points;
        for (std::size_t first; (first = next_run.fetch_add(1) * run) < orbits;) {
            const std::size_t n = std::min(run, orbits - first);
            plot_along<sink>(row, path, marks[t].last, Listed{starts.subspan(first, n)},
                             static_cast<int>(first), marked, points);
        }
    });
    merge<sink>(std::span(marks.data(), ready), target);
    return true;
}

template <Sink sink>
void seed_line(const OrbitRow& row, OrbitPath path, const Image& target, const ColourRule* colour,
               Plotting plotting, ThreadRule rule) {
    const std::size_t orbits = static_cast<std::size_t>(orbit_count(row));
    const int threads = threads_of(plotting, orbits, row.orbit_length, target, rule);
    if (threads > 1) {
        std::unique_ptr<OrbitStart[]> starts(new (std::nothrow) OrbitStart[orbits]);
        if (starts) {
            Sweep sweep{row.seed_step};
            for (std::size_t i = 0; i < orbits; ++i) sweep.next(starts[i]);
            if (plot_threaded<sink>(row, path, target, std::span(starts.get(), orbits), colour,
                                    threads))
                return;
        }
    }
    plot_alone<sink>(row, path, target, Sweep{row.seed_step}, colour);
}

template <Sink sink>
void listed(const OrbitRow& row, OrbitPath path, const Image& target,
            std::span<const OrbitStart> starts, const ColourRule* colour, Plotting plotting,
            ThreadRule rule) {
    const int threads = threads_of(plotting, starts.size(), row.orbit_length, target, rule);
    if (threads > 1 && plot_threaded<sink>(row, path, target, starts, colour, threads)) return;
    plot_alone<sink>(row, path, target, Listed{starts}, colour);
}

// A share's orbits, marked (or with Sink::count, counted into marks.last, without a rule): runs
// part, part + parts, ... of share_run orbits.
template <Sink sink = Sink::colour, typename Starts>
void mark_share(const OrbitRow& row, Starts starts, Share share, std::uint32_t first_mark,
                const Marks& marks, const ColourRule* colour) {
    const Values marked{
        .colour = colour, .first_mark = first_mark, .mark_colours = marks.colours.data()};
    const int parts = std::max(share.parts, 1);
    PointBuffer points;
    std::array<OrbitStart, share_run> run;
    for (int first = 0, index = 0;; first += share_run, ++index) {
        int n = 0;
        while (n < share_run && starts.next(run[n])) ++n;
        if (n > 0 && index % parts == share.part)
            plot_along<sink>(row, OrbitPath::automatic, marks.last,
                             Listed{std::span(run.data(), n)}, first, marked, points);
        if (n < share_run) return;
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
    // Longer orbits than the grouped paths' buffers take go one at a time; the vector path's
    // bounds hold for |kick| up to vector_kick_limit.
    if (row.orbit_length > longest_grouped) return OrbitPath::plain;
    const bool vector_fits = vector_sine_available() && std::fabs(row.kick) <= vector_kick_limit;
    return path != OrbitPath::interleaved && vector_fits ? OrbitPath::vector
                                                         : OrbitPath::interleaved;
}

std::uint64_t sine_fallbacks() {
    return fallback_count.load(std::memory_order_relaxed);
}

std::uint64_t orbit_steps_done() {
    return steps_done.load(std::memory_order_relaxed);
}

int hardware_threads() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    return 1;
#else
    return static_cast<int>(
        std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, most_threads));
#endif
}

int threads_for(Plotting plotting, std::size_t orbits, int length, const Image& target,
                ThreadRule rule) {
    return threads_of(plotting, orbits, length, target, rule);
}

void plot_seed_line(const OrbitRow& row, const Image& target, const ColourRule& colour,
                    Plotting plotting) {
    plot_seed_line(row, target, colour, OrbitPath::automatic, plotting);
}

void plot_seed_line(const OrbitRow& row, const Image& target, const ColourRule& colour,
                    OrbitPath path, Plotting plotting, ThreadRule rule) {
    seed_line<Sink::colour>(row, path, target, &colour, plotting, rule);
}

void plot_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& target,
                 const ColourRule& colour, Plotting plotting) {
    plot_starts(row, starts, target, colour, OrbitPath::automatic, plotting);
}

void plot_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& target,
                 const ColourRule& colour, OrbitPath path, Plotting plotting, ThreadRule rule) {
    listed<Sink::colour>(row, path, target, starts, &colour, plotting, rule);
}

void count_seed_line(const OrbitRow& row, const Image& counts, Plotting plotting) {
    count_seed_line(row, counts, plotting, ThreadRule::when_they_pay);
}

void count_seed_line(const OrbitRow& row, const Image& counts, Plotting plotting, ThreadRule rule) {
    seed_line<Sink::count>(row, OrbitPath::automatic, counts, nullptr, plotting, rule);
}

void count_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& counts,
                  Plotting plotting) {
    count_starts(row, starts, counts, plotting, ThreadRule::when_they_pay);
}

void count_starts(const OrbitRow& row, std::span<const OrbitStart> starts, const Image& counts,
                  Plotting plotting, ThreadRule rule) {
    listed<Sink::count>(row, OrbitPath::automatic, counts, starts, nullptr, plotting, rule);
}

void mark_seed_line(const OrbitRow& row, Share share, std::uint32_t first_mark, const Marks& marks,
                    const ColourRule& colour) {
    mark_share(row, Sweep{row.seed_step}, share, first_mark, marks, &colour);
}

void mark_starts(const OrbitRow& row, std::span<const OrbitStart> starts, Share share,
                 std::uint32_t first_mark, const Marks& marks, const ColourRule& colour) {
    mark_share(row, Listed{starts}, share, first_mark, marks, &colour);
}

void merge_marks(std::span<const Marks> shares, const Image& target) {
    merge<Sink::colour>(shares, target);
}

void count_share_seed_line(const OrbitRow& row, Share share, const Image& counts) {
    mark_share<Sink::count>(row, Sweep{row.seed_step}, share, 0, {.last = counts, .colours = {}},
                            nullptr);
}

void count_share_starts(const OrbitRow& row, std::span<const OrbitStart> starts, Share share,
                        const Image& counts) {
    mark_share<Sink::count>(row, Listed{starts}, share, 0, {.last = counts, .colours = {}},
                            nullptr);
}

void merge_counts(std::span<const Image> shares, const Image& target) {
    for (int y = 0; y < target.height; ++y) {
        std::uint32_t* row = target.row(y);
        for (int x = 0; x < target.width; ++x)
            for (const Image& share : shares) row[x] += share.row(y)[x];
    }
}

int orbit_count(const OrbitRow& row) {
    int count = 1;
    float s = 0;
    while (next_seed(s, row.seed_step)) ++count;
    return count;
}

} // namespace kit
