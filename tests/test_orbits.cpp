#include "kit/orbits.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

namespace {

// Palette entry i is the colour i + 1: every dot tells which entry painted it.
void numbered_palette() {
    for (int i = 0; i < 256; ++i) kit::palette[i] = static_cast<Uint32>(i + 1);
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
    EXPECT_EQ(test::count(test::snapshot(), test::white),
              kit::screen_width * kit::screen_height - 1);
    EXPECT_EQ(kit::get_pixel(20, 184), kit::palette[7]);
}

TEST(PlotOrbits, SeedSweepsCountOrbits) {
    kit::OrbitRow row{.kick = 1, .seed_step = 0.001, .orbit_length = 1};
    EXPECT_EQ(kit::orbit_count(row), 6284);
    row.seed_step = 0.005;
    EXPECT_EQ(kit::orbit_count(row), 1257);
}

// Where whole rows land is checked with the programs' own rows (tests/figureN_test.cpp).

} // namespace
