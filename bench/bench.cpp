// Timings of the orbit plotter and the slide scripts, all on this machine in one run:
//   (a) the textbook orbit loop on figure1's heaviest row, (b) plot_orbits on the same row with
//   each of its paths, (c) every program's slides headless, (d) PNG encoding against drawing and
//   the whole `figure1 --export` process against the textbook loop of its orbit plots and against
//   its bare orbit plotting, (e) explore's redraw of its default scene after a change of kick,
//   (f) explore's exports on one thread against all (the time waited for) and of long orbits
//   against short ones for the same steps, and the heavy export's portrait alone on one thread
//   against all, (g) explore's redraw of its default scene coloured by start, chaos and density.
//   Each ratio is of two commands timed in turns in the same run.
#include "baseline_orbits.hpp"
#include "export.hpp"
#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/program.hpp"
#include "kit/tile.hpp"
#include "orbit_paths.hpp"
#include "random.hpp"
#include "runs.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "figure_programs.hpp"
#include "picture.hpp"
#include "scene.hpp"

extern char** environ;

namespace {

// CPU time of this thread: the machine may be shared, and other processes' work must not count.
struct Clock {
    using time_point = double;
    static double now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    }
};

double ms_since(double start) {
    return Clock::now() - start;
}

// The fastest of a few runs: the machine is shared, the minimum is the least disturbed.
double best_ms(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, ms_since(start));
    }
    return best;
}

using test::baseline_plot;

// figure1's first portrait, the heaviest plot of all: 6284 orbits of 2000 points.
const kit::OrbitRow& heaviest_row() {
    return figure1::kick_0_9;
}

std::string machine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);)
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown processor";
}

std::vector<Uint32> screen_pixels() {
    std::vector<Uint32> pixels;
    for (int y = 0; y < kit::screen->h; ++y)
        for (int x = 0; x < kit::screen->w; ++x) pixels.push_back(kit::get_pixel(x, y));
    return pixels;
}

void orbit_plotter() {
    const kit::OrbitRow row = heaviest_row();
    const double steps = static_cast<double>(kit::orbit_count(row)) * row.orbit_length;
    kit::install_software_screen();
    kit::seed_rand(1);
    kit::make_palette();
    const Uint32 white = kit::map_rgb(255, 255, 255);

    std::printf("Orbit plotter, figure1 O1 (%.1f million steps)\n", steps / 1e6);
    kit::clear_screen(white);
    const double baseline = best_ms(3, [&] { baseline_plot(row); });
    const std::vector<Uint32> expected = screen_pixels();
    std::printf("  (a) textbook loop             %8.1f ms  %5.1f ns/step\n", baseline,
                baseline * 1e6 / steps);

    for (kit::OrbitPath path : {kit::OrbitPath::plain, kit::OrbitPath::interleaved,
                                kit::OrbitPath::vector, kit::OrbitPath::automatic}) {
        const kit::OrbitPath used = kit::orbit_path_for(row, path);
        const std::uint64_t fallbacks = kit::sine_fallbacks();
        kit::clear_screen(white);
        kit::plot_orbits(row, path);
        const bool identical = screen_pixels() == expected;
        const std::uint64_t one_run = kit::sine_fallbacks() - fallbacks;
        const double time = best_ms(5, [&] { kit::plot_orbits(row, path); });
        std::printf("  (b) plot_orbits, %-11s%8.1f ms  %5.2f ns/step  ratio (b)/(a) %.3f  %s",
                    kit::path_name(path), time, time * 1e6 / steps, time / baseline,
                    identical ? "identical" : "DIFFERENT PICTURE");
        std::printf("  [ran the %s path", kit::path_name(used));
        if (used == kit::OrbitPath::vector)
            std::printf(", %llu fallbacks to map_sine", static_cast<unsigned long long>(one_run));
        std::printf("]\n");
    }
    std::printf("  targets: interleaved <= 0.5, vector <= 0.25\n");

    if (kit::vector_sine_available()) {
        std::printf("\nFallbacks to map_sine on every orbit row (vector path)\n");
        for (const kit::Program* p : figure_programs)
            for (size_t i = 0; i < p->orbit_rows.size(); ++i) {
                const kit::OrbitRow& r = p->orbit_rows[i];
                const std::uint64_t before = kit::sine_fallbacks();
                kit::plot_orbits(r);
                const std::uint64_t total = static_cast<std::uint64_t>(kit::orbit_count(r)) *
                                            static_cast<std::uint64_t>(r.orbit_length);
                const std::uint64_t fallbacks = kit::sine_fallbacks() - before;
                std::printf("  %s O%zu  %9llu steps  %4llu fallbacks (1 in %.0f)\n", p->name, i + 1,
                            static_cast<unsigned long long>(total),
                            static_cast<unsigned long long>(fallbacks),
                            fallbacks ? static_cast<double>(total) / fallbacks : 0.0);
            }
    }
    kit::release_screen();
}

