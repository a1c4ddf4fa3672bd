// The ways a slide script runs: in a window, where each slide waits for the viewer, or headless
// against a software surface, where each slide is handed to an observer (the export, the tests,
// the benchmark).
#pragma once

#include "command_line.hpp"
#include "failure.hpp"
#include "kit/program.hpp"
#include "pacing_modes.hpp"

#include <optional>

namespace kit {

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

} // namespace kit
