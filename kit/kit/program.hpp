// Start-up, the command line and the ways a slide script can be run: in a window, exported to
// PNG files, or headless with each slide handed to an observer.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kit {

struct Program {
    const char* name = "";         // "figure6": the window caption and the name in messages
    int slide_count = 0;           // how many show_slide calls the script makes
    bool seeds_from_clock = false; // srand(time(NULL)) at start-up when no --seed is given
    void (*script)() = nullptr;    // maps its colours, draws and shows the slides
};

// The whole program: parses argv, then shows the slides in a window or exports them.
// Returns the process exit status (0 done, 1 failure, 2 bad command line).
int run(int argc, char** argv, const Program& program);

// Called after each show_slide with the slide's number (1, 2, ...); the screen holds the slide.
using SlideObserver = std::function<void(int slide)>;

// Runs the script against an 800x600 32-bit software surface, without a window and without
// waiting. Seeds like the program would (the clock or never) unless a seed is given.
void run_headless(const Program& program, const SlideObserver& on_slide,
                  std::optional<unsigned> seed = std::nullopt);

// Creates an 800x600 32-bit software surface in the window's pixel format and makes it the
// screen; release_screen frees it. Drawing routines can be tested on it without a window.
void install_software_screen();
void release_screen();

// The command line, parsed.
struct Options {
    bool help = false;
    std::optional<std::string> export_dir;
    std::optional<unsigned> seed;
};

// Fills options, or returns a one-line error message.
std::optional<std::string> parse_options(int argc, char** argv, Options& options);

std::string usage(const Program& program);

} // namespace kit
