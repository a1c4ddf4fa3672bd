// What differs between the desktop and the browser. Each of platform_desktop.cpp and
// platform_web.cpp defines all of these (and kit::wait_for_key); CMake builds the one that fits
// the target, with the desktop's export (export.cpp) beside it.
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
// its surface the screen. Returns what went wrong, with the window closed again, if it cannot.
std::optional<std::string> open_window(const Program& program, const WindowSettings& settings);

// Closes it again, once the screen is unlocked and let go.
void close_window();

// Puts what the screen holds on view (the flip); the screen is unlocked meanwhile.
void present();

// Slide `slide` (1, 2, ...) stands on view and the show waits for the viewer.
void slide_shown(int slide);

// Writes every slide of the show into a folder, without a window; returns the exit status.
// Only the desktop has files to write to.
int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed);

} // namespace kit::platform
