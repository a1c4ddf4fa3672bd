// What differs between the desktop and the browser: the window and the wait for the viewer. Each
// of platform_desktop.cpp and platform_web.cpp defines all of these and nothing else; CMake
// builds the one that fits the target.
#pragma once

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

// The wait of kit::wait_for_key.
int wait_for_key();

} // namespace kit::platform
