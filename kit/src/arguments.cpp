#include "kit/arguments.hpp"

#include <cstdio>
#include <vector>

namespace kit {
namespace {

// The length of the UTF-8 sequence at the start of `text` that encodes a printable character
// (not a control, C1 controls included), or 0.
size_t printable_utf8(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead >= 0x20 && lead < 0x7f) return 1;
    size_t length = lead >= 0xc2 && lead <= 0xdf   ? 2
                    : lead >= 0xe0 && lead <= 0xef ? 3
                    : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                   : 0;
    if (length == 0 || text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xc0) != 0x80) return 0;
    const unsigned char second = byte(1);
    if ((lead == 0xc2 && second < 0xa0) || (lead == 0xe0 && second < 0xa0) ||
        (lead == 0xed && second > 0x9f) || (lead == 0xf0 && second < 0x90) ||
        (lead == 0xf4 && second > 0x8f))
        return 0; // a C1 control, an overlong form, a surrogate, beyond U+10FFFF
    return length;
}

} // namespace

std::string shown(std::string_view text, size_t limit) {
    // The whole text escaped, and where each character's piece ends in it, so that a cut never
    // splits a character or its escape.
    std::string escaped;
    std::vector<size_t> ends;
    for (size_t i = 0; i < text.size();) {
        if (const size_t length = printable_utf8(text.substr(i))) {
            escaped += text.substr(i, length);
            i += length;
        } else {
            const unsigned char c = static_cast<unsigned char>(text[i++]);
            char escape[8];
            if (c == '\n' || c == '\t' || c == '\r')
                std::snprintf(escape, sizeof escape, "\\%c",
                              c == '\n'   ? 'n'
                              : c == '\t' ? 't'
                                          : 'r');
            else
                std::snprintf(escape, sizeof escape, "\\x%02x", c);
            escaped += escape;
        }
        ends.push_back(escaped.size());
    }
    if (escaped.size() <= limit) return escaped;
    // Two thirds of the room for the start, the rest for the end (a path's file name).
    const size_t room = limit > 3 ? limit - 3 : 0;
    size_t head = 0; // the characters kept at the start end here
    for (size_t end : ends) {
        if (end > room * 2 / 3) break;
        head = end;
    }
    size_t tail = escaped.size(); // and those at the end start here
    for (size_t i = ends.size(); i-- > 0;) {
        const size_t start = i == 0 ? 0 : ends[i - 1];
        if (start < head || head + escaped.size() - start > room) break;
        tail = start;
    }
    return escaped.substr(0, head) + "..." + escaped.substr(tail);
}

std::optional<unsigned> parse_number(std::string_view text, unsigned low, unsigned high) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    unsigned long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return static_cast<unsigned>(value);
}

Match take_option(int argc, char** argv, int& i, std::string_view option, std::string_view& value) {
    const std::string_view arg = argv[i];
    if (arg == option) {
        if (i + 1 >= argc) return Match::missing_value;
        value = argv[++i];
        return Match::yes;
    }
    if (arg.size() > option.size() && arg.starts_with(option) && arg[option.size()] == '=') {
        value = arg.substr(option.size() + 1);
        return Match::yes;
    }
    return Match::no;
}

} // namespace kit
