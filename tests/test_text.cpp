// The kit's bitmap text: a glyph's exact pixels, the scale, clipping wherever the text stands,
// the widths and the wrapping.
#include "kit/text.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Two glyphs as the misc-fixed 9x15 font's own file draws them ('#' set), and where each font
// pixel of a text made of them lies, worked out backwards from the image's pixels: the reference
// every drawing is held to.
constexpr const char* letter_a[15] = {
    ".........", ".........", "....#....", "...#.#...", "..#...#..",
    ".#.....#.", ".#.....#.", ".#.....#.", ".#######.", ".#.....#.",
    ".#.....#.", ".#.....#.", ".........", ".........", ".........",
};
constexpr const char* theta[15] = {
    ".........", ".........", "..####...", ".#....#..", ".#....#..",
    ".#....#..", ".######..", ".#....#..", ".#....#..", ".#....#..",
    ".#....#..", "..####...", ".........", ".........", ".........",
};

// "AθA" in UTF-8, and its glyphs.
const std::string a_theta_a = "A\xce\xb8"
                              "A";
const char* const* const a_theta_a_glyphs[3] = {letter_a, theta, letter_a};

bool reference_set(long long px, long long py, long long x, long long y, long long scale) {
    if (px < x || py < y) return false;
    const long long column = (px - x) / scale, row = (py - y) / scale;
    if (row >= 15 || column >= 27) return false;
    return a_theta_a_glyphs[column / 9][row][column % 9] == '#';
}

constexpr std::uint32_t background = 0x00123456, outside = 0x00fedcba;
constexpr kit::Rgb ink{200, 100, 50};
constexpr std::uint32_t ink_pixel = 0x00c86432; // ink in 0x00RRGGBB

// An image with a frame of guard pixels around it, inside one block of memory: a write outside
// the image lands in the frame.
struct Guarded {
    static constexpr int guard = 64;
    int w, h;
    std::vector<std::uint32_t> memory;
    kit::Image image;
    Guarded(int width, int height)
        : w(width), h(height),
          memory(static_cast<size_t>(width + 2 * guard) * (height + 2 * guard), outside) {
        const size_t stride = static_cast<size_t>(width + 2 * guard);
        image = {memory.data() + guard * stride + guard, width, height, stride, kit::xrgb_layout};
        kit::fill(image, background);
    }
    std::uint32_t at(int x, int y) const { return image.row(y)[x]; }
    long frame_pixels_written() const {
        long written = 0, inside = 0;
        for (std::uint32_t p : memory) written += p != outside;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) inside += at(x, y) != outside;
        return written - inside;
    }
};

TEST(Text, AGlyphIsTheFontsPixelsExactly) {
    Guarded canvas(20, 20);
    kit::draw_text(canvas.image, 3, 2, "A", ink);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool set = x >= 3 && x < 12 && y >= 2 && y < 17 && letter_a[y - 2][x - 3] == '#';
            ASSERT_EQ(canvas.at(x, y), set ? ink_pixel : background) << x << "," << y;
        }
    EXPECT_EQ(canvas.frame_pixels_written(), 0);
}

// Characters follow one another in cells, each font pixel a scale x scale block; clipped, the
// part inside the image is drawn and nothing outside it.
TEST(Text, OnlyPixelsInsideTheImageAreWrittenWhereverTheTextStands) {
    constexpr int w = 30, h = 20;
    std::vector<long long> xs{-1000, -28, -27,    -26,   -9,    -5, -1,
                              0,     3,   w - 20, w - 9, w - 1, w,  w + 1};
    std::vector<long long> ys{-1000, -15, -14, -8, -1, 0, 4, h - 15, h - 3, h - 1, h, h + 7};
    int drawn = 0;
    for (int scale : {1, 2, 5})
        for (long long x : xs)
            for (long long y : ys) {
                const long long sx = x * (x < 0 ? scale : 1), sy = y * (y < 0 ? scale : 1);
                Guarded canvas(w, h);
                kit::draw_text(canvas.image, static_cast<int>(sx), static_cast<int>(sy), a_theta_a,
                               ink, scale);
                ASSERT_EQ(canvas.frame_pixels_written(), 0)
                    << "scale " << scale << " at " << sx << "," << sy;
                for (int py = 0; py < h; ++py)
                    for (int px = 0; px < w; ++px) {
                        const bool set = reference_set(px, py, sx, sy, scale);
                        drawn += set;
                        ASSERT_EQ(canvas.at(px, py), set ? ink_pixel : background)
                            << "scale " << scale << " at " << sx << "," << sy << ": " << px << ","
                            << py;
                    }
            }
    EXPECT_GT(drawn, 1000); // the cases above show parts of the text, not only misses
    // Positions and scales at the ends of int: cells far beyond the image, or font pixels larger
    // than it, whose bounds do not fit an int.
    for (int x : {INT_MIN, INT_MIN + 1, -1, INT_MAX - 8, INT_MAX})
        for (int y : {INT_MIN, -1, INT_MAX})
            for (int scale : {1, INT_MAX / 27, INT_MAX}) {
                Guarded canvas(w, h);
                kit::draw_text(canvas.image, x, y, a_theta_a, ink, scale);
                ASSERT_EQ(canvas.frame_pixels_written(), 0) << x << "," << y << " x" << scale;
                for (int py = 0; py < h; ++py)
                    for (int px = 0; px < w; ++px)
                        ASSERT_EQ(canvas.at(px, py),
                                  reference_set(px, py, x, y, scale) ? ink_pixel : background)
                            << x << "," << y << " x" << scale << ": " << px << "," << py;
            }
}

