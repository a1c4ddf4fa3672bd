// The kit on a desktop: a window of SDL 1.2's, and the process's signals around it.
#include "kit/canvas.hpp"
#include "platform.hpp"
#include "runs.hpp"

#include <SDL.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace kit {
namespace {

// The window driver SDL picked. Without a display SDL quietly falls back to an invisible
// window, and the show would wait for keys that nobody can press.
bool is_invisible_driver() {
    char name[64] = {};
    if (!SDL_VideoDriverName(name, sizeof name)) return false;
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

// SDL answers SIGINT and SIGTERM by queueing a quit request, and a quit request only ends the
// current wait: a viewer's Ctrl+C, or a system stopping the program, would have to be repeated
// once per slide. The two signals get back what they did before SDL started: end the program
// (killed by the signal, the status a shell reports as 130 or 143), or stay ignored when the
// program was started with them ignored (nohup, a background job).
struct StopSignals {
    struct sigaction interrupt, terminate;
};

StopSignals save_stop_signals() {
    StopSignals saved{};
    sigaction(SIGINT, nullptr, &saved.interrupt);
    sigaction(SIGTERM, nullptr, &saved.terminate);
    return saved;
}

void restore_stop_signals(const StopSignals& saved) {
    sigaction(SIGINT, &saved.interrupt, nullptr);
    sigaction(SIGTERM, &saved.terminate, nullptr);
}

} // namespace

std::optional<std::string> platform::open_window(const Program& program) {
    const StopSignals stop_signals = save_stop_signals();
    const int started = SDL_Init(SDL_INIT_VIDEO);
    restore_stop_signals(stop_signals);
    if (started != 0) return std::string("cannot start the video system: ") + SDL_GetError();
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    if (is_invisible_driver() && !(requested && *requested)) {
        SDL_Quit();
        return std::string("no display to open a window on (is DISPLAY set?). Run it on a "
                           "desktop, or save the slides as images with --export DIR.");
    }
    screen = SDL_SetVideoMode(screen_width, screen_height, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    // Opening the window may start further parts of SDL that install the handlers again.
    restore_stop_signals(stop_signals);
    if (!screen) {
        const std::string error = std::string("cannot open an 800x600 window: ") + SDL_GetError();
        SDL_Quit();
        return error;
    }
    SDL_WM_SetCaption(program.name, program.name);
    return std::nullopt;
}

void platform::close_window() {
    SDL_Quit();
}

void platform::present() {
    SDL_Flip(screen);
}

void platform::slide_shown(int) {}

int wait_for_key() {
    SDL_Event event;
    for (;;) {
        if (SDL_WaitEvent(&event) == 0)
            throw Failure(std::string("waiting for a key press failed: ") + SDL_GetError());
        if (event.type == SDL_KEYDOWN) return 0;
        if (event.type == SDL_QUIT) return 1;
    }
}

} // namespace kit
