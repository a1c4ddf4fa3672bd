#include "figure2.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using kit::get_pixel;
using test::tag;
using test::white, test::red, test::blue;

bool tile_row(int k) {
    return k >= 0 && k <= 83;
}

TEST(Figure2Remaps, MirrorQuarterReadsTheFirstQuarterWithOneColumnShifts) {
    test::TaggedTile screen(20, 268, 250);
    figure2::mirror_quarter();
    const std::set<int> shifted{83, 84, 85, 100, 101, 113, 114, 115, 116, 117};
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int j = x - 20, k = 268 - y;
            Uint32 expected = tag(x, y);
            if (j >= 63 && j <= 125 && tile_row(k))
                expected = tag(20 + (shifted.count(j) ? 124 - j : 125 - j), y);
            ASSERT_EQ(get_pixel(x, y), expected) << "j " << j << ", k " << k;
        }
    EXPECT_EQ(get_pixel(20 + 83, 268), tag(20 + 41, 268));
}

TEST(Figure2Remaps, RotateHalfTurnsTheLeftHalfAboutTheCentre) {
    test::TaggedTile screen(20, 138, 250);
    figure2::rotate_half();
    auto shifted = [](int j) {
        return (j >= 165 && j <= 171) || (j >= 200 && j <= 203) || (j >= 225 && j <= 234);
    };
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int j = x - 20, k = 138 - y;
            Uint32 expected = tag(x, y);
            if (j >= 126 && j <= 250 && tile_row(k))
                expected = tag(20 + (shifted(j) ? 249 - j : 250 - j), 138 - (84 - k));
            // The centre column reads itself: rows 83..43 take old rows 1..41, row 42 and
            // rows 41..1 end with their own colours, the bottom row takes the row above the tile.
            if (j == 125 && tile_row(k)) expected = tag(145, k >= 43 || k == 0 ? 54 + k : y);
            ASSERT_EQ(get_pixel(x, y), expected) << "j " << j << ", k " << k;
        }
    EXPECT_EQ(get_pixel(20 + 165, 100), tag(20 + 84, 138 - (84 - 38)));
    EXPECT_EQ(get_pixel(20 + 164, 100), tag(20 + 86, 138 - (84 - 38)));
    for (int k = 1; k <= 41; ++k) EXPECT_EQ(get_pixel(145, 138 - k), get_pixel(145, 54 + k)) << k;
}

TEST(Figure2Portraits, EachRowStaysInItsStatedBounds) {
    EXPECT_EQ(test::reach_of(figure2::kick_0_4), (test::Reach{{20, 82, 8, 184}, 7, 38}));
    EXPECT_EQ(test::reach_of(figure2::kick_0_8), (test::Reach{{20, 239, 155, 300}, 0, 62}));
    EXPECT_EQ(test::reach_of(figure2::kick_0_7), (test::Reach{{20, 82, 249, 407}, 0, 62}));
}

const test::Picture& slide(int n) {
    return test::slides_of(figure2::program).at(static_cast<size_t>(n - 1));
}

TEST(Figure2Slides, ThreeTilesFromEmptyBoxToStrip) {
    test::expect_three_tile_course(figure2::program,
                                   {{{82, 8, 184}, {239, 155, 300}, {82, 249, 407}}});
}

TEST(Figure2Slides, MaskKeepsOnlyTheFirstQuarter) {
    EXPECT_TRUE(test::same_picture(slide(3), test::masked(slide(2), {20, 55, 82, 138})));
    EXPECT_EQ(slide(3).at(100, 54), white);  // the box's top edge
    EXPECT_EQ(slide(3).at(270, 100), white); // and its right edge
}

TEST(Figure2Slides, QuarterFillPaintsOnlyWhitePixels) {
    const test::Rect quarter{20, 185, 82, 268};
    EXPECT_TRUE(test::same_picture(slide(9), test::filled(slide(8), quarter, 52, red, blue)));
    long dots_kept = 0;
    for (int y = quarter.top; y <= quarter.bottom; ++y)
        for (int x = quarter.left; x <= quarter.right; ++x) dots_kept += slide(8).at(x, y) != white;
    EXPECT_GT(dots_kept, 1000);
}

TEST(Figure2Slides, WholeFillIsMaskedBeforeItShows) {
    const test::Picture filled = test::filled(slide(13), {20, 285, 269, 368}, 145, red, blue);
    EXPECT_TRUE(test::same_picture(slide(14), test::masked(filled, {20, 285, 82, 368})));
    EXPECT_EQ(test::count(slide(14), blue), 0);
}

TEST(Figure2Slides, MirrorLeavesTheQuarterAndRotationWhitensTheBottomRow) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 83; ++x)
            ASSERT_EQ(slide(4).at(x, y), slide(3).at(x, y)) << x << "," << y;
    for (int x = 145; x <= 270; ++x) EXPECT_EQ(slide(5).at(x, 138), white) << x;
}

TEST(Figure2Slides, ReplicationRepeatsTheFinishedTile) {
    EXPECT_TRUE(test::same_picture(slide(6), test::replicated(slide(5), 20, 55, 138, 250)));
}

} // namespace
