#include "kit/canvas.hpp"

#include "kit/random.hpp"
#include "platform.hpp"
#include "runtime.hpp"

#include <cstdlib>

namespace kit {

SDL_Surface* screen = nullptr;
Uint32 white, black, red, blue, yellow;
Uint32 palette[256];
int tile_left;
int tile_base;

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

// The browser's versions of these two are in platform_web.cpp.
#ifndef __EMSCRIPTEN__
void clear_screen(Uint32 colour) {
    SDL_FillRect(screen, nullptr, colour);
}

int wait_for_key() {
    SDL_Event event;
    for (;;) {
        if (SDL_WaitEvent(&event) == 0)
            throw Failure(std::string("waiting for a key press failed: ") + SDL_GetError());
        if (event.type == SDL_KEYDOWN) return 0;
        if (event.type == SDL_QUIT) return 1;
    }
}
#endif

void flip_screen() {
    if (runtime.mode != Mode::window) return;
    // Keep the surface locked while drawing where the platform needs it; the flip needs it free.
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
    SDL_Flip(screen);
    if (SDL_MUSTLOCK(screen)) SDL_LockSurface(screen);
}

void show_slide() {
    const int slide = ++runtime.slides_shown;
    if (runtime.mode == Mode::window) {
        flip_screen();
        page_slide_shown(slide);
        wait_for_key();
    } else if (runtime.on_slide) {
        runtime.on_slide(slide);
    }
}

int slides_shown() {
    return runtime.slides_shown.load();
}

} // namespace kit