struct Slide {
    double draw_ms = 0;
    std::uint64_t steps = 0;
    double png_ms = 0;
};

// Runs a program headless; each slide's drawing time is the time since the previous slide was
// handed over. With a folder, each slide is also encoded there (timed apart from the drawing).
std::vector<Slide> run_slides(const kit::Program& program, const std::string& folder = "") {
    std::vector<Slide> slides;
    auto start = Clock::now();
    std::uint64_t steps = kit::orbit_steps_done();
    kit::run_headless(
        program,
        [&](int number) {
            Slide slide{.draw_ms = ms_since(start), .steps = kit::orbit_steps_done() - steps};
            if (!folder.empty()) {
                const auto encode = Clock::now();
                const auto error = kit::write_png_at(
                    folder + "/slide-" + std::to_string(number) + ".png", kit::screen_image());
                slide.png_ms = ms_since(encode);
                if (error) std::fprintf(stderr, "%s\n", error->c_str());
            }
            slides.push_back(slide);
            steps = kit::orbit_steps_done();
            start = Clock::now();
        },
        1u);
    return slides;
}

// Per slide, the fastest of three runs.
std::vector<Slide> best_slides(const kit::Program& program, const std::string& folder = "") {
    std::vector<Slide> best = run_slides(program, folder);
    for (int run = 1; run < 3; ++run) {
        const std::vector<Slide> again = run_slides(program, folder);
        for (size_t i = 0; i < best.size() && i < again.size(); ++i) {
            best[i].draw_ms = std::min(best[i].draw_ms, again[i].draw_ms);
            best[i].png_ms = std::min(best[i].png_ms, again[i].png_ms);
        }
    }
    return best;
}

void slide_scripts() {
    std::printf(
        "\n(c) Slides headless, ms per slide (fastest of 3; * = slide with an orbit plot)\n");
    std::printf("  %-8s", "slide");
    std::vector<std::vector<Slide>> table;
    size_t rows = 0;
    for (const kit::Program* p : figure_programs) {
        std::printf(" %10s", p->name);
        table.push_back(best_slides(*p));
        rows = std::max(rows, table.back().size());
    }
    std::printf("\n");
    double worst_plain = 0;
    for (size_t i = 0; i < rows; ++i) {
        std::printf("  %-8zu", i + 1);
        for (const std::vector<Slide>& slides : table) {
            if (i >= slides.size()) {
                std::printf(" %10s", "");
                continue;
            }
            std::printf(" %9.2f%s", slides[i].draw_ms, slides[i].steps ? "*" : " ");
            if (!slides[i].steps) worst_plain = std::max(worst_plain, slides[i].draw_ms);
        }
        std::printf("\n");
    }
    std::printf("  %-8s", "total");
    for (const std::vector<Slide>& slides : table) {
        double total = 0;
        for (const Slide& s : slides) total += s.draw_ms;
        std::printf(" %9.1f ", total);
    }
    std::printf("\n  slowest slide without an orbit plot: %.2f ms (target < 2 ms)\n", worst_plain);
}

