#include "keys.hpp"

namespace kit {
namespace {

// Keys that only change what other keys mean: pressing one alone (on the way to Alt+Tab, say)
// must not cost the viewer a slide. Lock keys count among them. (A chain of comparisons rather
// than a switch: the browser's SDL headers give some of these names one value.)
bool is_modifier(SDLKey key) {
    return key == SDLK_LSHIFT || key == SDLK_RSHIFT || key == SDLK_LCTRL || key == SDLK_RCTRL ||
           key == SDLK_LALT || key == SDLK_RALT || key == SDLK_LMETA || key == SDLK_RMETA ||
           key == SDLK_LSUPER || key == SDLK_RSUPER || key == SDLK_MODE || key == SDLK_CAPSLOCK ||
           key == SDLK_NUMLOCK || key == SDLK_SCROLLOCK;
}

} // namespace

Move key_move(SDLKey key, SDLMod modifiers) {
    // A shortcut meant for the desktop or the terminal (Ctrl+C, Alt+Tab, Super+L) is not a
    // request to the show. Shift, Caps Lock and AltGr (typing keys) leave a key what it is.
    if (is_modifier(key) || (modifiers & (KMOD_CTRL | KMOD_ALT | KMOD_META))) return Move::none;
    // A remote's "start the show" button sends F5, and Shift+F5 for "from here"; both, and its
    // blank-screen button, are pressed in the middle of a show, where an advance would cost a
    // slide.
    if (key == SDLK_F5) return Move::none;
    if (key == SDLK_LEFT || key == SDLK_PAGEUP || key == SDLK_BACKSPACE) return Move::back;
    if (key == SDLK_HOME) return Move::first;
    if (key == SDLK_END) return Move::last;
    if (key == SDLK_ESCAPE || key == SDLK_q) return Move::quit;
    if (key == SDLK_i) return Move::info;
    if (key == SDLK_b || key == SDLK_PERIOD) return Move::black;
    if (key == SDLK_w || key == SDLK_COMMA) return Move::white;
    return Move::forward;
}

Move take_move(View& view, Move move) {
    if (move == Move::none) return move;
    if (view.blank != Blank::none) {
        view.blank = Blank::none;
        return Move::none;
    }
    switch (move) {
    case Move::info:
        view.info = !view.info;
        return Move::none;
    case Move::black:
        view.blank = Blank::black;
        return Move::none;
    case Move::white:
        view.blank = Blank::white;
        return Move::none;
    default:
        return move;
    }
}

} // namespace kit
