#include "decimal.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <version>
#if defined(__cpp_lib_to_chars)
#include <charconv>
#endif

namespace explore {
namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The numbers <charconv> reads: an optional '-', digits with at most one point among them (at
// least one digit), and an optional exponent with at least one digit. (It reads "inf" and "nan"
// too, which the scene refuses anyway as not finite.)
bool is_decimal(std::string_view text) {
    size_t at = 0, digits = 0;
    if (at < text.size() && text[at] == '-') ++at;
    for (; at < text.size() && is_digit(text[at]); ++at) ++digits;
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && is_digit(text[at]); ++at) ++digits;
    if (digits == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const size_t first = at;
        while (at < text.size() && is_digit(text[at])) ++at;
        if (at == first) return false;
    }
    return at == text.size();
}

template <typename T> std::optional<T> read_c(std::string_view text) {
    if (text.size() > 400 || !is_decimal(text)) return std::nullopt;
    const std::string copy(text);
    errno = 0;
    T value;
    if constexpr (sizeof(T) == sizeof(float))
        value = std::strtof(copy.c_str(), nullptr);
    else
        value = std::strtod(copy.c_str(), nullptr);
    // Out of range is too large, or too small for anything but zero (a subnormal result is
    // kept, as <charconv> keeps it).
    if ((errno == ERANGE && value == 0) || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The shortest digits that read back (printf's %e rounds correctly, so the first precision whose
// digits read back gives the closest of the shortest), then laid out fixed or scientific.
template <typename T> std::string shortest_c(T value) {
    constexpr int most = sizeof(T) == sizeof(float) ? 9 : 17;
    char buffer[64];
    for (int digits = 1; digits <= most; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, static_cast<double>(value));
        const auto back = read_c<T>(buffer);
        if (back && *back == value) break;
    }
    // buffer: [-]d[.ddd]e(+|-)XX
    std::string text(buffer);
    const bool negative = text[0] == '-';
    if (negative) text.erase(0, 1);
    const size_t e = text.find('e');
    const int exponent = std::atoi(text.c_str() + e + 1);
    std::string mantissa;
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.') mantissa += text[i];
    while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
    std::string scientific = mantissa.substr(0, 1);
    if (mantissa.size() > 1) scientific.append(".").append(mantissa, 1);
    char power[16];
    std::snprintf(power, sizeof power, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    scientific += power;
    std::string fixed;
    const int whole = exponent + 1; // digits before the point
    if (whole <= 0) {
        fixed.assign("0.").append(static_cast<size_t>(-whole), '0').append(mantissa);
    } else if (static_cast<size_t>(whole) >= mantissa.size()) {
        // A whole number written fixed shows all its digits, as <charconv> does, not zeros after
        // the shortest ones (the length is the same, so the choice of form stands).
        char digits[400];
        std::snprintf(digits, sizeof digits, "%.0f", std::fabs(static_cast<double>(value)));
        fixed = digits;
    } else {
        fixed.assign(mantissa, 0, static_cast<size_t>(whole))
            .append(".")
            .append(mantissa, static_cast<size_t>(whole));
    }
    std::string out(negative ? "-" : "");
    return out.append(fixed.size() <= scientific.size() ? fixed : scientific);
}

#if defined(__cpp_lib_to_chars)
template <typename T> std::optional<T> read_charconv(std::string_view text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

template <typename T> std::string shortest_charconv(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}
#endif

} // namespace

std::optional<double> read_double_c(std::string_view text) {
    return read_c<double>(text);
}
std::optional<float> read_float_c(std::string_view text) {
    return read_c<float>(text);
}
std::string shortest_text_c(double value) {
    return shortest_c(value);
}
std::string shortest_text_c(float value) {
    return shortest_c(value);
}

#if defined(__cpp_lib_to_chars)
std::optional<double> read_double(std::string_view text) {
    return read_charconv<double>(text);
}
std::optional<float> read_float(std::string_view text) {
    return read_charconv<float>(text);
}
std::string shortest_text(double value) {
    return shortest_charconv(value);
}
std::string shortest_text(float value) {
    return shortest_charconv(value);
}
#else
std::optional<double> read_double(std::string_view text) {
    return read_double_c(text);
}
std::optional<float> read_float(std::string_view text) {
    return read_float_c(text);
}
std::string shortest_text(double value) {
    return shortest_text_c(value);
}
std::string shortest_text(float value) {
    return shortest_text_c(value);
}
#endif

} // namespace explore
