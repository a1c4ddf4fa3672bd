// The programs' command line: its options and the usage text.
#pragma once

#include "kit/program.hpp"

#include <optional>
#include <string>

namespace kit {

struct Options {
    bool help = false;
    bool version = false;
    std::optional<std::string> export_dir;
    std::optional<unsigned> seed;
};

// Fills options, or returns a one-line error message.
std::optional<std::string> parse_options(int argc, char** argv, Options& options);

std::string usage(const Program& program);

// "figure6 1.0.0": the program and the project's version.
std::string version_line(const Program& program);

} // namespace kit
