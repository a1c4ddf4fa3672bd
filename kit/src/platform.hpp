// What differs between the desktop and the browser: the window and the wait for the viewer. Each
// of platform_desktop.cpp and platform_web.cpp defines all of these and nothing else; CMake
// builds the one that fits the target.
#pragma once

#include "keys.hpp"
#include "kit/program.hpp"
#include "kit/window.hpp"

#include <optional>
#include <string>

namespace kit::platform {

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
