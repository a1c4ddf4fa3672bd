#include "figure3.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using kit::get_pixel;
using test::tag;
using test::white, test::red, test::blue;

TEST(Figure3Remaps, MirrorHalfReadsTheLeftHalfWithOneColumnShifts) {
    test::TaggedTile screen(20, 138, 250);
    figure3::mirror_half();
    auto shifted = [](int j) {
        return (j >= 165 && j <= 171) || (j >= 200 && j <= 203) || (j >= 225 && j <= 234);
    };
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int j = x - 20, k = 138 - y;
            Uint32 expected = tag(x, y);
            if (j >= 126 && j <= 250 && k >= 0 && k <= 83)
                expected = tag(20 + (shifted(j) ? 249 - j : 250 - j), y);
            ASSERT_EQ(get_pixel(x, y), expected) << "j " << j << ", k " << k;
        }
    EXPECT_EQ(get_pixel(20 + 165, 120), tag(20 + 84, 120));
}

TEST(Figure3Remaps, MirrorRowsFillsTheUpperRowsFromTheLowerOnes) {
    test::TaggedTile screen(20, 368, 250);
    figure3::mirror_rows();
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int k = 368 - y;
            Uint32 expected = tag(x, y);
            if (x >= 20 && x <= 270 && k >= 42 && k <= 83) expected = tag(x, 368 - (84 - k));
            ASSERT_EQ(get_pixel(x, y), expected) << x << ", k " << k;
        }
    for (int x = 20; x <= 270; ++x) {
        EXPECT_EQ(get_pixel(x, 368 - 83), get_pixel(x, 367)) << x;
        EXPECT_EQ(get_pixel(x, 368 - 42), tag(x, 368 - 42)) << x;
    }
}

TEST(Figure3Portraits, EachRowStaysInItsStatedBounds) {
    EXPECT_EQ(test::reach_of(figure3::kick_0_5), (test::Reach{{20, 145, 16, 192}, 7, 38}));
    EXPECT_EQ(test::reach_of(figure3::kick_1_wide), (test::Reach{{20, 271, 174, 300}, 0, 62}));
    EXPECT_EQ(test::reach_of(figure3::kick_1), (test::Reach{{20, 145, 266, 424}, 0, 62}));
}

const test::Picture& slide(int n) {
    return test::slides_of(figure3::program).at(static_cast<size_t>(n - 1));
}

TEST(Figure3Slides, ThreeTilesFromEmptyBoxToStrip) {
    test::expect_three_tile_course(figure3::program,
                                   {{{145, 16, 192}, {271, 174, 300}, {145, 266, 424}}});
}

TEST(Figure3Slides, MaskKeepsOnlyTheLowerLeftCorner) {
    for (auto [n, base] : {std::pair{3, 138}, {10, 268}})
        EXPECT_TRUE(
            test::same_picture(slide(n), test::masked(slide(n - 1), {20, base - 42, 145, base})))
            << "slide " << n;
}

TEST(Figure3Slides, HalfFillPaintsOnlyWhitePixels) {
    const test::Rect half{20, 185, 144, 268};
    EXPECT_TRUE(test::same_picture(slide(9), test::filled(slide(8), half, 83, red, blue)));
    long dots_kept = 0;
    for (int y = half.top; y <= half.bottom; ++y)
        for (int x = half.left; x <= half.right; ++x) dots_kept += slide(8).at(x, y) != white;
    EXPECT_GT(dots_kept, 1000);
}

TEST(Figure3Slides, FillIsMaskedToTheCornerBeforeItShows) {
    const test::Picture filled = test::filled(slide(13), {20, 285, 144, 368}, 83, red, blue);
    EXPECT_TRUE(test::same_picture(slide(14), test::masked(filled, {20, 326, 145, 368})));
}

TEST(Figure3Slides, MirrorsKeepTheCornerAndCloseTheTopRow) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x <= 145; ++x)
            ASSERT_EQ(slide(4).at(x, y), slide(3).at(x, y)) << x << "," << y;
    for (int x = 20; x <= 270; ++x) {
        EXPECT_EQ(slide(5).at(x, 55), slide(5).at(x, 137)) << x;
        EXPECT_EQ(slide(5).at(x, 96), slide(4).at(x, 96)) << x;
    }
}

TEST(Figure3Slides, ReplicationRepeatsTheFinishedTile) {
    EXPECT_TRUE(test::same_picture(slide(6), test::replicated(slide(5), 20, 55, 138, 250)));
}

} // namespace
