// The kit in the browser, on emscripten's SDL 1.2.
//
// That SDL keeps the screen's pixels in memory while the surface is locked and copies them into
// the page's canvas when it is unlocked, which the flip does; SDL_Flip itself does nothing. The
// same slide scripts therefore draw exactly as on the desktop. Two things differ:
// - A wait cannot block: the browser would freeze and never deliver the key. The wait polls
//   SDL's queue and then sleeps, handing control back to the browser (asyncify unwinds and
//   later resumes the whole call stack, slide script included).
// - SDL_FillRect paints the canvas, not the locked pixel memory the script draws into, so the
//   screen is cleared word by word.
#include "kit/canvas.hpp"
#include "kit/png.hpp"
#include "platform.hpp"

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
// clang-format on

} // namespace

void page_show_started(const char* name, int slide_count) {
    notify_show_started(name, slide_count);
}

void page_slide_shown(int slide) {
    notify_slide_shown(slide);
}

void clear_screen(Uint32 colour) {
    for (int y = 0; y < screen->h; ++y) {
        Uint32* row = pixel_address(0, y);
        for (int x = 0; x < screen->w; ++x) row[x] = colour;
    }
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

std::optional<std::string> write_png(const std::string& path, SDL_Surface*) {
    return "cannot write " + path + ": the browser build does not save images; export the " +
           "slides with the desktop program";
}

} // namespace kit
