// The orbit plotter's WebAssembly build against the textbook loop, run by Node.js: the cases of
// the desktop's orbit identity tests (orbit_cases.hpp) on every path, whole pictures of every
// row, millions of single steps and the sine's error bound, compiled to WebAssembly with SIMD.
// Prints each row's drawing times as well; exits 1 if anything differs.
#include "kit/canvas.hpp"
#include "kit/lyapunov.hpp"
#include "kit/orbits.hpp"
#include "orbit_cases.hpp"
#include "orbit_paths.hpp"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace test::orbit_cases;

int failures = 0;

void check(bool ok, const std::string& what) {
    if (ok) return;
    ++failures;
    std::printf("FAIL: %s\n", what.c_str());
}

template <typename Work> double timed_ms(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void rows() {
    std::printf("Rows drawn whole (ms: textbook loop, then each path as asked for / as taken)\n");
    std::vector<NamedRow> all = program_rows();
    for (const NamedRow& r : all)
        check(kit::orbit_path_for(r.row) == kit::OrbitPath::vector,
              r.name + " should take the vector path");
    for (const NamedRow& r : stress_rows()) all.push_back(r);
    for (const NamedRow& r : all) {
        std::vector<Uint32> expected;
        std::printf("  %-18s textbook %7.1f", r.name.c_str(),
                    timed_ms([&] { expected = draw_baseline(r.row); }));
        for (kit::OrbitPath path :
             {kit::OrbitPath::plain, kit::OrbitPath::interleaved, kit::OrbitPath::vector}) {
            std::vector<Uint32> actual;
            const double time = timed_ms([&] { actual = draw(r.row, path); });
            std::printf("  %s/%s %7.1f", kit::path_name(path),
                        kit::path_name(kit::orbit_path_for(r.row, path)), time);
            const std::string wrong = difference(expected, actual);
            check(wrong.empty(), r.name + ", " + kit::path_name(path) + " path: " + wrong);
        }
        std::printf("\n");
    }
}

void steps(const char* what, const std::vector<StepSet>& sets) {
    long count = 0;
    for (const StepSet& s : sets) {
        const std::vector<size_t> wrong = mismatches(s);
        check(wrong.empty(),
              std::string(what) + ": " + std::to_string(wrong.size()) +
                  " steps differ, the first: " + (wrong.empty() ? "" : describe(s, wrong[0])));
        count += static_cast<long>(s.p.size());
    }
    std::printf("  %-44s %9ld steps\n", what, count);
}

} // namespace

int main() {
    if (!kit::vector_sine_available()) {
        std::printf("FAIL: this build has no vector path (compile the kit with -msimd128)\n");
        return 1;
    }
    // A screen of its own: emscripten's SDL makes surfaces in a page's canvas, which Node.js has
    // not, and the plotter needs nothing but the pixels.
    std::vector<Uint32> memory(kit::screen_width * kit::screen_height);
    SDL_Surface surface{};
    surface.w = kit::screen_width;
    surface.h = kit::screen_height;
    surface.pitch = kit::screen_width * 4;
    surface.pixels = memory.data();
    kit::screen = &surface;
    kit::white = 0x00ffffff;
    numbered_palette();

    rows();

    std::printf("Single steps of the vector path against the textbook loop\n");
    std::mt19937 random{20240607};
    steps("random states", random_steps(random, 300'000));
    steps("states near zero", steps_near_zero(random, 150'000));
    steps("states at the wrap edges", steps_at_the_edges());
    const std::uint64_t before = kit::sine_fallbacks();
    const std::vector<StepSet> near = steps_near_a_boundary();
    steps("sums near a rounding boundary", near);
    std::uint64_t expected_fallbacks = 0;
    for (const StepSet& s : near) expected_fallbacks += s.p.size();
    check(kit::sine_fallbacks() - before == expected_fallbacks,
          "every sum near a rounding boundary should be recomputed");

    // The exponents the vector kernel carries along (colour=chaos, the table of orbits) against
    // the scalar lyapunov_exponent of this build, bit for bit, for kicks within one and beyond.
    std::printf("Exponents of the vector path against lyapunov_exponent\n");
    std::uniform_real_distribution<float> anywhere(0, 6.2831850f);
    for (const float kick : {0.97f, 2.5f, -7.25f, 10.0f}) {
        std::vector<kit::OrbitStart> starts;
        for (int i = 0; i < 100; ++i)
            starts.push_back({.p = anywhere(random), .theta = anywhere(random)});
        const kit::OrbitRow row{
            .kick = kick, .orbit_length = 2000, .x_scale = 10, .y_base = 60, .y_scale = 10};
        std::vector<double> told(starts.size(), -1);
        const auto tell = [&](const kit::OrbitFacts& orbit) {
            told[orbit.index] = orbit.exponent;
            return 0u;
        };
        kit::ColourRule rule = tell;
        rule.needs_exponent = true;
        std::vector<Uint32> pixels(63 * 63);
        kit::plot_starts(row, starts,
                         {.pixels = pixels.data(), .width = 63, .height = 63, .stride = 63}, rule,
                         kit::OrbitPath::vector, {});
        for (std::size_t n = 0; n < starts.size(); ++n)
            check(told[n] == kit::lyapunov_exponent(kick, starts[n].p, starts[n].theta, 2000),
                  "kick " + std::to_string(kick) + ": orbit " + std::to_string(n) +
                      "'s exponent differs on the vector path");
    }

    const SineError worst = worst_sine_error(sine_angles(random, 200'000));
    std::printf("The sine's largest error %.3Lg (bound %.3g) at x = %.17g\n", worst.error,
                kit::vector_sine_error, worst.at);
    check(worst.error <= kit::vector_sine_error, "the sine exceeds its error bound");

    std::printf(failures ? "%d checks FAILED\n" : "All identical.\n", failures);
    return failures ? 1 : 0;
}
