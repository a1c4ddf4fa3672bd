#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

using kit::get_pixel;
using kit::put_pixel;

using test::plant_tags;
using test::tag;

// Toward zero on both sides, and saturating where a coordinate is far off any screen: the
// <cmath> included above must not make the call ambiguous either.
TEST(TruncToInt, TowardZeroAndSaturating) {
    EXPECT_EQ(kit::trunc_to_int(2.999), 2);
    EXPECT_EQ(kit::trunc_to_int(-2.999), -2);
    EXPECT_EQ(kit::trunc_to_int(3e9), INT_MAX);
    EXPECT_EQ(kit::trunc_to_int(-3e9), INT_MIN);
    EXPECT_EQ(kit::trunc_to_int(std::nan("")), INT_MIN);
}

TEST(TileBox, OutlineOfTheWideTile) {
    test::SoftwareScreen screen;
    kit::place_tile(20, 168, 250);
    kit::draw_tile_box(kit::red);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool edge = ((y == 168 || y == 84) && x >= 20 && x <= 270) ||
                              ((x == 20 || x == 270) && y >= 84 && y <= 168);
            ASSERT_EQ(get_pixel(x, y), edge ? kit::red : kit::white) << x << "," << y;
        }
}

TEST(TileBox, NarrowTileIs74RowsHigh) {
    test::SoftwareScreen screen;
    kit::place_tile(20, 268, 220);
    kit::draw_tile_box(kit::red);
    EXPECT_EQ(get_pixel(240, 268), kit::red);
    EXPECT_EQ(get_pixel(240, 194), kit::red);
    EXPECT_EQ(get_pixel(130, 194), kit::red);
    EXPECT_EQ(get_pixel(241, 268), kit::white);
    EXPECT_EQ(get_pixel(130, 193), kit::white);
}

TEST(FillTileBackground, SplitPaintsRedThenBlueAndKeepsDots) {
    test::SoftwareScreen screen;
    kit::place_tile(20, 168, 250);
    put_pixel(100, 150, 0x00123456); // an orbit dot
    kit::fill_tile_background(250, 125);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            Uint32 expected = kit::white;
            if (x >= 20 && x <= 269 && y >= 85 && y <= 168)
                expected = x <= 144 ? kit::red : kit::blue;
            if (x == 100 && y == 150) expected = 0x00123456;
            ASSERT_EQ(get_pixel(x, y), expected) << x << "," << y;
        }
}

TEST(FillTileBackground, WithoutSplitAllRedAndEdgesLeftAlone) {
    test::SoftwareScreen screen;
    kit::place_tile(20, 268, 250);
    kit::draw_tile_box(kit::blue); // edges in another colour show which pixels were visited
    kit::fill_tile_background(250);
    EXPECT_EQ(get_pixel(21, 267), kit::red);
    EXPECT_EQ(get_pixel(269, 185), kit::red);
    EXPECT_EQ(get_pixel(270, 200), kit::blue); // right edge
    EXPECT_EQ(get_pixel(100, 184), kit::blue); // top edge
    EXPECT_EQ(get_pixel(100, 268), kit::blue); // bottom edge: visited, not white
    EXPECT_EQ(get_pixel(271, 200), kit::white);
}

TEST(FillTileBackground, FractionalWidthAndSplit) {
    test::SoftwareScreen screen;
    kit::place_tile(20, 268, 250);
    kit::fill_tile_background(62.5, 31.25);
    EXPECT_EQ(get_pixel(51, 268), kit::red);
    EXPECT_EQ(get_pixel(52, 268), kit::blue);
    EXPECT_EQ(get_pixel(82, 185), kit::blue);
    EXPECT_EQ(get_pixel(83, 200), kit::white);
    EXPECT_EQ(get_pixel(50, 184), kit::white);
}

TEST(MaskOutside, KeepsTheQuarterAndTouchesOnlyTheTopLeftArea) {
    test::SoftwareScreen screen;
    kit::clear_screen(kit::black);
    kit::place_tile(20, 138, 250);
    kit::mask_outside(0.25, kit::one_third);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool kept = (x >= 20 && x <= 82 && y >= 55 && y <= 138) || x >= 640 || y >= 480;
            ASSERT_EQ(get_pixel(x, y), kept ? kit::black : kit::white) << x << "," << y;
        }
}

