#include "kit/canvas.hpp"

#include "platform.hpp"
#include "random.hpp"
#include "runs.hpp"

namespace kit {

SDL_Surface* screen = nullptr;
Uint32 white, black, red, blue, yellow;
Uint32 palette[256];
int tile_left;
int tile_base;
double tile_width;

Uint32 map_rgb(Uint8 r, Uint8 g, Uint8 b) {
    return SDL_MapRGB(screen->format, r, g, b);
}

void make_palette() {
    for (Uint32& entry : palette) {
        const int c1 = next_rand();
        const int c2 = next_rand();
        const int c3 = next_rand();
        entry = map_rgb(c3 & 0xff, c2 & 0xff, c1 & 0xff);
    }
}

void set_up_canvas(const NamedColours& colours) {
    auto map = [](const std::optional<Rgb>& c) { return c ? map_rgb(c->r, c->g, c->b) : 0; };
    white = map(colours.white);
    black = map(colours.black);
    red = map(colours.red);
    yellow = map(colours.yellow);
    blue = map(colours.blue);
    make_palette();
    clear_screen(white);
}

// Word by word rather than SDL_FillRect: the pixels are what the scripts draw into, and in the
// browser SDL_FillRect would paint the page's canvas instead of them.
void clear_screen(Uint32 colour) {
    for (int y = 0; y < screen->h; ++y) {
        Uint32* row = pixel_address(0, y);
        for (int x = 0; x < screen->w; ++x) row[x] = colour;
    }
}

namespace {

// A show started at a later slide draws the slides before it without putting them on view.
bool on_view(int slide) {
    return runtime.mode == Mode::window && slide >= runtime.first_shown;
}

} // namespace

void flip_screen() {
    if (on_view(runtime.slides_shown + 1)) present_screen();
}

void show_slide() {
    const int slide = ++runtime.slides_shown;
    if (on_view(slide)) {
        present_screen();
        platform::slide_shown(slide);
        wait_for_key();
    } else if (runtime.mode == Mode::headless && runtime.on_slide) {
        runtime.on_slide(slide);
    }
}

int slides_shown() {
    return runtime.slides_shown.load();
}

} // namespace kit
