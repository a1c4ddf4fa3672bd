// Slide pacing: each slide is put on view and the show waits for the viewer before it draws the
// next one on top.
#pragma once

namespace kit {

// One slide boundary: the flip, then the wait for the viewer. Without a window the slide is
// handed to the observer of the run (export, tests, benchmarks) instead. A show started at a
// later slide (--start) passes the slides before it without showing them or waiting.
//
// The viewer moves on (the next slide), back (the previous one, or the first), to the last
// slide, or ends the show (kit/src/keys.hpp has the keys). The script only ever runs forwards:
// a move forward lets it go on, drawing unseen up to the slide asked for; a move back or an end
// lets it finish unseen, and the run then draws the show again from the start, unseen up to the
// slide asked for, or ends. So every slide on view is exactly the one the forward show shows.
void show_slide();

// The flip alone: puts what the screen holds on view without waiting (nothing without a window,
// or before the first slide on view).
void flip_screen();

// Slides shown so far in this run (safe to read from another thread).
int slides_shown();

} // namespace kit
