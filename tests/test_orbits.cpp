#include "kit/orbits.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Palette entry i is the colour i + 1: every dot tells which entry painted it.
void numbered_palette() {
    for (int i = 0; i < 256; ++i) kit::palette[i] = static_cast<Uint32>(i + 1);
}

struct Extent {
    int x_min = 1 << 30, x_max = -1, y_min = 1 << 30, y_max = -1;
    int colour_min = 1 << 30, colour_max = -1;
    long dots = 0;
};

Extent extent_of_dots() {
    Extent e;
    for (int y = 0; y < kit::screen->h; ++y)
        for (int x = 0; x < kit::screen->w; ++x) {
            const Uint32 c = kit::get_pixel(x, y);
            if (c == kit::white) continue;
            ++e.dots;
            e.x_min = std::min(e.x_min, x);
            e.x_max = std::max(e.x_max, x);
            e.y_min = std::min(e.y_min, y);
            e.y_max = std::max(e.y_max, y);
            e.colour_min = std::min(e.colour_min, static_cast<int>(c) - 1);
            e.colour_max = std::max(e.colour_max, static_cast<int>(c) - 1);
        }
    return e;
}

TEST(PlotOrbits, TheFirstOrbitSitsOnTheFixedPoint) {
    test::SoftwareScreen screen;
    numbered_palette();
    // A seed step past 2 pi leaves the single orbit s = 0: p = 0 and theta = 0 forever.
    const kit::OrbitRow row{.kick = 0.4f,
                            .seed_step = 10,
                            .orbit_length = 1000,
                            .x_scale = 10,
                            .x_offset = 20,
                            .y_base = 184,
                            .y_scale = 28,
                            .colour_scale = 5,
                            .colour_offset = 7};
    EXPECT_EQ(kit::orbit_count(row), 1);
    kit::plot_orbits(row);
    const Extent e = extent_of_dots();
    EXPECT_EQ(e.dots, 1);
    EXPECT_EQ(kit::get_pixel(20, 184), kit::palette[7]);
}

TEST(PlotOrbits, SeedSweepsCountOrbits) {
    kit::OrbitRow row{.kick = 1, .seed_step = 0.001, .orbit_length = 1};
    EXPECT_EQ(kit::orbit_count(row), 6284);
    row.seed_step = 0.005;
    EXPECT_EQ(kit::orbit_count(row), 1257);
}

TEST(PlotOrbits, StretchedRowStaysInItsBounds) {
    test::SoftwareScreen screen;
    numbered_palette();
    kit::plot_orbits({.kick = 0.4f,
                      .seed_step = 0.001,
                      .orbit_length = 1000,
                      .x_scale = 10,
                      .x_offset = 20,
                      .y_base = 184,
                      .y_scale = 28,
                      .colour_scale = 5,
                      .colour_offset = 7});
    const Extent e = extent_of_dots();
    EXPECT_EQ(e.x_min, 20);
    EXPECT_EQ(e.x_max, 82);
    EXPECT_EQ(e.y_min, 8);
    EXPECT_EQ(e.y_max, 184);
    EXPECT_EQ(e.colour_min, 7);
    EXPECT_EQ(e.colour_max, 38);
}

TEST(PlotOrbits, UnitKickRowReachesFarRight) {
    test::SoftwareScreen screen;
    numbered_palette();
    // Kick 1 adds sin(theta) as it is; the highest momentum reached puts the top dot on row 74.
    kit::plot_orbits({.kick = 1,
                      .seed_step = 0.005,
                      .orbit_length = 1000,
                      .x_scale = 65,
                      .x_offset = 20,
                      .y_base = 420,
                      .y_scale = 55,
                      .colour_scale = 10,
                      .colour_offset = 0});
    const Extent e = extent_of_dots();
    EXPECT_EQ(e.x_min, 20);
    EXPECT_EQ(e.x_max, 428);
    EXPECT_EQ(e.y_min, 74);
    EXPECT_EQ(e.y_max, 420);
    EXPECT_EQ(e.colour_min, 0);
    EXPECT_EQ(e.colour_max, 62);
}

} // namespace
