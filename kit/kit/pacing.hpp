// Slide pacing: each slide is put on view and the show waits for the viewer before it draws the
// next one on top.
#pragma once

namespace kit {

// One slide boundary: the flip, then the wait for the viewer. Without a window the slide is
// handed to the observer of the run (export, tests, benchmarks) instead. A show started at a
// later slide (--start) passes the slides before it without showing them or waiting.
void show_slide();

// The flip alone: puts what the screen holds on view without waiting (nothing without a window,
// or before the first slide on view).
void flip_screen();

// Blocks until a key press (returns 0) or a quit request (returns 1). A window that lost its
// picture meanwhile (uncovered, restored, mapped again) is shown the same screen again; every
// other event is consumed and ignored.
int wait_for_key();

// Slides shown so far in this run (safe to read from another thread).
int slides_shown();

} // namespace kit
