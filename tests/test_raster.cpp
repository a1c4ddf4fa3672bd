#include "kit/raster.hpp"
#include "reference_walks.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

// Every pixel that is not white.
Pixels painted() {
    Pixels found;
    for (int y = 0; y < kit::screen->h; ++y)
        for (int x = 0; x < kit::screen->w; ++x)
            if (kit::get_pixel(x, y) != kit::white) found.insert({x, y});
    return found;
}

Pixels row_span(int y, int x0, int x1) {
    Pixels p;
    for (int x = x0; x <= x1; ++x) p.insert({x, y});
    return p;
}

TEST(DrawLine, HorizontalAndVerticalBoxEdges) {
    test::SoftwareScreen screen;
    kit::draw_line(20, 138, 270, 138, kit::red);
    EXPECT_EQ(painted(), row_span(138, 20, 270));
    kit::clear_screen(kit::white);
    kit::draw_line(20, 138, 20, 54, kit::red);
    Pixels column;
    for (int y = 54; y <= 138; ++y) column.insert({20, y});
    EXPECT_EQ(painted(), column);
}

TEST(DrawLine, MinorStepsComeLate) {
    test::SoftwareScreen screen;
    kit::draw_line(0, 0, 10, 1, kit::red);
    Pixels expected = row_span(0, 0, 9);
    expected.insert({10, 1});
    EXPECT_EQ(painted(), expected);

    kit::clear_screen(kit::white);
    kit::draw_line(0, 0, 10, 5, kit::red);
    EXPECT_EQ(painted(), (Pixels{{0, 0},
                                 {1, 0},
                                 {2, 1},
                                 {3, 1},
                                 {4, 2},
                                 {5, 2},
                                 {6, 3},
                                 {7, 3},
                                 {8, 4},
                                 {9, 4},
                                 {10, 5}}));

    kit::clear_screen(kit::white);
    kit::draw_line(5, 0, 0, 10, kit::red); // y-major, leftwards
    EXPECT_EQ(painted(), (Pixels{{5, 0},
                                 {5, 1},
                                 {4, 2},
                                 {4, 3},
                                 {3, 4},
                                 {3, 5},
                                 {2, 6},
                                 {2, 7},
                                 {1, 8},
                                 {1, 9},
                                 {0, 10}}));
}

TEST(DrawLine, ZeroLengthAndDiagonal) {
    test::SoftwareScreen screen;
    kit::draw_line(7, 9, 7, 9, kit::red);
    EXPECT_EQ(painted(), (Pixels{{7, 9}}));
    kit::clear_screen(kit::white);
    kit::draw_line(3, 3, 0, 0, kit::red);
    EXPECT_EQ(painted(), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
}

TEST(DrawLine, PartsOffTheSurfaceAreDropped) {
    test::SoftwareScreen screen;
    kit::draw_line(-5, 10, 5, 10, kit::red);
    EXPECT_EQ(painted(), row_span(10, 0, 5));
    kit::clear_screen(kit::white);
    // Right of the last column: nothing may wrap into the next row.
    kit::draw_line(795, 10, 805, 10, kit::red);
    EXPECT_EQ(painted(), row_span(10, 795, 799));
    kit::clear_screen(kit::white);
    kit::draw_line(-100000, -3, 100000, 700000, kit::red);
    kit::draw_line(-2147483647 - 1, 0, 2147483647, 1, kit::red);
    EXPECT_FALSE(painted().empty());
}

TEST(DrawLineClipped, DiagonalStepsThroughTheCorner) {
    test::SoftwareScreen screen;
    kit::draw_line_clipped(0, 0, 3, 3, kit::red);
    EXPECT_EQ(painted(), (Pixels{{0, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 2}, {3, 2}, {3, 3}}));
}

TEST(DrawLineClipped, MajorAxesMoveOneCoordinateAtATime) {
    test::SoftwareScreen screen;
    kit::draw_line_clipped(0, 0, 4, 2, kit::red); // x-major: horizontal move first
    EXPECT_EQ(painted(), (Pixels{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {3, 1}, {4, 1}, {4, 2}}));
    kit::clear_screen(kit::white);
    kit::draw_line_clipped(0, 0, 2, 4, kit::red); // y-major: vertical move first
    EXPECT_EQ(painted(), (Pixels{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 3}, {1, 4}, {2, 4}}));
}

TEST(DrawLineClipped, ClipsToTheScreen) {
    test::SoftwareScreen screen;
    kit::draw_line_clipped(-5, 10, 5, 10, kit::red);
    EXPECT_EQ(painted(), row_span(10, 0, 5));
}

