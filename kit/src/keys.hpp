// What a key press asks of a slide show. One set of rules for the desktop and the page.
#pragma once

#include <SDL.h>

namespace kit {

enum class Move {
    none,    // a bare modifier, or a key pressed with Ctrl, Alt or Super held
    forward, // Right, PageDown, Space, Enter and every key not named elsewhere
    back,    // Left, PageUp (a presenter's remote sends it for "back") and Backspace
    first,   // Home
    last,    // End
    quit,    // Esc and q
};

Move key_move(SDLKey key, SDLMod modifiers);

} // namespace kit
