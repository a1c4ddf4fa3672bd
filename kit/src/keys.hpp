// What a key press asks of a slide show, and what the presenter's keys make of the screen. One
// set of rules for the desktop and the page.
#pragma once

#include <SDL.h>

namespace kit {

enum class Move {
    none,    // a bare modifier, a key pressed with Ctrl, Alt or Super held, F5 (with or without
             // Shift: a presenter's remote sends it to start or resume a show, which runs already)
    forward, // Right, PageDown, Space, Enter and every key not named elsewhere
    back,    // Left, PageUp (a presenter's remote sends it for "back") and Backspace
    first,   // Home
    last,    // End
    quit,    // Esc and q
    info,    // i: the slide number and caption in the margin of full screen, or not
    black,   // b and . (a remote's "blank screen"): the screen black until the next key
    white,   // w and ,: the screen white until the next key
};

Move key_move(SDLKey key, SDLMod modifiers);

// What the viewer sees besides the slide, kept while the show moves on. The slide itself, its
// pixels and what it exports, never change for it.
enum class Blank { none, black, white };
struct View {
    bool info = false;         // the slide number and caption shown in full screen
    Blank blank = Blank::none; // the slide hidden behind one colour
    bool operator==(const View&) const = default;
};

// Applies a move to the view and returns what is left of it for the show: info, black and white
// change the view and leave nothing; on a blank screen every move (a second b too) only brings
// the slide back. Move::none changes nothing.
Move take_move(View& view, Move move);

} // namespace kit
