#include "figure4.hpp"
#include "kit/canvas.hpp"
#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <map>

namespace {

using test::Picture;

// figure4's own colours as the software screen stores them (0x00RRGGBB).
constexpr Uint32 white = 0xffffff, red = 0xff3232, blue = 0x3232ff;

constexpr unsigned seed = 7;

using Palette = std::array<Uint32, 256>;

struct Shown {
    std::vector<Picture> slides;
    Palette palette;
};

Shown run_figure4(std::optional<unsigned> with_seed) {
    Shown run;
    run.slides = test::capture_slides(figure4::program, with_seed);
    std::copy(std::begin(kit::palette), std::end(kit::palette), run.palette.begin());
    return run;
}

const Shown& seeded() {
    static const Shown run = run_figure4(seed);
    return run;
}

const Picture& slide(int n) {
    return seeded().slides.at(static_cast<size_t>(n - 1));
}

// The tile box outline of a 220-wide tile at left 20: rows B and B - 74, columns 20 and 240.
testing::AssertionResult box_on_white(const Picture& picture, int base) {
    return test::same_picture(picture,
                              test::outlined(test::blank(), {20, base - 74, 240, base}, red));
}

// Palette colours of the dots of a slide, as palette indices, and where the dots lie.
struct Dots {
    int x_min = 800, x_max = -1, y_min = 600, y_max = -1;
    std::map<int, long> indices; // index -> pixels; -1 for colours outside the palette
};

Dots dots_of(const Picture& picture) {
    std::map<Uint32, int> index_of;
    for (int i = 255; i >= 0; --i) index_of[seeded().palette[i]] = i;
    Dots dots;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const Uint32 c = picture.at(x, y);
            if (c == white || c == red) continue;
            const auto found = index_of.find(c);
            ++dots.indices[found == index_of.end() ? -1 : found->second];
            dots.x_min = std::min(dots.x_min, x);
            dots.x_max = std::max(dots.x_max, x);
            dots.y_min = std::min(dots.y_min, y);
            dots.y_max = std::max(dots.y_max, y);
        }
    return dots;
}

// With seed 7 the 63 colours the plots can use are distinct from each other, from the rest of
// the palette and from white and red, so a dot's colour names its palette index.
TEST(Figure4Palette, SeedSevenTellsItsColoursApart) {
    const Palette& palette = seeded().palette;
    for (int i = 0; i <= 62; ++i) {
        ASSERT_NE(palette[i], white);
        ASSERT_NE(palette[i], red);
        for (int j = 0; j < 256; ++j)
            if (j != i) {
                ASSERT_NE(palette[i], palette[j]) << i << " " << j;
            }
    }
}

TEST(Figure4Slides, NineSlides) {
    EXPECT_EQ(seeded().slides.size(), 9u);
    EXPECT_EQ(figure4::program.slide_count, 9);
}

TEST(Figure4Slides, BoxesOfBothHalves) {
    EXPECT_TRUE(box_on_white(slide(1), 268));
    // The second half starts from a white screen.
    EXPECT_TRUE(box_on_white(slide(6), 368));
}

// Every dot of a plot is in one of the colours palette[0..62] (trunc(10 s)), the first and the
// last orbits' colours show, and the box pixels the plot did not cover stay as they were.
void expect_plot(const Picture& before, const Picture& after, int x_max, int y_min, int y_base) {
    const Dots dots = dots_of(after);
    EXPECT_EQ(dots.x_min, 20);
    EXPECT_EQ(dots.x_max, x_max);
    EXPECT_EQ(dots.y_min, y_min);
    EXPECT_EQ(dots.y_max, y_base);
    EXPECT_EQ(dots.indices.count(-1), 0u);
    ASSERT_FALSE(dots.indices.empty());
    EXPECT_EQ(dots.indices.begin()->first, 0);
    EXPECT_EQ(dots.indices.rbegin()->first, 62);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const Uint32 c = after.at(x, y);
            if (c == white || c == red) {
                ASSERT_EQ(c, before.at(x, y)) << x << "," << y;
            }
        }
}

TEST(Figure4Slides, StretchedPlotReachesBeyondTheTile) {
    // Top row: the highest momentum 6.283112 gives 374 - 45 * 6.283112 = 91.26.
    expect_plot(slide(1), slide(2), 365, 91, 374);
}

TEST(Figure4Slides, CompressedPlotFitsOnePeriodIntoTheTileWidth) {
    // Column 240 is the box's right edge: the plot stops one column short of it.
    expect_plot(slide(6), slide(7), 239, 191, 474);
}

// White turns red in columns 20..129 and blue in 130..239, rows B - 73..B; the right edge
// (column 240) and the top edge (row B - 74) are not visited.
Picture filled(const Picture& before, int base) {
    return test::filled(before, {20, base - 73, 239, base}, 130, red, blue);
}

// Only the 640 x 480 area is masked; columns 20..240 and rows B - 73..B are kept.
Picture masked(const Picture& before, int base) {
    return test::masked(before, {20, base - 73, 240, base});
}

