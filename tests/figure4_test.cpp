#include "figure4.hpp"
#include "kit/canvas.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

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
bool on_box(int x, int y, int base) {
    return ((y == base || y == base - 74) && x >= 20 && x <= 240) ||
           ((x == 20 || x == 240) && y >= base - 74 && y <= base);
}

void expect_box_on_white(const Picture& picture, int base) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            ASSERT_EQ(picture.at(x, y), on_box(x, y, base) ? red : white) << x << "," << y;
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
    expect_box_on_white(slide(1), 268);
    // The second half starts from a white screen.
    expect_box_on_white(slide(6), 368);
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
bool in_fill(int x, int y, int base) {
    return x >= 20 && x <= 239 && y >= base - 73 && y <= base;
}

Picture filled(const Picture& before, int base) {
    Picture after = before;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (in_fill(x, y, base) && before.at(x, y) == white)
                after.pixels[static_cast<size_t>(y) * 800 + x] = x <= 129 ? red : blue;
    return after;
}

// Only the 640 x 480 area is masked; columns 20..240 and rows B - 73..B are kept.
Picture masked(const Picture& before, int base) {
    Picture after = before;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (!(x >= 20 && x <= 240 && y >= base - 73 && y <= base))
                after.pixels[static_cast<size_t>(y) * 800 + x] = white;
    return after;
}

// Rows B - 73..B repeat tile columns 20..239 with period 220; the other rows stay.
Picture replicated(const Picture& before, int base) {
    Picture after = before;
    for (int y = base - 73; y <= base; ++y)
        for (int x = 0; x < 800; ++x)
            after.pixels[static_cast<size_t>(y) * 800 + x] =
                before.at(20 + ((x - 20) % 220 + 220) % 220, y);
    return after;
}

void expect_same(const Picture& actual, const Picture& expected) {
    const auto wrong = test::differences(actual, expected, 1);
    if (!wrong.empty())
        ADD_FAILURE() << "first difference at " << wrong[0].first << "," << wrong[0].second;
}

TEST(Figure4Slides, FillPaintsWhiteRedThenBlue) {
    const Picture& before = slide(2);
    const Picture& after = slide(3);
    expect_same(after, filled(before, 268));
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
    expect_same(slide(4), masked(slide(3), 268));
    EXPECT_EQ(slide(4).at(100, 194), white);
}

TEST(Figure4Slides, FirstTileRepeatsAcrossTheWindow) {
    expect_same(slide(5), replicated(slide(4), 268));
}

TEST(Figure4Slides, SecondTileIsFilledMaskedAndRepeated) {
    expect_same(slide(8), masked(filled(slide(7), 368), 368));
    expect_same(slide(9), replicated(slide(8), 368));
}

// A colour naming its own position.
Uint32 tag(int x, int y) {
    return static_cast<Uint32>(0x10000000 | x << 12 | y);
}

void plant_tags() {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) kit::put_pixel(x, y, tag(x, y));
}

TEST(Figure4Replicate, CopiesTheTileRowsWithPeriod220) {
    test::SoftwareScreen screen;
    plant_tags();
    kit::tile_left = 20;
    kit::tile_base = 268;
    figure4::replicate_tile();
    for (int x : {20, 240, 460, 680}) EXPECT_EQ(kit::get_pixel(x, 268), tag(20, 268)) << x;
    // Column L + 220 took column 20's colour before the scan read it.
    for (int y = 195; y <= 268; ++y) ASSERT_EQ(kit::get_pixel(240, y), tag(20, y)) << y;
    // Column 241 (u > 1) is not copied: column 21 keeps its own colours.
    EXPECT_EQ(kit::get_pixel(21, 200), tag(21, 200));
    EXPECT_EQ(kit::get_pixel(241, 200), tag(21, 200));
    // The whole screen: rows 195..268 (B - y <= 73) repeat, everything else is as planted. The
    // copies to -200 and past 799 are dropped, not wrapped into the neighbouring rows (the copy
    // of (20, 195) to -200 would otherwise land on (600, 194)).
    for (int y = 0; y < 600; ++y) {
        const bool tile_row = y >= 195 && y <= 268;
        for (int x = 0; x < 800; ++x) {
            const int from = 20 + ((x - 20) % 220 + 220) % 220;
            ASSERT_EQ(kit::get_pixel(x, y), tile_row ? tag(from, y) : tag(x, y)) << x << "," << y;
        }
    }
}

TEST(Figure4Replicate, ColumnAtUExactlyOneIsCopied) {
    // From L = 20 the right edge only repeats column L; with the tile 100 columns left of the
    // window, column 120 (u = 1) is the only source of column 780 (its copy at k = 3).
    test::SoftwareScreen screen;
    plant_tags();
    kit::tile_left = -100;
    kit::tile_base = 268;
    figure4::replicate_tile();
    for (int y = 195; y <= 268; ++y) ASSERT_EQ(kit::get_pixel(780, y), tag(120, y)) << y;
    EXPECT_EQ(kit::get_pixel(780, 194), tag(780, 194));
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

TEST(Figure4Export, WritesNineSlidesAsShown) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("figure4-export-" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::remove_all(dir);
    std::string dir_arg = dir.string();
    std::string a0 = "figure4", a1 = "--export", a3 = "--seed", a4 = "7";
    char* argv[] = {a0.data(), a1.data(), dir_arg.data(), a3.data(), a4.data(), nullptr};
    ASSERT_EQ(kit::run(5, argv, figure4::program), 0);
    long files = std::distance(std::filesystem::directory_iterator(dir),
                               std::filesystem::directory_iterator());
    EXPECT_EQ(files, 9);
    for (int n = 1; n <= 9; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "slide-%02d.png", n);
        const auto picture = test::read_png((dir / name).string());
        ASSERT_TRUE(picture.has_value()) << name;
        EXPECT_TRUE(*picture == slide(n)) << name;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
