// The drawing state every program shares and its pixel primitives (the slide pacing is in
// kit/pacing.hpp).
#pragma once

#include "kit/image.hpp"

#include <SDL.h>

#include <cstdint>
#include <optional>

namespace kit {

inline constexpr int screen_width = 800;
inline constexpr int screen_height = 600;

// The Canvas: one set of globals per program. Each slide script maps the named colours it uses;
// the others stay 0 and are never drawn with.
extern SDL_Surface* screen;
extern Uint32 white, black, red, blue, yellow;
extern Uint32 palette[256];
// The tile the tile mechanisms work on (kit/tile.hpp): its bottom-left corner and its width.
extern int tile_left;
extern int tile_base;
extern double tile_width;

// Pixels are 32-bit words addressed by the surface's pitch. Positions off the surface are
// ignored by put_pixel and read as 0 by get_pixel, so no caller can touch memory outside it.
inline bool on_screen(int x, int y) {
    return static_cast<unsigned>(x) < static_cast<unsigned>(screen->w) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(screen->h);
}

inline Uint32* pixel_address(int x, int y) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(screen->pixels) + y * screen->pitch) + x;
}

inline void put_pixel(int x, int y, Uint32 colour) {
    if (on_screen(x, y)) *pixel_address(x, y) = colour;
}

inline Uint32 get_pixel(int x, int y) {
    return on_screen(x, y) ? *pixel_address(x, y) : 0;
}

// The screen as an Image (its pixels, shape and pixel layout).
Image screen_image();

// An Image of a 32-bit surface's pixels, in its format's layout.
Image image_of(SDL_Surface* surface);

// SDL_MapRGB for the screen's format.
Uint32 map_rgb(Uint8 r, Uint8 g, Uint8 b);

// The named colours a program makes; those it leaves out are 0 and never drawn with.
struct NamedColours {
    Rgb white;
    std::optional<Rgb> black{}, red{}, yellow{}, blue{};
};

// White, black, red (255, 0, 0) and blue (0, 0, 255): the colours of most of the programs.
inline constexpr NamedColours primary_colours{
    .white = {255, 255, 255}, .black = {{0, 0, 0}}, .red = {{255, 0, 0}}, .blue = {{0, 0, 255}}};

// How every kicked-map slide script starts: maps its named colours (in the order above), makes
// the palette and turns the whole screen white.
void set_up_canvas(const NamedColours& colours);

// 256 random colours: three rand() calls per entry, the first giving blue, the second green and
// the third red.
void make_palette();

// The whole screen in one colour.
void clear_screen(Uint32 colour);

} // namespace kit
