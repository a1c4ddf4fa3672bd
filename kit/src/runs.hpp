// The ways a slide script runs: in a window, where each slide waits for the viewer, or headless
// against a software surface, where each slide is handed to an observer (the export, the tests,
// the benchmark).
#pragma once

#include "command_line.hpp"
#include "kit/program.hpp"

#include <atomic>
#include <functional>
#include <optional>
#include <stdexcept>

namespace kit {

// Called after each show_slide with the slide's number (1, 2, ...); the screen holds the slide.
using SlideObserver = std::function<void(int slide)>;

// Shows the program in its window, from slide options.start on, until the last slide is
// dismissed; returns the exit status.
int run_in_window(const Program& program, const Options& options);

// Runs the script against an 800x600 32-bit software surface, without a window and without
// waiting. Seeds like the program would (the clock or never) unless a seed is given. Returns the
// seed when the clock chose it and the palette shows it, so that it can be told.
std::optional<unsigned> run_headless(const Program& program, const SlideObserver& on_slide,
                                     std::optional<unsigned> seed = std::nullopt);

// Creates an 800x600 32-bit software surface in the window's pixel format and makes it the
// screen; release_screen frees it. Drawing routines can be tested on it without a window.
void install_software_screen();
void release_screen();

// A window's surface is locked while the script draws into it (where SDL needs that), and
// unlocked to be shown.
void lock_screen();
void unlock_screen();

// Puts what the screen holds on view, unlocking it meanwhile.
void present_screen();

// How the current run presents its slides; show_slide reads it.
enum class Mode { window, headless };

struct Runtime {
    Mode mode = Mode::headless;
    SlideObserver on_slide;
    std::atomic<int> slides_shown{0};
    int first_shown = 1; // in a window, the slides before it are drawn but neither shown nor
                         // waited for
};

extern Runtime runtime;

// A failure that ends the program with a message and exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace kit