// Rows B - 73..B repeat tile columns 20..239 with period 220; the other rows stay.
Picture replicated(const Picture& before, int base) {
    return test::replicated(before, 20, base - 73, base, 220);
}

TEST(Figure4Slides, FillPaintsWhiteRedThenBlue) {
    const Picture& before = slide(2);
    const Picture& after = slide(3);
    EXPECT_TRUE(test::same_picture(after, filled(before, 268)));
    // The plot leaves white in both halves, so both colours are really painted.
    long left_white = 0, right_white = 0;
    for (int y = 195; y <= 268; ++y)
        for (int x = 20; x <= 239; ++x)
            if (before.at(x, y) == white) ++(x <= 129 ? left_white : right_white);
    EXPECT_GT(left_white, 500);
    EXPECT_GT(right_white, 500);
    EXPECT_EQ(test::count(after, red), test::count(before, red) + left_white);
    EXPECT_EQ(test::count(after, blue), test::count(before, blue) + right_white);
}

TEST(Figure4Slides, MaskKeepsTheWholeTileButItsTopEdge) {
    // Column 240 (u = 1) stays, the box's top edge (B - y = 74) turns white.
    EXPECT_TRUE(test::same_picture(slide(4), masked(slide(3), 268)));
    EXPECT_EQ(slide(4).at(100, 194), white);
}

TEST(Figure4Slides, FirstTileRepeatsAcrossTheWindow) {
    EXPECT_TRUE(test::same_picture(slide(5), replicated(slide(4), 268)));
}

TEST(Figure4Slides, SecondTileIsFilledMaskedAndRepeated) {
    EXPECT_TRUE(test::same_picture(slide(8), masked(filled(slide(7), 368), 368)));
    EXPECT_TRUE(test::same_picture(slide(9), replicated(slide(8), 368)));
}

TEST(Figure4Replicate, CopiesTheTileRowsWithPeriod220) {
    test::TaggedTile screen(20, 268, 220);
    kit::replicate_tile();
    for (int x : {20, 240, 460, 680}) EXPECT_EQ(kit::get_pixel(x, 268), test::tag(20, 268)) << x;
    // Column L + 220 took column 20's colour before the scan read it.
    for (int y = 195; y <= 268; ++y) ASSERT_EQ(kit::get_pixel(240, y), test::tag(20, y)) << y;
    // Column 241 (u > 1) is not copied: column 21 keeps its own colours.
    EXPECT_EQ(kit::get_pixel(21, 200), test::tag(21, 200));
    EXPECT_EQ(kit::get_pixel(241, 200), test::tag(21, 200));
    // The whole screen: rows 195..268 (B - y <= 73) repeat, everything else is as planted. The
    // copies to -200 and past 799 are dropped, not wrapped into the neighbouring rows (the copy
    // of (20, 195) to -200 would otherwise land on (600, 194)).
    for (int y = 0; y < 600; ++y) {
        const bool tile_row = y >= 195 && y <= 268;
        for (int x = 0; x < 800; ++x) {
            const int from = 20 + ((x - 20) % 220 + 220) % 220;
            ASSERT_EQ(kit::get_pixel(x, y), tile_row ? test::tag(from, y) : test::tag(x, y))
                << x << "," << y;
        }
    }
}

TEST(Figure4Replicate, ColumnAtUExactlyOneIsCopied) {
    // From L = 20 the right edge only repeats column L; with the tile 100 columns left of the
    // window, column 120 (u = 1) is the only source of column 780 (its copy at k = 3).
    test::TaggedTile screen(-100, 268, 220);
    kit::replicate_tile();
    for (int y = 195; y <= 268; ++y) ASSERT_EQ(kit::get_pixel(780, y), test::tag(120, y)) << y;
    EXPECT_EQ(kit::get_pixel(780, 194), test::tag(780, 194));
}

TEST(Figure4Seed, SameSeedSamePictures) {
    const Shown again = run_figure4(seed);
    EXPECT_EQ(again.palette, seeded().palette);
    ASSERT_EQ(again.slides.size(), seeded().slides.size());
    for (size_t i = 0; i < again.slides.size(); ++i)
        EXPECT_TRUE(again.slides[i] == seeded().slides[i]) << "slide " << i + 1;
}

TEST(Figure4Seed, WithoutSeedTheClockSeeds) {
    // A run without a seed has the palette of the run seeded with the time it started at, so
    // runs a second apart differ, and it is not the palette of a generator never seeded.
    const std::time_t before = std::time(nullptr);
    const Shown unseeded = run_figure4(std::nullopt);
    const std::time_t after = std::time(nullptr);
    bool matched = false;
    for (std::time_t t = before; t <= after && !matched; ++t) {
        matched = run_figure4(static_cast<unsigned>(t)).palette == unseeded.palette;
    }
    EXPECT_TRUE(matched);
    EXPECT_NE(run_figure4(static_cast<unsigned>(before)).palette,
              run_figure4(static_cast<unsigned>(before + 1)).palette);
    EXPECT_NE(unseeded.palette, run_figure4(1).palette); // the generator's state when unseeded
    EXPECT_FALSE(unseeded.slides.at(1) == run_figure4(1).slides.at(1));
}

} // namespace
