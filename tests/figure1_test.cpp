#include "figure1.hpp"

#include "kit/canvas.hpp"
#include "kit/tile.hpp"
#include "random.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using kit::get_pixel;
using kit::put_pixel;
using test::Picture;
using test::tag;
using test::white, test::red, test::blue;

constexpr int bases[] = {168, 268, 368};

const Picture& slide(int number) {
    return test::slides_of(figure1::program).at(static_cast<size_t>(number - 1));
}

// The steps of the script on the tile with bottom row `base`, as the shared models write them
// out; the mirror is figure1's own.
Picture outlined(Picture p, int base) {
    return test::outlined(std::move(p), {20, base - 84, 270, base}, red);
}

Picture filled(Picture p, int base, bool split) {
    return test::filled(std::move(p), {20, base - 83, 269, base}, split ? 145 : 270, red, blue);
}

Picture masked(Picture p, int base) {
    return test::masked(std::move(p), {20, base - 42, 270, base});
}

Picture mirrored(Picture p, int base) {
    for (int x = 20; x <= 270; ++x)
        for (int y = base - 83; y <= base - 42; ++y) p.at(x, y) = p.at(x, 2 * base - 84 - y);
    return p;
}

Picture replicated(Picture p, int base) {
    return test::replicated(std::move(p), 20, base - 83, base, 250);
}

TEST(Figure1Slides, ThirteenSlidesTheSameOnEveryRun) {
    const auto& slides = test::slides_of(figure1::program);
    ASSERT_EQ(slides.size(), 13u);
    // The program never seeds, so every run draws the palette of the unseeded generator, however
    // far earlier code has advanced it.
    kit::seed_rand(99);
    const auto first = test::capture_slides(figure1::program);
    kit::next_rand();
    const auto second = test::capture_slides(figure1::program);
    EXPECT_TRUE(first == slides);
    EXPECT_TRUE(second == slides);
    // The orbit colours do come from the palette: another seed, other pictures.
    EXPECT_FALSE(test::capture_slides(figure1::program, 99)[0] == slide(1));
}

TEST(Figure1Slides, EachTileStartsAsAnEmptyBoxOnAWhiteScreen) {
    EXPECT_TRUE(test::same_picture(slide(5), outlined(test::blank(), 268))) << "slide 5";
    EXPECT_TRUE(test::same_picture(slide(10), outlined(test::blank(), 368))) << "slide 10";
}

TEST(Figure1Orbits, EachRowSweepsItsSeedsOverItsArea) {
    EXPECT_EQ(kit::orbit_count(figure1::kick_0_9), 6284);
    EXPECT_EQ(kit::orbit_count(figure1::kick_1_wide), 1257);
    EXPECT_EQ(kit::orbit_count(figure1::kick_1), 1257);
    EXPECT_EQ(test::reach_of(figure1::kick_0_9), (test::Reach{{20, 271, 18, 238}, 7, 38}));
    EXPECT_EQ(test::reach_of(figure1::kick_1_wide), (test::Reach{{20, 428, 74, 420}, 0, 62}));
    EXPECT_EQ(test::reach_of(figure1::kick_1), (test::Reach{{20, 271, 266, 424}, 0, 62}));
    // In the show, O2's dots still reach column 428 before the mask of slide 8 trims them.
    EXPECT_EQ(test::extent(slide(6)).x_max, 428);
}

TEST(Figure1Slides, FillsPaintOnlyTheWhiteBackgroundAndKeepTheOrbits) {
    // Slide 1 has no slide before its fill: draw the box and O1 again with the same palette.
    test::SoftwareScreen screen;
    kit::seed_rand(1);
    kit::make_palette();
    kit::start_tile(20, 168, 250);
    kit::plot_orbits(figure1::kick_0_9);
    const Picture before_fill = test::snapshot();
    EXPECT_TRUE(test::same_picture(slide(1), filled(before_fill, 168, false))) << "slide 1";

    EXPECT_TRUE(test::same_picture(slide(7), filled(slide(6), 268, true))) << "slide 7";
    long red_part = 0, blue_part = 0, dots = 0;
    for (int x = 21; x <= 269; ++x)
        for (int y = 185; y <= 267; ++y) {
            const Uint32 c = slide(7).at(x, y);
            red_part += c == red;
            blue_part += c == blue;
            dots += c != red && c != blue && c != white;
            ASSERT_NE(c, white) << x << "," << y;
            ASSERT_TRUE(c != red || x <= 144) << x << "," << y;
            ASSERT_TRUE(c != blue || x >= 145) << x << "," << y;
        }
    EXPECT_GT(red_part, 0);
    EXPECT_GT(blue_part, 0);
    EXPECT_GT(dots, 1000) << "the orbit points inside the box were painted over";
}

