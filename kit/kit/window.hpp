// The window the kit opens: 800x600, its picture the screen (kit/canvas.hpp), enlarged sharply
// where asked (--scale, --fullscreen). The slide shows open it through kit::run; other programs
// (the frieze studio) open it themselves.
//
// Offers: WindowRole, WindowSettings, open_window, close_window, flip_screen.
#pragma once

#include "kit/program.hpp"

#include <optional>
#include <string>

namespace kit::platform {

// What the window is for. A slide show's tells its keys on the terminal as it opens and hides
// the pointer in full screen (a projected picture; the keys do all the work); a studio's takes
// the pointer and tells its own keys.
enum class WindowRole { slide_show, studio };

// How the window shows the 800x600 picture. The screen drawn into is 800x600 whatever these say;
// only its presentation is enlarged.
struct WindowSettings {
    int scale = 1;                      // a window scale times 800x600, each pixel a block
    bool fullscreen = false;            // the whole screen, the picture enlarged to fit it
    std::optional<unsigned> clock_seed; // the palette's seed, told to the viewer, when the clock
                                        // chose it
    std::optional<unsigned> seed;       // the palette's seed, whoever chose it (none: fixed
                                        // colours), for the page's address and saved slides
    WindowRole role = WindowRole::slide_show;
};

// Opens the program's 800x600 window (in the browser: takes over the page's canvas) and makes
// its surface the screen, locked for drawing where SDL needs that. Returns what went wrong, with
// the window closed again, if it cannot.
std::optional<std::string> open_window(const Program& program, const WindowSettings& settings);

// Unlocks the screen, lets it go and closes the window.
void close_window();

// The flip: puts what the screen holds on view (the screen is unlocked meanwhile).
void flip_screen();

} // namespace kit::platform
