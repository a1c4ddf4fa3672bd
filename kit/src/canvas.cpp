#include "kit/canvas.hpp"

#include "random.hpp"

#include <bit>

namespace kit {

SDL_Surface* screen = nullptr;
Uint32 white, black, red, blue, yellow;
Uint32 palette[256];
int tile_left;
int tile_base;
double tile_width;

Image image_of(SDL_Surface* surface) {
    // The shifts from the masks: the browser's SDL leaves its format's shift fields at 0.
    const SDL_PixelFormat* format = surface->format;
    const auto shift = [](Uint32 mask) { return mask ? std::countr_zero(mask) : 0; };
    return {.pixels = static_cast<std::uint32_t*>(surface->pixels),
            .width = surface->w,
            .height = surface->h,
            .stride = static_cast<std::size_t>(surface->pitch / 4),
            .layout = {.red_shift = shift(format->Rmask),
                       .green_shift = shift(format->Gmask),
                       .blue_shift = shift(format->Bmask),
                       .opaque = format->Amask}};
}

Image screen_image() {
    return image_of(screen);
}

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

} // namespace kit