TEST(MaskOutside, LowerHalfOfTheTile) {
    test::SoftwareScreen screen;
    kit::clear_screen(kit::black);
    kit::place_tile(20, 368, 250);
    kit::mask_outside(1, 0.17);
    EXPECT_EQ(get_pixel(20, 326), kit::black);
    EXPECT_EQ(get_pixel(270, 368), kit::black);
    EXPECT_EQ(get_pixel(20, 325), kit::white);
    EXPECT_EQ(get_pixel(271, 368), kit::white);
    EXPECT_EQ(get_pixel(20, 369), kit::white);
}

TEST(ReplicateTile, CopiesEveryTileColumnAcrossTheRow) {
    test::TaggedTile screen(20, 168, 250);
    kit::replicate_tile();
    for (int y = 0; y < 600; ++y) {
        const bool tile_row = y >= 85 && y <= 168;
        for (int x = 0; x < 800; ++x) {
            // Column 270 took column 20's colour before the scan read it.
            const int source = 20 + ((x - 20) % 250 + 250) % 250;
            ASSERT_EQ(get_pixel(x, y), tile_row ? tag(source, y) : tag(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(get_pixel(270, 100), tag(20, 100));
    EXPECT_EQ(get_pixel(770, 100), tag(20, 100));
    EXPECT_EQ(get_pixel(0, 100), tag(250, 100));
    EXPECT_EQ(get_pixel(799, 100), tag(49, 100));
}

TEST(ReplicateTile, NarrowTileDropsCopiesOffTheLeft) {
    test::TaggedTile screen(20, 268, 220);
    kit::replicate_tile();
    for (int x : {240, 460, 680}) EXPECT_EQ(get_pixel(x, 268), tag(20, 268));
    EXPECT_EQ(get_pixel(241, 195), tag(21, 195));  // B - y = 73 is copied
    EXPECT_EQ(get_pixel(241, 194), tag(241, 194)); // B - y = 74 is not
    EXPECT_EQ(get_pixel(19, 268), tag(239, 268));
}

TEST(RemapRegion, MirrorCopiesFromTheScreenAsItStands) {
    test::TaggedTile screen(20, 168, 250);
    // Mirror the upper rows of the tile from the lower ones, about v = 1/6.
    kit::remap_region(
        [](double u, double v) { return 0 <= u && u <= 1 && 0.165 <= v && v <= kit::one_third; },
        [](double u, double v) {
            const float w = static_cast<float>(kit::one_third - v);
            return kit::Point{kit::trunc_to_int(kit::tile_left + 250 * u),
                              kit::trunc_to_int(kit::tile_base - 250.0 * w)};
        });
    EXPECT_EQ(get_pixel(20, 85), tag(20, 167));
    EXPECT_EQ(get_pixel(270, 125), tag(270, 127));
    EXPECT_EQ(get_pixel(100, 126), tag(100, 126));
    EXPECT_EQ(get_pixel(100, 84), tag(100, 84));
    EXPECT_EQ(get_pixel(100, 168), tag(100, 168));
    // Rows and columns outside the tile are untouched.
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            if (y < 85 || y > 126 || x < 20 || x > 270) {
                ASSERT_EQ(get_pixel(x, y), tag(x, y));
            }
        }
}

TEST(RemapRegion, TilesFarOffTheSurfaceChangeNothing) {
    test::SoftwareScreen screen;
    plant_tags();
    const test::Picture before = test::snapshot();
    for (auto [left, base] : {std::pair{-2147483647 - 1, 300},
                              {2147483647, 300},
                              {20, -2147483647 - 1},
                              {20, 2147483647},
                              {-100000, -50}}) {
        kit::place_tile(left, base, 250);
        kit::remap_region([](double, double) { return true; },
                          [](double u, double v) {
                              return kit::Point{kit::trunc_to_int(kit::tile_left + 250 * (1 - u)),
                                                kit::trunc_to_int(kit::tile_base - 250 * v)};
                          });
        kit::replicate_tile();
        kit::fill_tile_background(250, 125);
        kit::draw_tile_box(kit::red);
        ASSERT_EQ(test::snapshot(), before) << left << "," << base;
    }
    // With the tile nowhere near, the mask whitens all of its area and nothing else.
    kit::mask_outside(0.25, kit::one_third);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            ASSERT_EQ(get_pixel(x, y), x < 640 && y < 480 ? kit::white : tag(x, y));
}

} // namespace
