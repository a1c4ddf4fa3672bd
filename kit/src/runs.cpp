#include "runs.hpp"

#include "kit/canvas.hpp"
#include "platform.hpp"
#include "random.hpp"

#include <SDL.h>

#include <cstdio>
#include <ctime>

namespace kit {

namespace {

// The seed of the random generator for a run: the one given, the clock's where the program
// seeds from it, or else 1, the state of a generator nobody seeded (a second run in the same
// process, in the tests, the benchmarks or a show drawn again, then draws the same palette as a
// fresh process does).
struct Seed {
    unsigned value = 1;
    bool from_clock = false;
};

Seed choose_seed(const Program& program, std::optional<unsigned> given) {
    if (given) return {.value = *given};
    if (program.seeds_from_clock)
        return {.value = static_cast<unsigned>(std::time(nullptr)), .from_clock = true};
    return {};
}

// The seed the viewer is told when the clock chose the colours, so that colours someone liked can
// be drawn again with --seed.
std::optional<unsigned> clock_seed(const Program& program, Seed seed) {
    if (seed.from_clock && program.uses_palette) return seed.value;
    return std::nullopt;
}

} // namespace

int run_in_window(const Program& program, const Options& options) {
    const Seed seed = choose_seed(program, options.seed);
    const platform::WindowSettings settings{.scale = options.scale,
                                            .fullscreen = options.fullscreen,
                                            .clock_seed = clock_seed(program, seed),
                                            .seed = program.uses_palette ? std::optional(seed.value)
                                                                         : std::nullopt};
    pace_in_window(options.start, program.slide_count);
    if (auto error = platform::open_window(program, settings)) {
        std::fprintf(stderr, "%s: %s\n", program.name, error->c_str());
        return 1;
    }
    int status = 0;
    try {
        // A move back draws the show again from its start, in the same colours.
        for (;;) {
            seed_rand(seed.value);
            program.script();
            const auto again = slide_to_show_again();
            if (!again) break;
            pace_in_window(*again, program.slide_count);
        }
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", program.name, failure.what());
        status = 1;
    }
    end_pacing();
    platform::close_window();
    return status;
}

void install_software_screen() {
    release_screen();
    // The same pixel layout the window gets: 32-bit words 0x00RRGGBB.
    screen = SDL_CreateRGBSurface(SDL_SWSURFACE, screen_width, screen_height, 32, 0x00ff0000,
                                  0x0000ff00, 0x000000ff, 0);
    if (!screen) throw Failure(std::string("cannot make a drawing surface: ") + SDL_GetError());
}

void release_screen() {
    if (screen) SDL_FreeSurface(screen);
    screen = nullptr;
}

std::optional<unsigned> run_headless(const Program& program, const SlideObserver& on_slide,
                                     std::optional<unsigned> seed) {
    install_software_screen();
    pace_headless(on_slide);
    const Seed chosen = choose_seed(program, seed);
    seed_rand(chosen.value);
    try {
        program.script();
    } catch (...) {
        end_pacing();
        release_screen();
        throw;
    }
    end_pacing();
    release_screen();
    return clock_seed(program, chosen);
}

} // namespace kit
