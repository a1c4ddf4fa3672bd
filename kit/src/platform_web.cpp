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
// - The page around the canvas is told when the show starts (with the seed of the colours and
//   the slides' captions), when a slide stands, and when the viewer has moved on and which
//   slide is being drawn.
// - The page's buttons ask for moves and for the slide on view as a PNG file, which the kit
//   prepares (kit/png.hpp) and the page compresses with the browser's deflate: a wait takes
//   these requests as it takes keys.
// - The presenter's keys (keys.hpp: View) are told to the page, which shows the slide number and
//   caption beside the picture in full screen, and the blank screens over it, in HTML: the
//   canvas keeps the slide.
#include "kit/canvas.hpp"
#include "platform.hpp"
#include "slide_texts.hpp"

#include <SDL.h>
#include <emscripten.h>

#include <string>

namespace kit {
namespace {

// How long a wait sleeps between looks at the event queue: about one frame.
constexpr int poll_interval_ms = 16;

// clang-format off
// The seed goes as a double: every unsigned value fits.
EM_JS(void, notify_show_started, (const char* name, int slide_count, bool has_seed, double seed,
                                  const char* captions), {
    if (Module.onShowStarted)
        Module.onShowStarted(UTF8ToString(name), slide_count, has_seed ? seed : null,
                             UTF8ToString(captions).split('\n'));
});

EM_JS(void, notify_slide_shown, (int slide), {
    if (Module.onSlide) Module.onSlide(slide);
});

EM_JS(void, notify_drawing_next, (int slide), {
    if (Module.onDrawingNext) Module.onDrawingNext(slide);
});

// The presenter's view (keys.hpp): the margin's slide number and caption asked for or not, and
// the screen blanked ('black', 'white') or not (an empty text).
EM_JS(void, notify_view, (bool info, int blank), {
    if (Module.onView) Module.onView(info, ["", 'black', 'white'][blank]);
});

// The page's requests, oldest first: 'forward', 'back' or 'download' (0: none, 1, 2, 3).
EM_JS(int, take_page_request, (), {
    const request = Module.figuresRequests ? Module.figuresRequests.shift() : undefined;
    return ['forward', 'back', 'download'].indexOf(request) + 1;
});

EM_JS(void, drop_page_requests, (), {
    if (Module.figuresRequests) Module.figuresRequests.length = 0;
});

// A PNG file but for its image data, and that data uncompressed, both copied out of the
// program's memory: the page deflates and completes it (web/png.js).
EM_JS(void, save_png, (const Uint8* head, int head_size, const Uint8* scanlines,
                       int scanlines_size), {
    if (Module.onSave)
        Module.onSave(HEAPU8.slice(head, head + head_size),
                      HEAPU8.slice(scanlines, scanlines + scanlines_size));
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

// The move an event asks for. A press of the main mouse button on the canvas moves forward,
// and that is also what a tap on a touch screen arrives as: in a page the picture is the obvious
// thing to click. Other buttons and the wheel (which arrives as buttons 4 and 5) do nothing.
Move event_move(const SDL_Event& event) {
    if (event.type == SDL_KEYDOWN)
        return key_move(event.key.keysym.sym, static_cast<SDLMod>(event.key.keysym.mod));
    if (event.type == SDL_QUIT) return Move::forward;
    if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT)
        return Move::forward;
    return Move::none;
}

// What a saved slide says about itself: the show's program and seed, and the slide on view; and
// what the page shows around it (the page draws the margin and the blank screens itself, over
// and beside the canvas, which keeps the slide).
struct Show {
    const Program* program = nullptr;
    std::optional<unsigned> seed;
    int slide = 0;
    View view;
};
Show show;

// The move left for the show once the view has taken its part (keys.hpp: take_move).
Move after_view(Move move) {
    const View before = show.view;
    move = take_move(show.view, move);
    if (show.view != before) notify_view(show.view.info, static_cast<int>(show.view.blank));
    return move;
}

void save_slide() {
    const auto texts = slide_texts(*show.program, show.slide, show.seed);
    const PngParts png = png_parts(screen_image(), texts);
    save_png(png.head.data(), static_cast<int>(png.head.size()), png.scanlines.data(),
             static_cast<int>(png.scanlines.size()));
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
std::optional<std::string> platform::open_window(const Program& program,
                                                 const WindowSettings& settings) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return std::string("cannot start the video system: ") + SDL_GetError();
    screen = SDL_SetVideoMode(screen_width, screen_height, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (!screen) {
        const std::string error = std::string("cannot draw into the page: ") + SDL_GetError();
        SDL_Quit();
        return error;
    }
    show = {.program = &program, .seed = settings.seed, .slide = 0, .view = {}};
    std::string captions;
    for (int slide = 1; slide <= program.slide_count; ++slide)
        captions += std::string(slide > 1 ? "\n" : "") + caption(program, slide);
    notify_show_started(program.name, program.slide_count, settings.seed.has_value(),
                        settings.seed.value_or(0), captions.c_str());
    wait_for_paint();
    lock_screen();
    return std::nullopt;
}

// The canvas keeps the last picture: the page goes on showing it after the show has ended. The
// screen is not unlocked, which would copy it to the canvas: a show ended early (q) has drawn the
// rest of its slides unseen.
void platform::close_window() {
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
    show.slide = slide;
    notify_slide_shown(slide);
}

void platform::moving_on(int next) {
    notify_drawing_next(next);
    wait_for_paint();
}

Move platform::wait_for_move() {
    // Whatever came in before the slide was on view (the flip has waited for the paint).
    SDL_Event event;
    while (SDL_PollEvent(&event)) continue;
    drop_page_requests();
    for (;;) {
        while (SDL_PollEvent(&event))
            if (const Move move = after_view(event_move(event)); move != Move::none) return move;
        Move move = Move::none;
        switch (take_page_request()) {
        case 1:
            move = after_view(Move::forward);
            break;
        case 2:
            move = after_view(Move::back);
            break;
        case 3:
            save_slide();
            break;
        }
        if (move != Move::none) return move;
        emscripten_sleep(poll_interval_ms);
    }
}

} // namespace kit
