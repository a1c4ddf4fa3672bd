#include "kit/text.hpp"

#include "font_9x15.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace kit {
namespace {

static_assert(font::cell_width == text_cell_width && font::cell_height == text_cell_height);

constexpr char32_t replacement = 0xfffd;

// The character that starts at text[i], moving i past it. A byte that does not start a whole,
// shortest, valid sequence (a stray continuation byte, an overlong form, a surrogate, a code
// beyond U+10FFFF, a sequence cut short) is one replacement character, and i moves by that byte.
char32_t next_character(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    const size_t length = lead >= 0xc2 && lead <= 0xdf   ? 2
                          : lead >= 0xe0 && lead <= 0xef ? 3
                          : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                         : 0;
    bool valid = length > 0 && text.size() - i >= length;
    char32_t code = lead & (0x7f >> length);
    for (size_t k = 1; valid && k < length; ++k) {
        valid = (byte(i + k) & 0xc0) == 0x80;
        code = code << 6 | (byte(i + k) & 0x3f);
    }
    if (valid) {
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        valid = code >= smallest && code <= 0x10ffff && !(code >= 0xd800 && code <= 0xdfff);
    }
    if (!valid) {
        ++i;
        return replacement;
    }
    i += length;
    return code;
}

// The rows of the character's glyph: the replacement character's for one the font lacks, and
// for controls (which the table does not hold).
const std::uint16_t* glyph_rows(char32_t code) {
    const auto* end = std::end(font::glyphs);
    const auto* found =
        std::lower_bound(std::begin(font::glyphs), end, code,
                         [](const font::Glyph& g, char32_t c) { return g.code < c; });
    if (found == end || found->code != code) return glyph_rows(replacement);
    return found->rows;
}

size_t character_count(std::string_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) next_character(text, i);
    return count;
}

// The cells of one line of `width` pixels at `scale` (at least one).
size_t cells_in(int width, int scale) {
    const long long cell = static_cast<long long>(text_cell_width) * std::max(scale, 1);
    return static_cast<size_t>(std::max(1LL, width / cell));
}

} // namespace

void draw_text(const Image& image, int x, int y, std::string_view text, Rgb colour, int scale) {
    if (scale < 1 || image.width <= 0 || image.height <= 0) return;
    const std::uint32_t pixel = image.layout.pack(colour);
    // 64-bit positions: a cell far off the image, or a scale near INT_MAX, cannot overflow.
    const long long block = scale, cell = block * text_cell_width;
    const long long top = y, bottom = top + block * text_cell_height;
    if (top >= image.height || bottom <= 0) return;
    long long left = x;
    for (size_t i = 0; i < text.size() && left < image.width; left += cell) {
        const std::uint16_t* rows = glyph_rows(next_character(text, i));
        if (left + cell <= 0) continue;
        for (int r = 0; r < text_cell_height; ++r) {
            const long long y0 = std::max(top + r * block, 0LL);
            const long long y1 =
                std::min(top + (r + 1) * block, static_cast<long long>(image.height));
            if (y0 >= y1 || rows[r] == 0) continue;
            for (int c = 0; c < text_cell_width; ++c) {
                if (!(rows[r] >> (text_cell_width - 1 - c) & 1)) continue;
                const long long x0 = std::max(left + c * block, 0LL);
                const long long x1 =
                    std::min(left + (c + 1) * block, static_cast<long long>(image.width));
                for (long long py = y0; py < y1; ++py) {
                    std::uint32_t* row = image.row(static_cast<int>(py));
                    for (long long px = x0; px < x1; ++px) row[px] = pixel;
                }
            }
        }
    }
}

int text_width(std::string_view text, int scale) {
    if (scale < 1) return 0;
    const long long width = static_cast<long long>(character_count(text)) * text_cell_width *
                            static_cast<long long>(scale);
    return static_cast<int>(std::min(width, static_cast<long long>(INT_MAX)));
}

std::vector<std::string_view> wrap_text(std::string_view text, int width, int scale) {
    const size_t room = cells_in(width, scale);
    std::vector<std::string_view> lines;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i; // a line never starts with a cut's space
        if (i == text.size()) break;
        // The line from i: as many characters as fit, then back to the last space among them
        // if the text goes on with more than a space.
        size_t end = i, cells = 0, last_space = std::string_view::npos;
        while (end < text.size() && cells < room) {
            if (text[end] == ' ') last_space = end;
            next_character(text, end);
            ++cells;
        }
        if (end < text.size() && text[end] != ' ' && last_space != std::string_view::npos &&
            last_space > i)
            end = last_space;
        size_t trimmed = end;
        while (trimmed > i && text[trimmed - 1] == ' ') --trimmed;
        lines.push_back(text.substr(i, trimmed - i));
        i = end;
    }
    return lines;
}

} // namespace kit
