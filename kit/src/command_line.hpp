// The programs' command line: its options and the usage text.
#pragma once

#include "kit/program.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

// The largest --scale: a window 6400x4800 is already larger than any screen made today.
inline constexpr int max_scale = 8;

struct Options {
    bool help = false;
    bool version = false;
    std::optional<std::string> export_dir;
    std::optional<unsigned> seed;
    int scale = 1;           // the window is scale times 800x600, each pixel a scale x scale block
    bool fullscreen = false; // the picture as large as the screen allows, bars where it ends
    int start = 1;           // the first slide shown; those before it are drawn unseen
};

// A whole number from low to high, in decimal digits and nothing else.
std::optional<unsigned> parse_number(std::string_view text, unsigned low, unsigned high);

// Whether argv[i] is `option`, as "--option value" (i then moves on to the value) or
// "--option=value", with the value in `value`; missing_value for "--option" as the last word.
enum class Match { no, yes, missing_value };
Match take_option(int argc, char** argv, int& i, std::string_view option, std::string_view& value);

// Fills options for the program, or returns a one-line error message.
std::optional<std::string> parse_options(int argc, char** argv, const Program& program,
                                         Options& options);

std::string usage(const Program& program);

// The usage, then each slide's number and caption.
std::string help(const Program& program);

// `text` (an argument, a path) as it may stand in a one-line message: control characters and
// bytes that are not UTF-8 as escapes (\n, \t, \x1b), and a text of more than `limit` bytes cut
// in the middle, where "..." stands for what was left out.
std::string shown(std::string_view text, size_t limit = 100);

// "figure6 1.0.0": the program and the project's version.
std::string version_line(const Program& program);

} // namespace kit
