// What differs between the desktop and the browser: the window and the wait for the viewer. Each
// of platform_desktop.cpp and platform_web.cpp defines all of these and nothing else; CMake
// builds the one that fits the target.
#pragma once

#include "keys.hpp"
#include "kit/program.hpp"

#include <optional>
#include <string>

namespace kit::platform {

// How the window shows the 800x600 picture. The screen the scripts draw into is 800x600
// whatever these say; only its presentation is enlarged.
struct WindowSettings {
    int scale = 1;                      // a window scale times 800x600, each pixel a block
    bool fullscreen = false;            // the whole screen, the picture enlarged to fit it
    std::optional<unsigned> clock_seed; // the palette's seed, told to the viewer, when the clock
                                        // chose it
    std::optional<unsigned> seed;       // the palette's seed, whoever chose it (none: fixed
                                        // colours), for the page's address and saved slides
};

// Opens the program's 800x600 window (in the browser: takes over the page's canvas) and makes
// its surface the screen, locked for drawing where SDL needs that. Returns what went wrong, with
// the window closed again, if it cannot.
std::optional<std::string> open_window(const Program& program, const WindowSettings& settings);

// Unlocks the screen, lets it go and closes the window.
void close_window();

// The flip: puts what the screen holds on view (the screen is unlocked meanwhile).
void flip_screen();

// Tells the viewer that slide `slide` (1, 2, ...) stands on view, before the wait for them.
void announce_slide(int slide);

// Waits for the viewer to ask the show for a move: a key by the rules of keys.hpp (keys that ask
// nothing are passed over), a close request (forward), in the page also a click or tap on the
// picture (forward) and the page's buttons. A window that lost its picture meanwhile is shown
// the same screen again.
Move wait_for_move();

// The show leaves the slide on view for slide `next` (0: for the end).
void moving_on(int next);

} // namespace kit::platform
