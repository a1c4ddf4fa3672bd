// Reading a command line and quoting what it was given.
//
// Offers: take_option ("--option value" or "--option=value"), parse_number (a whole number within
// limits), shown (any text made safe for a one-line message), and max_scale (the largest window
// scale the programs take).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

// The largest --scale: a window 6400x4800 is already larger than any screen made today.
inline constexpr int max_scale = 8;

// A whole number from low to high, in decimal digits and nothing else.
std::optional<unsigned> parse_number(std::string_view text, unsigned low, unsigned high);

// Whether argv[i] is `option`, as "--option value" (i then moves on to the value) or
// "--option=value", with the value in `value`; missing_value for "--option" as the last word.
enum class Match { no, yes, missing_value };
Match take_option(int argc, char** argv, int& i, std::string_view option, std::string_view& value);

// `text` (an argument, a path) as it may stand in a one-line message: control characters and
// bytes that are not UTF-8 as escapes (\n, \t, \x1b), and a text of more than `limit` bytes cut
// in the middle, where "..." stands for what was left out.
std::string shown(std::string_view text, std::size_t limit = 100);

} // namespace kit