TEST(Figure1Slides, MasksKeepRowsBMinus42ToBOfTheBox) {
    // Slide 2 redraws the outline that the mask whitened; slides 8 and 12 leave it white.
    EXPECT_TRUE(test::same_picture(slide(2), outlined(masked(slide(1), 168), 168))) << "slide 2";
    EXPECT_TRUE(test::same_picture(slide(8), masked(slide(7), 268))) << "slide 8";
    EXPECT_TRUE(test::same_picture(slide(12), masked(filled(slide(11), 368, true), 368)))
        << "slide 12";
    for (int x = 20; x <= 270; ++x) {
        EXPECT_EQ(slide(2).at(x, 84), red) << x;
        EXPECT_EQ(slide(8).at(x, 184), white) << x;
        EXPECT_EQ(slide(12).at(x, 284), white) << x;
    }
    for (int y = 185; y <= 225; ++y)
        for (int x = 0; x < 640; ++x) ASSERT_EQ(slide(8).at(x, y), white) << x << "," << y;
    EXPECT_EQ(test::extent(slide(8)).x_max, 270);
}

TEST(Figure1Slides, MirrorThenReplicateRebuildTheStrip) {
    EXPECT_TRUE(test::same_picture(slide(3), mirrored(slide(2), 168))) << "slide 3";
    EXPECT_TRUE(test::same_picture(slide(4), replicated(slide(3), 168))) << "slide 4";
    EXPECT_TRUE(test::same_picture(slide(9), replicated(mirrored(slide(8), 268), 268)))
        << "slide 9";
    EXPECT_TRUE(test::same_picture(slide(13), replicated(mirrored(slide(12), 368), 368)))
        << "slide 13";
}

TEST(Figure1Remaps, MirrorCopiesEachUpperRowFromItsImageInTheSameColumn) {
    test::SoftwareScreen screen;
    for (int base : bases) {
        test::plant_tags();
        kit::place_tile(20, base, 250);
        figure1::mirror_upper_half();
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const bool upper = x >= 20 && x <= 270 && y >= base - 83 && y <= base - 42;
                ASSERT_EQ(get_pixel(x, y), tag(x, upper ? 2 * base - 84 - y : y))
                    << base << ": " << x << "," << y;
            }
    }
    test::plant_tags();
    kit::place_tile(20, 168, 250);
    figure1::mirror_upper_half();
    for (int x : {20, 145, 270}) {
        EXPECT_EQ(get_pixel(x, 85), tag(x, 167));
        EXPECT_EQ(get_pixel(x, 125), tag(x, 127));
        EXPECT_EQ(get_pixel(x, 126), tag(x, 126));
        EXPECT_EQ(get_pixel(x, 84), tag(x, 84));
        EXPECT_EQ(get_pixel(x, 168), tag(x, 168));
    }
}

TEST(Figure1Remaps, ReplicateRepeatsTheTileEvery250Columns) {
    test::SoftwareScreen screen;
    for (int base : bases) {
        test::plant_tags();
        kit::place_tile(20, base, 250);
        kit::replicate_tile();
        for (int y = 0; y < 600; ++y) {
            const bool tile_row = y >= base - 83 && y <= base;
            for (int x = 0; x < 800; ++x) {
                const int source = tile_row ? 20 + ((x - 20) % 250 + 250) % 250 : x;
                ASSERT_EQ(get_pixel(x, y), tag(source, y)) << base << ": " << x << "," << y;
            }
        }
    }
    // The last replication was at base 368.
    for (int x : {20, 270, 520, 770}) EXPECT_EQ(get_pixel(x, 300), tag(20, 300)) << x;
    for (int x = 0; x <= 19; ++x) EXPECT_EQ(get_pixel(x, 368), tag(x + 250, 368)) << x;
    for (int x = 771; x <= 799; ++x) EXPECT_EQ(get_pixel(x, 285), tag(x - 750, 285)) << x;
    EXPECT_EQ(get_pixel(500, 284), tag(500, 284)); // the top edge's row is not copied
}

} // namespace
