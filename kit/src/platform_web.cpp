// The kit in the browser, on emscripten's SDL 1.2.
//
// That SDL keeps the screen's pixels in memory while the surface is locked and copies them into
// the page's canvas when it is unlocked, which the flip does; SDL_Flip itself does nothing. The
// same slide scripts therefore draw exactly as on the desktop. What differs:
// - The browser paints only when the program hands control back to it, and drawing a slide
//   can take a second. So every flip, and every status the page is given, is followed by a
//   pause until the browser has painted a frame: the picture (figure1's empty box, say) and
//   the words above it are on view before the next long computation starts. (Asyncify unwinds
//   the whole call stack, slide script included, and resumes it afterwards.)
// - A wait cannot block either: it polls SDL's queue and sleeps in between.
// - Keys, clicks and taps made while a slide was being drawn are dropped when it is shown: they
//   were meant for a picture the viewer had not seen yet, and letting them through would skip
//   slides unseen. Each slide stands until an input made after it appeared.
// - The page around the canvas is told when the show starts, when a slide stands, and when the
//   viewer has moved on and the next slide is being drawn.
#include "kit/canvas.hpp"
#include "platform.hpp"

#include <SDL.h>
#include <emscripten.h>

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

EM_JS(void, notify_drawing_next, (), {
    if (Module.onDrawingNext) Module.onDrawingNext();
});

// Asks the browser for a frame: the flag below turns true once it has run a frame's animation
// callbacks and painted that frame (a timer set from the callback fires after the paint). A tab
// out of view gets no frames and shows nothing, so there it turns true at once, or as soon as
// the tab is hidden; a frame asked for before then, when it comes, answers nothing.
EM_JS(void, ask_for_paint, (), {
    const request = (Module.figuresPaintRequest || 0) + 1;
    Module.figuresPaintRequest = request;
    Module.figuresFramePainted = false;
    const painted = () => {
        if (Module.figuresPaintRequest === request) Module.figuresFramePainted = true;
        document.removeEventListener('visibilitychange', painted);
    };
    if (document.hidden) {
        painted();
        return;
    }
    document.addEventListener('visibilitychange', painted);
    requestAnimationFrame(() => setTimeout(painted, 0));
});

EM_JS(bool, frame_painted, (), {
    return Module.figuresFramePainted;
});
// clang-format on

// Hands control back to the browser until it has painted what the canvas and the page hold now.
// (A sleep rather than a promise: emscripten ends the program properly only when it resumes from
// its own timers.)
void wait_for_paint() {
    ask_for_paint();
    while (!frame_painted()) emscripten_sleep(1);
}

// What an event does to a wait: ends it on a key press (0) or a quit request (1), or not (-1).
// A press of the main mouse button on the canvas ends it too, and that is also what a tap on a
// touch screen arrives as: in a page the picture is the obvious thing to click. Other buttons
// and the wheel (which arrives as buttons 4 and 5) do not advance.
int wait_result(const SDL_Event& event) {
    if (event.type == SDL_KEYDOWN) return 0;
    if (event.type == SDL_QUIT) return 1;
    if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT) return 0;
    return -1;
}

// The scripts draw into the locked surface's pixels; unlocking copies them into the canvas.
void lock_screen() {
    if (SDL_MUSTLOCK(screen)) SDL_LockSurface(screen);
}

void unlock_screen() {
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
}

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
    wait_for_paint();
    lock_screen();
    return std::nullopt;
}

// The canvas keeps the last picture: the page goes on showing it after the show has ended.
void platform::close_window() {
    unlock_screen();
    screen = nullptr;
    SDL_Quit();
}

void platform::flip_screen() {
    unlock_screen();
    SDL_Flip(screen);
    wait_for_paint();
    lock_screen();
}

void platform::announce_slide(int slide) {
    notify_slide_shown(slide);
}

int platform::wait_for_key() {
    // Whatever came in before the slide was on view (the flip has waited for the paint).
    SDL_Event event;
    while (SDL_PollEvent(&event)) continue;
    for (;;) {
        while (SDL_PollEvent(&event)) {
            const int result = wait_result(event);
            if (result < 0) continue;
            notify_drawing_next();
            wait_for_paint();
            return result;
        }
        emscripten_sleep(poll_interval_ms);
    }
}

} // namespace kit
