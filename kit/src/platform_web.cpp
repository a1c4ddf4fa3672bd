// The kit in the browser, on emscripten's SDL 1.2.
//
// That SDL keeps the screen's pixels in memory while the surface is locked and copies them into
// the page's canvas when it is unlocked, which the flip does; SDL_Flip itself does nothing. The
// same slide scripts therefore draw exactly as on the desktop. What differs:
// - A wait cannot block: the browser would freeze and never deliver the key. The wait polls
//   SDL's queue and then sleeps, handing control back to the browser (asyncify unwinds and
//   later resumes the whole call stack, slide script included).
// - The page around the canvas is told when the show starts and when a slide stands.
// - There are no files to export slides to.
#include "kit/canvas.hpp"
#include "platform.hpp"

#include <SDL.h>
#include <emscripten.h>

#include <cstdio>

namespace kit {
namespace {

// How long a wait sleeps between looks at the event queue: about one frame.
constexpr int poll_interval_ms = 16;

// clang-format off
EM_JS(void, notify_show_started, (const char* name, int slide_count), {
    if (Module.onShowStarted) Module.onShowStarted(UTF8ToString(name), slide_count);
});

EM_JS(void, notify_slide_shown, (int slide), {
    if (Module.onSlide) Module.onSlide(slide);
});
// clang-format on

} // namespace

// The page decides the canvas's size on screen; the settings are the desktop window's.
std::optional<std::string> platform::open_window(const Program& program, const WindowSettings&) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return std::string("cannot start the video system: ") + SDL_GetError();
    screen = SDL_SetVideoMode(screen_width, screen_height, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (!screen) {
        const std::string error = std::string("cannot draw into the page: ") + SDL_GetError();
        SDL_Quit();
        return error;
    }
    notify_show_started(program.name, program.slide_count);
    return std::nullopt;
}

void platform::close_window() {
    SDL_Quit();
}

void platform::present() {
    SDL_Flip(screen);
}

void platform::slide_shown(int slide) {
    notify_slide_shown(slide);
}

int platform::export_slides(const Program& program, const std::string&, std::optional<unsigned>) {
    std::fprintf(stderr,
                 "%s: the browser build saves no images; export the slides with the "
                 "desktop program\n",
                 program.name);
    return 2;
}

// A key press or a quit request ends the wait, as on the desktop. So does a press of the main
// mouse button on the canvas, which is also what a tap on a touch screen arrives as: in a page
// the picture is the obvious thing to click. Other buttons and the wheel (which arrives as
// buttons 4 and 5) do not advance.
int wait_for_key() {
    SDL_Event event;
    for (;;) {
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_KEYDOWN) return 0;
            if (event.type == SDL_QUIT) return 1;
            if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT)
                return 0;
        }
        emscripten_sleep(poll_interval_ms);
    }
}

} // namespace kit