// Runs the program binary and returns the CPU time (user and system) it took in ms, or -1 if
// it failed; with `wall`, the time from its start to its end instead.
double run_process(const std::vector<std::string>& args, bool wall = false) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    timespec began{};
    clock_gettime(CLOCK_MONOTONIC, &began);
    const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    timespec ended{};
    clock_gettime(CLOCK_MONOTONIC, &ended);
    const double time =
        wall ? (ended.tv_sec - began.tv_sec) * 1e3 + (ended.tv_nsec - began.tv_nsec) / 1e6
             : (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? time : -1;
}

void image_writing() {
    char folder_template[] = "/tmp/figures-bench-XXXXXX";
    const char* folder = mkdtemp(folder_template);
    if (!folder) {
        std::perror("mkdtemp");
        return;
    }
    std::printf("\n(d) PNG encoding against drawing (all slides, fastest of 3)\n");
    for (const kit::Program* p : figure_programs) {
        double draw = 0, png = 0;
        for (const Slide& s : best_slides(*p, folder)) draw += s.draw_ms, png += s.png_ms;
        std::printf("  %-8s drawing %8.1f ms  encoding %7.1f ms  encoding share %4.1f%%\n", p->name,
                    draw, png, 100 * png / (draw + png));
    }
#ifdef FIGURE1_BINARY
    kit::install_software_screen();
    kit::seed_rand(1);
    kit::make_palette();
    const double bare = best_ms(3, [] {
        for (const kit::OrbitRow& row : figure1::program.orbit_rows) kit::plot_orbits(row);
    });
    const double textbook = best_ms(3, [] {
        for (const kit::OrbitRow& row : figure1::orbit_rows) baseline_plot(row);
    });
    kit::release_screen();
    const std::string out = std::string(folder) + "/export";
    // The fastest of three runs; --help measures what starting the process alone costs.
    auto process_ms = [](const std::vector<std::string>& args) {
        double best = 1e300;
        for (int i = 0; i < 3; ++i) {
            const double t = run_process(args);
            if (t < 0) return -1.0;
            best = std::min(best, t);
        }
        return best;
    };
    const double whole = process_ms({FIGURE1_BINARY, "--export", out});
    const double start = process_ms({FIGURE1_BINARY, "--help"});
    if (whole < 0)
        std::printf("  figure1 --export failed\n");
    else
        std::printf("  figure1 --export DIR: %.1f ms as a process (of which %.1f ms starting the"
                    " process, as with --help);\n  the textbook loop of its O1+O2+O3 %.1f ms:"
                    " ratio %.2f (target <= 0.25);\n  bare O1+O2+O3 plotting %.1f ms: ratio %.2f"
                    " (target < 1.5)\n",
                    whole, start, textbook, whole / textbook, bare, whole / bare);
#endif
    std::filesystem::remove_all(folder);
}

#ifdef EXPLORE_BINARY
// Two commands timed in turns, `rounds` times each, so that both meet the same machine: the
// medians of each and of the ratios of the pairs.
struct Pair {
    double first, second, ratio;
};

