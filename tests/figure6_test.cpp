#include "figure6.hpp"
#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using kit::get_pixel;
using test::tag, test::tag_column, test::tag_row;

// figure6's fixed tile: left 20, bottom row 138, 250 wide.
struct TaggedTile : test::TaggedTile {
    TaggedTile() : test::TaggedTile(20, 138, 250) {}
};

TEST(Figure6Remaps, MirrorReadsTheRoundedSourceColumns) {
    TaggedTile screen;
    figure6::mirror_quarter();
    // Single-precision u moves about half the sources one column left.
    const std::pair<int, int> reads[] = {{83, 81}, {84, 80}, {85, 80},
                                         {86, 79}, {87, 77}, {145, 20}};
    for (auto [destination, source] : reads)
        for (int y = 55; y <= 138; ++y) {
            ASSERT_EQ(tag_column(get_pixel(destination, y)), source) << destination << "," << y;
            ASSERT_EQ(tag_row(get_pixel(destination, y)), y);
        }
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool written = x >= 83 && x <= 145 && y >= 55 && y <= 138;
            if (!written)
                ASSERT_EQ(get_pixel(x, y), tag(x, y)) << x << "," << y;
            else
                ASSERT_LE(tag_column(get_pixel(x, y)), 81) << x << "," << y;
        }
}

TEST(Figure6Remaps, PointReflectionReadsBackItsOwnCentreColumn) {
    TaggedTile screen;
    figure6::rotate_half();
    for (int y = 55; y <= 138; ++y) {
        EXPECT_EQ(get_pixel(146, y), tag(143, 192 - y));
        EXPECT_EQ(get_pixel(147, y), tag(142, 192 - y));
        EXPECT_EQ(get_pixel(270, y), tag(20, 192 - y));
    }
    EXPECT_EQ(get_pixel(200, 138), tag(tag_column(get_pixel(200, 138)), 54)); // the top edge row
    EXPECT_EQ(get_pixel(200, 55), tag(tag_column(get_pixel(200, 55)), 137));
    // Column 145 reads itself: rows 55..96 take the old rows 137..96, and from row 97 on every
    // row reads back what was just written into row 192 - y, its own old colour.
    for (int y = 55; y <= 96; ++y) EXPECT_EQ(get_pixel(145, y), tag(145, 192 - y)) << y;
    for (int y = 97; y <= 137; ++y) EXPECT_EQ(get_pixel(145, y), tag(145, y)) << y;
    EXPECT_EQ(get_pixel(145, 138), tag(145, 54));
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (!(x >= 145 && x <= 270 && y >= 55 && y <= 138)) {
                ASSERT_EQ(get_pixel(x, y), tag(x, y)) << x << "," << y;
            }
}

const test::Picture& slide(int n) {
    return test::slides_of(figure6::program).at(static_cast<size_t>(n - 1));
}

TEST(Figure6Slides, SixSlidesFromTheSameScriptEveryRun) {
    EXPECT_TRUE(test::same_slides_every_run(figure6::program, 6));
}

TEST(Figure6Slides, FirstSlideIsTheRedBox) {
    EXPECT_TRUE(test::only_box(slide(1), {20, 54, 270, 138}, test::red));
}

TEST(Figure6Slides, PortraitOverflowsTheBoxVertically) {
    EXPECT_EQ(test::reach_of(figure6::kick_0_4), (test::Reach{{20, 82, 8, 184}, 7, 38}));
    EXPECT_TRUE(test::changed_within(slide(1), slide(2), {20, 8, 82, 184}, 1000));
}

TEST(Figure6Slides, MaskKeepsTheLeftQuarter) {
    EXPECT_TRUE(test::same_picture(slide(3), test::masked(slide(2), {20, 55, 82, 138})));
}

TEST(Figure6Slides, ReplicationRepeatsTheTileAcrossTheWindow) {
    EXPECT_TRUE(test::same_picture(slide(6), test::replicated(slide(5), 20, 55, 138, 250)));
}

} // namespace
