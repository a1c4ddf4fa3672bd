#include "runs.hpp"

#include "kit/canvas.hpp"
#include "platform.hpp"
#include "random.hpp"

#include <SDL.h>

#include <cstdio>
#include <ctime>

namespace kit {

Runtime runtime;

void lock_screen() {
    if (SDL_MUSTLOCK(screen)) SDL_LockSurface(screen);
}

void unlock_screen() {
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
}

void present_screen() {
    unlock_screen();
    platform::present();
    lock_screen();
}

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
    if (auto error = platform::open_window(program, settings)) {
        std::fprintf(stderr, "%s: %s\n", program.name, error->c_str());
        return 1;
    }
    // Drawing writes the pixels directly: the surface stays locked where the platform needs
    // it, except while it is put on view. (In the browser the locked pixels are the memory the
    // scripts draw into; unlocking copies them to the page's canvas.)
    lock_screen();
    runtime.mode = Mode::window;
    runtime.on_slide = nullptr;
    runtime.slides_shown = 0;
    runtime.first_shown = options.start;
    int status = 0;
    try {
        program.script();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", program.name, failure.what());
        status = 1;
    }
    unlock_screen();
    screen = nullptr;
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
    runtime.mode = Mode::headless;
    runtime.on_slide = on_slide;
    runtime.slides_shown = 0;
    runtime.first_shown = 1;
    const auto clock_seed = seed_random(program, seed);
    try {
        program.script();
    } catch (...) {
        runtime.on_slide = nullptr;
        release_screen();
        throw;
    }
    runtime.on_slide = nullptr;
    release_screen();
    return clock_seed;
}

} // namespace kit
