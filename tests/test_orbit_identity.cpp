// The fast orbit paths against the textbook loop: whole pictures for every orbit row the
// programs draw, and single kick steps of the vectorised sine.
#include "baseline_orbits.hpp"
#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"
#include "orbit_paths.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "figure_programs.hpp"

namespace {

using test::baseline_plot;

struct NamedRow {
    std::string name;
    kit::OrbitRow row;
};

void PrintTo(const NamedRow& row, std::ostream* out) {
    *out << row.name;
}

constexpr kit::OrbitRow row(float kick, double step, int length, double xs, double xo, double yb,
                            double ys, double cs, double co) {
    return {.kick = kick,
            .seed_step = step,
            .orbit_length = length,
            .x_scale = xs,
            .x_offset = xo,
            .y_base = yb,
            .y_scale = ys,
            .colour_scale = cs,
            .colour_offset = co};
}

// Every orbit row of the programs.
std::vector<NamedRow> program_rows() {
    std::vector<NamedRow> rows;
    for (const kit::Program* program : figure_programs)
        for (size_t i = 0; i < program->orbit_rows.size(); ++i)
            rows.push_back({std::string(program->name) + "_O" + std::to_string(i + 1),
                            program->orbit_rows[i]});
    return rows;
}

// Rows that stress what the programs' rows hardly show: a different colour for every orbit (so
// any change of the order in which orbits are plotted shows), points far off the screen on every
// side, a kick above 1, and orbits too long for the grouped buffers.
std::vector<NamedRow> stress_rows() {
    return {
        {"colour_per_orbit", row(0.9f, 0.005, 1000, 40, 20, 238, 35, 997, 0)},
        {"off_screen", row(1, 0.005, 1000, 200, -300, 500, 150, 41, 3)},
        {"kick_above_one", row(1.5f, 0.005, 1000, 40, 20, 300, 30, 997, 0)},
        {"long_orbits", row(0.7f, 0.05, 3000, 40, 20, 300, 30, 97, 0)},
        {"longer_orbits", row(0.7f, 0.1, 5000, 40, 20, 300, 30, 97, 0)},
    };
}

// Every palette entry is a different colour, none of them white.
void numbered_palette() {
    for (int i = 0; i < 256; ++i) kit::palette[i] = static_cast<Uint32>(0x01000000 + i);
}

test::Picture draw(const kit::OrbitRow& row, kit::OrbitPath path) {
    kit::clear_screen(kit::white);
    kit::plot_orbits(row, path);
    return test::snapshot();
}

test::Picture draw_baseline(const kit::OrbitRow& row) {
    kit::clear_screen(kit::white);
    baseline_plot(row);
    return test::snapshot();
}

void expect_identical(const test::Picture& expected, const test::Picture& actual,
                      const char* path) {
    const auto wrong = test::differences(expected, actual);
    EXPECT_TRUE(wrong.empty()) << path << " path differs from the baseline at " << wrong.size()
                               << "+ pixels, first at (" << wrong.front().first << ", "
                               << wrong.front().second << ")";
}

class OrbitIdentity : public testing::TestWithParam<NamedRow> {};

TEST_P(OrbitIdentity, EveryPathDrawsTheBaselinePicture) {
    test::SoftwareScreen screen;
    numbered_palette();
    const kit::OrbitRow& row = GetParam().row;
    const test::Picture expected = draw_baseline(row);
    ASSERT_GT(test::count(expected, kit::white), 0);

    using kit::OrbitPath;
    ASSERT_EQ(kit::orbit_path_for(row, OrbitPath::plain), OrbitPath::plain);
    expect_identical(expected, draw(row, OrbitPath::plain), "plain");

    const OrbitPath interleaved = kit::orbit_path_for(row, OrbitPath::interleaved);
    EXPECT_EQ(interleaved, row.orbit_length <= 4096 ? OrbitPath::interleaved : OrbitPath::plain);
    expect_identical(expected, draw(row, OrbitPath::interleaved), "interleaved");

    const OrbitPath vector = kit::orbit_path_for(row, OrbitPath::vector);
    const bool vector_applies =
        kit::vector_sine_available() && std::fabs(row.kick) <= 1 && row.orbit_length <= 2048;
    EXPECT_EQ(vector, vector_applies ? OrbitPath::vector : interleaved);
    expect_identical(expected, draw(row, OrbitPath::vector), "vector");

    EXPECT_EQ(kit::orbit_path_for(row), vector);
}

std::string row_name(const testing::TestParamInfo<NamedRow>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(ProgramRows, OrbitIdentity, testing::ValuesIn(program_rows()), row_name);
INSTANTIATE_TEST_SUITE_P(StressRows, OrbitIdentity, testing::ValuesIn(stress_rows()), row_name);

// The single-precision kick as the plain path forms it.
float reference_kick(float kick, float p, float theta) {
    return static_cast<float>(p + kick * std::sin(static_cast<double>(theta)));
}

// Compares the vector path's kicks with the reference bit for bit; returns the mismatches.
long mismatches(float kick, const std::vector<float>& p, const std::vector<float>& theta) {
    std::vector<float> out(p.size());
    kit::vector_kicks(kick, p.data(), theta.data(), out.data(), static_cast<int>(p.size()));
    long wrong = 0;
    for (size_t i = 0; i < p.size(); ++i)
        if (std::bit_cast<std::uint32_t>(out[i]) !=
            std::bit_cast<std::uint32_t>(reference_kick(kick, p[i], theta[i]))) {
            if (wrong++ < 5)
                ADD_FAILURE() << "kick " << kick << " p " << p[i] << " theta " << theta[i];
        }
    return wrong;
}

constexpr float program_kicks[] = {0.4f, 0.5f, 0.7f, 0.8f, 0.9f, 1.0f};

class VectorSine : public testing::Test {
  protected:
    void SetUp() override {
        if (!kit::vector_sine_available()) GTEST_SKIP() << "no AVX2 with FMA on this processor";
    }
    std::mt19937 random{20240607};
};

TEST_F(VectorSine, StaysWithinItsErrorBound) {
    std::uniform_real_distribution<double> anywhere(-kit::vector_sine_domain,
                                                    kit::vector_sine_domain);
    std::vector<double> x;
    for (int i = 0; i < 1'000'000; ++i) x.push_back(anywhere(random));
    // Quadrant edges, where the reduction may pick either neighbour, the ends of the domain,
    // and tiny angles.
    for (int k = -8; k <= 8; ++k)
        for (int d = -50; d <= 50; ++d)
            x.push_back(std::nextafter(k * 0.78539816339744830962, d < 0 ? -8.0 : 8.0) + d * 1e-16);
    for (double v : {0.0, -0.0, 1e-300, 1e-30, 1e-8, kit::vector_sine_domain,
                     -kit::vector_sine_domain, kit::two_pi, double{6.2831855f}})
        x.push_back(v);
    std::vector<double> out(x.size());
    kit::vector_sines(x.data(), out.data(), static_cast<int>(x.size()));
    long double worst = 0;
    double worst_x = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const long double error =
            std::fabs(static_cast<long double>(out[i]) - std::sin(static_cast<long double>(x[i])));
        if (error > worst) worst = error, worst_x = x[i];
    }
    EXPECT_LE(worst, kit::vector_sine_error) << "at x = " << worst_x;
}

TEST_F(VectorSine, KickStepsMatchTheLibrarySine) {
    // The states the orbits visit: 0 <= p < 2 pi (and the float just above it), theta likewise.
    std::uniform_real_distribution<float> phase(0.0f, 6.2831855f);
    for (float kick : program_kicks) {
        std::vector<float> p, theta;
        for (int i = 0; i < 500'000; ++i) {
            p.push_back(phase(random));
            theta.push_back(phase(random));
        }
        EXPECT_EQ(mismatches(kick, p, theta), 0) << "kick " << kick;
    }
}

TEST_F(VectorSine, KickStepsNearZeroMatchTheLibrarySine) {
    // Small momenta and angles near 0 and pi: the sums come close to zero, where the float grid
    // is finest and sums that round to zero must be recomputed.
    std::uniform_real_distribution<float> small(0.0f, 1e-3f);
    std::uniform_int_distribution<int> exponent(-140, -1);
    for (float kick : program_kicks) {
        std::vector<float> p, theta;
        for (int i = 0; i < 250'000; ++i) {
            p.push_back(std::ldexp(1.0f, exponent(random)) * (i % 3 == 0 ? 0 : 1));
            const float near = i % 2 ? 3.14159274f : 0.0f;
            theta.push_back(near + small(random) * (i % 5 == 0 ? 1e-30f : 1.0f));
        }
        EXPECT_EQ(mismatches(kick, p, theta), 0) << "kick " << kick;
    }
}

// Distance of the double sum to the nearer midpoint between its float and a neighbour.
double distance_to_boundary(double sum) {
    const float f = static_cast<float>(sum);
    const double up = std::nextafter(f, 1e30f), down = std::nextafter(f, -1e30f);
    return std::min(std::fabs(sum - (f + up) / 2), std::fabs(sum - (f + down) / 2));
}

TEST_F(VectorSine, SumsNearARoundingBoundaryAreRecomputed) {
    // Scan consecutive angles for sums lying within half the margin of a rounding boundary:
    // the vector path must send each of them to std::sin and still round them alike.
    for (float kick : {1.0f, 0.9f}) {
        std::vector<float> p, theta;
        float angle = 0.001f;
        for (int i = 0; i < (1 << 20); ++i, angle = std::nextafter(angle, 1.0f)) {
            const double sum = kick * std::sin(static_cast<double>(angle));
            if (distance_to_boundary(sum) <= kit::kick_margin / 2) {
                p.push_back(0);
                theta.push_back(angle);
            }
        }
        ASSERT_GE(p.size(), 20u) << "the scan should find boundary cases";
        const std::uint64_t before = kit::sine_fallbacks();
        EXPECT_EQ(mismatches(kick, p, theta), 0);
        EXPECT_EQ(kit::sine_fallbacks() - before, p.size());
    }
}

TEST(OrbitSweep, AStepThatCannotReachTwoPiDrawsTheFirstOrbitOnce) {
    test::SoftwareScreen screen;
    numbered_palette();
    // Zero, negative and NaN steps, and one too small to move a single-precision seed off 0.
    for (double step : {0.0, -0.001, std::nan(""), 1e-50}) {
        const kit::OrbitRow r = row(0.4f, step, 1000, 10, 20, 184, 28, 5, 7);
        EXPECT_EQ(kit::orbit_count(r), 1) << step;
        for (kit::OrbitPath path :
             {kit::OrbitPath::plain, kit::OrbitPath::interleaved, kit::OrbitPath::vector}) {
            const test::Picture picture = draw(r, path);
            EXPECT_EQ(test::count(picture, kit::white), 800 * 600 - 1) << step;
            EXPECT_EQ(picture.at(20, 184), kit::palette[7]) << step;
        }
    }
}

TEST(OrbitSweep, AStepThatStallsBelowTwoPiEndsTheSweep) {
    // 1e-7 moves the seed until half its spacing exceeds the step, at s = 2.
    const kit::OrbitRow r = row(1, 1e-7, 1, 1, 0, 0, 1, 1, 0);
    float s = 0;
    int expected = 1;
    for (float next = static_cast<float>(s + 1e-7); next > s; next = static_cast<float>(s + 1e-7))
        s = next, ++expected;
    EXPECT_EQ(s, 2.0f);
    EXPECT_EQ(kit::orbit_count(r), expected);
}

TEST(OrbitSweep, AnAbsurdKickStillEnds) {
    test::SoftwareScreen screen;
    numbered_palette();
    // Seeds 0, 3 and 6; a kick of 1e30 throws p so far that 2 pi no longer changes it. The wrap
    // gives up there: the fixed point and each orbit's first point (theta = 0, no kick yet) are
    // drawn, the rest falls off the screen.
    const kit::OrbitRow r = row(1e30f, 3, 50, 10, 20, 184, 28, 5, 7);
    for (kit::OrbitPath path : {kit::OrbitPath::plain, kit::OrbitPath::interleaved}) {
        const test::Picture picture = draw(r, path);
        EXPECT_EQ(picture.at(20, 184), kit::palette[7]);
        EXPECT_EQ(picture.at(50, 100), kit::palette[22]); // s = 3: (3 * 10 + 20, 184 - 3 * 28)
        EXPECT_EQ(picture.at(80, 16), kit::palette[37]);  // s = 6: (6 * 10 + 20, 184 - 6 * 28)
        EXPECT_EQ(test::count(picture, kit::white), 800 * 600 - 3);
    }
}

} // namespace