TEST(DrawLineClipped, ClippingDoesNotMoveTheVisiblePixels) {
    test::SoftwareScreen screen;
    // The same line drawn on screen and 100 columns further left, half off the screen.
    kit::draw_line_clipped(50, 20, 137, 91, kit::red);
    Pixels whole = painted();
    kit::clear_screen(kit::white);
    kit::draw_line_clipped(-50, 20, 37, 91, kit::red);
    Pixels shifted;
    for (auto [x, y] : whole)
        if (x - 100 >= 0) shifted.insert({x - 100, y});
    EXPECT_EQ(painted(), shifted);
    EXPECT_FALSE(shifted.empty());
}

TEST(DrawCircle, RadiusZeroIsOnePixel) {
    test::SoftwareScreen screen;
    kit::draw_circle(100, 100, 0, kit::red);
    EXPECT_EQ(painted(), (Pixels{{100, 100}}));
}

TEST(DrawCircle, IsAFourConnectedRingAtTheRadius) {
    test::SoftwareScreen screen;
    const int cx = 300, cy = 200, r = 37;
    kit::draw_circle(cx, cy, r, kit::red);
    const Pixels ring = painted();
    ASSERT_FALSE(ring.empty());
    for (auto [x, y] : ring) {
        const double d = std::hypot(x - cx, y - cy);
        EXPECT_NEAR(d, r, 1.0) << x << "," << y;
        const int neighbours = ring.count({x + 1, y}) + ring.count({x - 1, y}) +
                               ring.count({x, y + 1}) + ring.count({x, y - 1});
        EXPECT_GE(neighbours, 2) << x << "," << y;
        // Mirror images in both axes.
        EXPECT_TRUE(ring.count({2 * cx - x, y}) && ring.count({x, 2 * cy - y}));
    }
    for (auto p : {std::pair{cx + r, cy}, {cx - r, cy}, {cx, cy + r}, {cx, cy - r}})
        EXPECT_TRUE(ring.count(p));
}

// draw_circle computes each row's run of the arc directly; the step-by-step walk is the
// yardstick. The pixels it visits on the screen.
Pixels walked_circle(int cx, int cy, int r) {
    Pixels on_screen;
    reference::walk_circle(cx, cy, r, [&](reference::Coord x, reference::Coord y) {
        if (x >= 0 && x < 800 && y >= 0 && y < 600)
            on_screen.insert({static_cast<int>(x), static_cast<int>(y)});
    });
    return on_screen;
}

TEST(DrawCircle, SamePixelsAsTheStepByStepWalk) {
    test::SoftwareScreen screen;
    // Inside, across every edge and corner, and far outside with only an arc showing.
    const std::pair<int, int> centres[] = {{400, 300}, {3, 5},       {796, 598}, {-30, 300},
                                           {400, 640}, {-500, -400}, {1500, 300}};
    for (auto [cx, cy] : centres)
        for (int r : {1, 2, 3, 7, 10, 37, 64, 99, 250, 401, 777, 1200}) {
            kit::clear_screen(kit::white);
            kit::draw_circle(cx, cy, r, kit::red);
            ASSERT_EQ(painted(), walked_circle(cx, cy, r)) << cx << "," << cy << " r " << r;
        }
}

// A radius near the int limit walks billions of steps; only the part that can reach the
// screen may cost anything.
TEST(DrawCircle, HugeRadiusDrawsOnlyItsVisibleArcAtOnce) {
    test::SoftwareScreen screen;
    kit::draw_circle(400, 2147483000, 2147482700, kit::red); // top of the arc at row 300
    const Pixels arc = painted();
    EXPECT_TRUE(arc.count({400, 300}));
    for (auto [x, y] : arc) EXPECT_GE(y, 300) << x;
    EXPECT_TRUE(arc.count({0, 300}) && arc.count({799, 300})); // flat at this scale
    kit::clear_screen(kit::white);
    kit::draw_circle(-2147483647, 0, 2147483647, kit::red);
    EXPECT_FALSE(painted().empty()); // its right edge passes through column 0
}

TEST(DrawCircle, OffScreenCentres) {
    test::SoftwareScreen screen;
    kit::draw_circle(400, -10, 5, kit::red);
    EXPECT_TRUE(painted().empty());
    // Centre just below the last row: only the top of the arc shows, no axis point of row 602.
    kit::draw_circle(400, 602, 5, kit::red);
    const Pixels arc = painted();
    ASSERT_FALSE(arc.empty());
    for (auto [x, y] : arc) EXPECT_GE(y, 597);
    EXPECT_TRUE(arc.count({400, 597}));
    kit::clear_screen(kit::white);
    kit::draw_circle(-2147483647 - 1, 2147483647, 3, kit::red);
    kit::draw_circle(10, 10, -4, kit::red);
    EXPECT_EQ(painted(), (Pixels{{10, 6}, {10, 14}, {6, 10}, {14, 10}}));
}

} // namespace
