#include "runs.hpp"

#include "kit/canvas.hpp"
#include "platform.hpp"
#include "random.hpp"

#include <SDL.h>

#include <cstdio>
#include <ctime>

namespace kit {

namespace {

// Returns the seed when it came from the clock and decides the colours: the viewer is told it,
// so that colours someone liked can be drawn again with --seed.
std::optional<unsigned> seed_random(const Program& program, std::optional<unsigned> seed) {
    if (seed) {
        seed_rand(*seed);
    } else if (program.seeds_from_clock) {
        const auto now = static_cast<unsigned>(std::time(nullptr));
        seed_rand(now);
        if (program.uses_palette) return now;
    } else {
        // The state of a generator nobody seeded: a second run in the same process (tests,
        // benchmarks) then draws the same palette as a fresh process does.
        seed_rand(1);
    }
    return std::nullopt;
}

} // namespace

int run_in_window(const Program& program, const Options& options) {
    const auto clock_seed = seed_random(program, options.seed);
    const platform::WindowSettings settings{
        .scale = options.scale, .fullscreen = options.fullscreen, .clock_seed = clock_seed};
    pace_in_window(options.start);
    if (auto error = platform::open_window(program, settings)) {
        std::fprintf(stderr, "%s: %s\n", program.name, error->c_str());
        return 1;
    }
    int status = 0;
    try {
        program.script();
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
    const auto clock_seed = seed_random(program, seed);
    try {
        program.script();
    } catch (...) {
        end_pacing();
        release_screen();
        throw;
    }
    end_pacing();
    release_screen();
    return clock_seed;
}

} // namespace kit
