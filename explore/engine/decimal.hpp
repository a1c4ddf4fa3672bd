// Decimal numbers as the scene line writes them, the same on every platform: read from the whole
// text exactly (correctly rounded), and written in the shortest form that reads back to the same
// value, fixed or scientific, whichever is shorter (fixed on a tie). <charconv> does both where
// the C++ library has its floating-point part; the page's library has not, and there the C
// library's correctly rounded strtod and printf do it (see decimal.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace explore {

// The whole text as a finite number (no '+' in front, no spaces, nothing left over), or nothing.
std::optional<double> read_double(std::string_view text);
std::optional<float> read_float(std::string_view text);

std::string shortest_text(double value);
std::string shortest_text(float value);

// The same through the C library, on every platform, so that the tests can hold it against
// <charconv>.
std::optional<double> read_double_c(std::string_view text);
std::optional<float> read_float_c(std::string_view text);
std::string shortest_text_c(double value);
std::string shortest_text_c(float value);

} // namespace explore