Pair side_by_side(const std::vector<std::string>& first, const std::vector<std::string>& second,
                  int rounds, bool wall) {
    std::vector<double> a, b, ratios;
    for (int i = 0; i <= rounds; ++i) {
        const double x = run_process(first, wall), y = run_process(second, wall);
        if (x < 0 || y < 0) return {-1, -1, -1};
        if (i == 0) continue; // a warm-up round: the files come into the cache
        a.push_back(x), b.push_back(y), ratios.push_back(y / x);
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {median(a), median(b), median(ratios)};
}

// explore's exports: a heavy scene on every core against one core (the time a user waits), and
// the same number of steps as long orbits against short ones (on one core, CPU time).
void studio_exports() {
    char folder_template[] = "/tmp/figures-bench-XXXXXX";
    const char* folder = mkdtemp(folder_template);
    if (!folder) {
        std::perror("mkdtemp");
        return;
    }
    const std::string out = std::string(folder) + "/strip.png";
    const auto explore = [&](const std::string& threads, const std::string& scene) {
        return std::vector<std::string>{EXPLORE_BINARY, "--threads", threads, "--scene",
                                        scene,          "--export",  out};
    };
    const std::string heavy = "length=4000 step=0.001 size=2400x200";
    const std::string threads = std::to_string(kit::hardware_threads());
    std::printf("\n(f) explore --export, side by side in turns (median of 9)\n");
    const Pair cores = side_by_side(explore("1", heavy), explore(threads, heavy), 9, true);
    std::printf("  \"%s\" (25 million steps), waited for: one thread %.1f ms, %s threads %.1f "
                "ms: ratio %.2f (goal <= 0.60 on 2 cores)\n",
                heavy.c_str(), cores.first, threads.c_str(), cores.second, cores.ratio);
    const Pair lengths = side_by_side(explore("1", "length=2000 step=0.001"),
                                      explore("1", "length=8000 step=0.004"), 9, false);
    std::printf("  12.6 million steps on one thread, CPU time: orbits of 2000 points %.1f ms, of "
                "8000 points %.1f ms: ratio %.2f (goal <= 1.2)\n",
                lengths.first, lengths.second, lengths.ratio);
    const Pair longest = side_by_side(explore("1", "length=1000 step=0.001"),
                                      explore("1", "length=10000 step=0.01"), 9, false);
    std::printf("  6.3 million steps: orbits of 1000 points %.1f ms, of 10000 points %.1f ms: "
                "ratio %.2f\n",
                longest.first, longest.second, longest.ratio);
    std::filesystem::remove_all(folder);
}
#endif

} // namespace

// What explore's window does after each change of kick: the default scene's portrait into its
// tile (about 6.3 million map steps), then the strip rebuilt across the screen below it. The goal
// is at most 20 ms, so that holding the kick's key feels live.
void explore_redraw() {
    std::printf("explore, default scene, redraw after a change of kick (goal: 20 ms)\n");
    kit::install_software_screen();
    explore::Scene scene;
    const int height = scene.tile, width = explore::tile_width_for(height);
    const kit::Image screen = kit::screen_image();
    kit::PixelBuffer buffer;
    buffer.resize(width, height, screen.layout);
    const kit::Image& tile = buffer.image();
    const std::uint64_t steps_before = kit::orbit_steps_done();
    explore::draw_portrait(scene, explore::scene_colours(scene, screen.layout), tile);
    const std::uint64_t steps = kit::orbit_steps_done() - steps_before;
    float kick = scene.kick;
    const double time = best_ms(7, [&] {
        kick = kick == 0.9f ? 0.91f : 0.9f;
        scene.kick = kick;
        explore::draw_portrait(scene, explore::scene_colours(scene, screen.layout), tile);
        explore::build_strip(scene.group, scene.keep, tile, screen.rows(240, height));
    });
    std::printf("  %dx%d tile, %.2f million steps: %.1f ms (%.2f ns a step, path %s)\n\n", width,
                height, steps / 1e6, time, time * 1e6 / steps,
                kit::path_name(kit::orbit_path_for(explore::portrait_row(scene, width, height))));
    kit::release_screen();
}