TEST(Text, NothingIsDrawnAtAScaleBelowOneOrIntoAnEmptyImage) {
    Guarded canvas(20, 20);
    kit::draw_text(canvas.image, 0, 0, "A", ink, 0);
    kit::draw_text(canvas.image, 0, 0, "A", ink, -3);
    kit::draw_text(canvas.image.rows(0, 0), 0, 0, "A", ink);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(canvas.at(x, y), background);
    EXPECT_EQ(canvas.frame_pixels_written(), 0);
}

// What a glyph leaves in a fresh image, as a picture to compare.
std::vector<std::uint32_t> drawn(std::string_view text) {
    Guarded canvas(60, 15);
    kit::draw_text(canvas.image, 0, 0, text, ink);
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 60; ++x) pixels.push_back(canvas.at(x, y));
    return pixels;
}

TEST(Text, WhatTheFontLacksIsOneReplacementCharacter) {
    const std::string replacement = "\xef\xbf\xbd";
    const auto box = drawn(replacement);
    EXPECT_NE(box, drawn(" ")) << "the replacement character draws nothing";
    // A character outside the font, a control: one cell, the replacement's. Bytes that are no
    // UTF-8 (a stray byte, a sequence cut short, overlong forms, a surrogate, beyond U+10FFFF):
    // one replacement a byte.
    const std::pair<std::string, int> cases[] = {
        {"\xe4\xb8\x80", 1}, {"\x01", 1},         {"\x7f", 1},
        {"\xff", 1},         {"\xce", 1},         {"\xc0\xaf", 2},
        {"\xe0\x80\xaf", 3}, {"\xed\xa0\x80", 3}, {"\xf4\x90\x80\x80", 4}};
    for (const auto& [text, cells] : cases) {
        std::string expected;
        for (int i = 0; i < cells; ++i) expected += replacement;
        EXPECT_EQ(drawn(text), drawn(expected)) << "bytes of " << text.size();
    }
    EXPECT_EQ(drawn("A\xff"
                    "A"),
              drawn("A" + replacement + "A"));
}

TEST(Text, WidthsCountCharactersNotBytes) {
    EXPECT_EQ(kit::text_width(""), 0);
    EXPECT_EQ(kit::text_width("A"), 9);
    EXPECT_EQ(kit::text_width(a_theta_a), 27);
    // θ π ± × ≤ ≥ → … · – —: eleven characters of two and three bytes.
    const std::string signs = "\xce\xb8\xcf\x80\xc2\xb1\xc3\x97\xe2\x89\xa4\xe2\x89\xa5\xe2\x86\x92"
                              "\xe2\x80\xa6\xc2\xb7\xe2\x80\x93\xe2\x80\x94";
    EXPECT_EQ(kit::text_width(signs), 99);
    EXPECT_EQ(kit::text_width(signs, 3), 297);
    EXPECT_EQ(kit::text_width("\xff\xfe"), 18);
    EXPECT_EQ(kit::text_width("A", 0), 0);
    EXPECT_EQ(kit::text_width("AB", INT_MAX / 18), INT_MAX / 18 * 18);
    EXPECT_EQ(kit::text_width("ABC", INT_MAX / 18), INT_MAX);
    // What a text's width says is where the next text goes: drawn one after the other, two texts
    // are the two drawn as one.
    Guarded apart(60, 15), together(60, 15);
    kit::draw_text(apart.image, 0, 0, "A\xce\xb8", ink);
    kit::draw_text(apart.image, kit::text_width("A\xce\xb8"), 0, "A", ink);
    kit::draw_text(together.image, 0, 0, a_theta_a, ink);
    EXPECT_EQ(apart.memory, together.memory);
}

TEST(Text, WrappingCutsAtSpacesWithinTheWidth) {
    using Lines = std::vector<std::string_view>;
    const std::string_view text = "the orbits of the kicked map";
    EXPECT_EQ(kit::wrap_text(text, 10 * 9), (Lines{"the orbits", "of the", "kicked map"}));
    EXPECT_EQ(kit::wrap_text(text, 10 * 18, 2), (Lines{"the orbits", "of the", "kicked map"}));
    EXPECT_EQ(kit::wrap_text(text, 10 * 18 - 1, 2),
              (Lines{"the", "orbits of", "the", "kicked", "map"}));
    EXPECT_EQ(kit::wrap_text(text, 1000), (Lines{text}));
    // Spaces at a cut are dropped; a word longer than a line is cut in it, between characters.
    EXPECT_EQ(kit::wrap_text("ab   cd", 2 * 9), (Lines{"ab", "cd"}));
    EXPECT_EQ(kit::wrap_text("ab   cd", 4 * 9), (Lines{"ab", "cd"}));
    EXPECT_EQ(kit::wrap_text("abcdefg hi", 3 * 9), (Lines{"abc", "def", "g", "hi"}));
    EXPECT_EQ(kit::wrap_text("\xce\xb8\xce\xb8\xce\xb8\xce\xb8", 3 * 9),
              (Lines{"\xce\xb8\xce\xb8\xce\xb8", "\xce\xb8"}));
    EXPECT_EQ(kit::wrap_text("ab", 0), (Lines{"a", "b"}));
    EXPECT_EQ(kit::wrap_text("", 90), Lines{});
    EXPECT_EQ(kit::wrap_text("   ", 90), Lines{});
}

} // namespace
