// The programs' command line: its options and the usage text.
#pragma once

#include "kit/arguments.hpp"
#include "kit/program.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

struct Options {
    bool help = false;
    bool version = false;
    std::optional<std::string> export_dir;
    std::optional<unsigned> seed;
    int scale = 1;           // the window is scale times 800x600, each pixel a scale x scale block
    bool fullscreen = false; // the picture as large as the screen allows, bars where it ends
    int start = 1;           // the first slide shown; those before it are drawn unseen
};

// Fills options for the program, or returns a one-line error message.
std::optional<std::string> parse_options(int argc, char** argv, const Program& program,
                                         Options& options);

std::string usage(const Program& program);

// The usage, then each slide's number and caption.
std::string help(const Program& program);

// "figure6 1.0.0": the program and the project's version.
std::string version_line(const Program& program);

} // namespace kit