// The default scene's redraw (portrait and strip, one thread) coloured by start, by chaos (each
// orbit's exponent, its tangent vector carried along the orbit) and by density (counts), timed in
// turns, 15 rounds: the fastest of each and the median of the rounds' ratios to start. The goal
// for chaos: at most 1.6 times start.
void explore_colourings() {
    std::printf("explore, default scene, redraw by colouring (goal: chaos at most 1.6 x start)\n");
    kit::install_software_screen();
    const kit::Image screen = kit::screen_image();
    explore::Scene scene;
    const int height = scene.tile, width = explore::tile_width_for(height);
    kit::PixelBuffer buffer;
    buffer.resize(width, height, screen.layout);
    const kit::Image& tile = buffer.image();
    const explore::Colouring colourings[] = {explore::Colouring::start, explore::Colouring::chaos,
                                             explore::Colouring::density};
    const auto redraw_ms = [&](explore::Colouring colouring) {
        scene.colour = colouring;
        const double start = Clock::now();
        explore::draw_portrait(scene, explore::scene_colours(scene, screen.layout), tile);
        explore::build_strip(scene.group, scene.keep, tile, screen.rows(240, height));
        return ms_since(start);
    };
    double best[3] = {1e300, 1e300, 1e300};
    std::vector<double> ratios[3];
    for (int round = 0; round < 15; ++round) {
        double times[3];
        for (int c = 0; c < 3; ++c) times[c] = redraw_ms(colourings[c]);
        for (int c = 0; c < 3; ++c) {
            best[c] = std::min(best[c], times[c]);
            ratios[c].push_back(times[c] / times[0]);
        }
    }
    for (int c = 0; c < 3; ++c) {
        std::sort(ratios[c].begin(), ratios[c].end());
        std::printf("  colour=%-8s %7.1f ms (fastest)  ratio to start %.2f (fastest), %.2f "
                    "(median of the rounds)\n",
                    std::string(explore::colouring_name(colourings[c])).c_str(), best[c],
                    best[c] / best[0], ratios[c][7]);
    }
    std::printf("\n");
    kit::release_screen();
}

// The heavy export's portrait alone, in this process: on one thread against every thread, in
// turns, by the clock on the wall (the fastest of each, the least disturbed by other programs,
// and the median of the pairs' ratios).
void studio_cores() {
    explore::Scene scene;
    scene.length = 4000;
    const int height = scene.height, width = explore::tile_width_for(height);
    kit::PixelBuffer tile;
    tile.resize(width, height);
    const explore::Colours colours = explore::scene_colours(scene, kit::xrgb_layout);
    const int threads = kit::hardware_threads();
    const auto wall_ms = [&](int n) {
        timespec a{}, b{};
        clock_gettime(CLOCK_MONOTONIC, &a);
        explore::draw_portrait(scene, colours, tile.image(), {.threads = n});
        clock_gettime(CLOCK_MONOTONIC, &b);
        return (b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6;
    };
    double best_one = 1e300, best_all = 1e300;
    std::vector<double> ratios;
    for (int i = 0; i < 21; ++i) {
        const double one = wall_ms(1), all = wall_ms(threads);
        best_one = std::min(best_one, one), best_all = std::min(best_all, all);
        ratios.push_back(all / one);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("  its %dx%d portrait alone, in turns (21 pairs), waited for: one thread %.1f ms, "
                "%d threads %.1f ms (fastest of each): ratio %.2f; median of the pairs' ratios "
                "%.2f\n",
                width, height, best_one, threads, best_all, best_all / best_one, ratios[10]);
}

// `figures_bench explore` times explore's redraw alone, `figures_bench exports` explore's exports.
int main(int argc, char** argv) {
    // The plots in this process are timed by this thread's CPU time: on one thread, unless a
    // figure says otherwise.
    kit::set_plot_threads(1);
    std::printf("Machine: %s; vectorised sine %s\nAll times are CPU time in ms.\n\n",
                machine().c_str(),
                kit::vector_sine_available() ? "available (AVX2+FMA)" : "not available");
#ifdef EXPLORE_BINARY
    if (argc > 1 && std::strcmp(argv[1], "exports") == 0) {
        studio_exports();
        studio_cores();
        return 0;
    }
#endif
    const bool explore_only = argc > 1 && std::strcmp(argv[1], "explore") == 0;
    if (!explore_only) {
        orbit_plotter();
        slide_scripts();
        image_writing();
#ifdef EXPLORE_BINARY
        studio_exports();
#endif
        studio_cores();
    }
    explore_redraw();
    explore_colourings();
    return 0;
}
