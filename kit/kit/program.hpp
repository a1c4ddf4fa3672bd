// A slide show program: what it is called, how many slides it shows, and the script that draws
// them; run() is its whole main.
#pragma once

#include "kit/orbits.hpp"

#include <span>

namespace kit {

struct Program {
    const char* name = "";                   // "figure6": the window caption, the name in messages
    int slide_count = 0;                     // how many show_slide calls the script makes
    std::span<const char* const> captions{}; // one plain line a slide, saying what it shows
    bool seeds_from_clock = false;           // seed the palette from the clock unless --seed
    bool uses_palette = true;                // the random palette is drawn with: --seed matters
    std::span<const OrbitRow> orbit_rows{};  // the portraits the script plots
    void (*script)() = nullptr;              // maps its colours, draws and shows the slides
};

// The caption of slide `slide` (1 to slide_count), or "" where the program has none.
const char* caption(const Program& program, int slide);

// Parses the command line, then shows the slides in a window or exports them. Returns the
// process exit status: 0 done, 1 failure, 2 bad command line.
int run(int argc, char** argv, const Program& program);

} // namespace kit
