// The fast orbit paths against the textbook loop: whole pictures for every orbit row the
// programs draw, and single map steps of the vector path. The same cases run in the WebAssembly
// build under Node.js (orbit_identity_node.cpp).
#include "kit/canvas.hpp"
#include "kit/orbits.hpp"
#include "lyapunov.hpp"
#include "orbit_cases.hpp"
#include "orbit_kernels.hpp"
#include "orbit_paths.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace test::orbit_cases {
// Names the rows in GoogleTest's messages.
void PrintTo(const NamedRow& row, std::ostream* out) {
    *out << row.name;
}
} // namespace test::orbit_cases

namespace {

using namespace test::orbit_cases;

class OrbitIdentity : public testing::TestWithParam<NamedRow> {};

TEST_P(OrbitIdentity, EveryPathDrawsTheBaselinePicture) {
    test::SoftwareScreen screen;
    numbered_palette();
    const kit::OrbitRow& row = GetParam().row;
    const std::vector<Uint32> expected = draw_baseline(row);
    ASSERT_NE(std::count(expected.begin(), expected.end(), kit::white), 0);

    using kit::OrbitPath;
    ASSERT_EQ(kit::orbit_path_for(row, OrbitPath::plain), OrbitPath::plain);
    EXPECT_EQ(difference(expected, draw(row, OrbitPath::plain)), "") << "plain path";

    // Every length up to a scene's longest takes the grouped paths.
    const OrbitPath interleaved = kit::orbit_path_for(row, OrbitPath::interleaved);
    EXPECT_EQ(interleaved, OrbitPath::interleaved);
    EXPECT_EQ(difference(expected, draw(row, OrbitPath::interleaved)), "") << "interleaved path";

    const OrbitPath vector = kit::orbit_path_for(row, OrbitPath::vector);
    const bool vector_applies =
        kit::vector_sine_available() && std::fabs(row.kick) <= kit::vector_kick_limit;
    EXPECT_EQ(vector, vector_applies ? OrbitPath::vector : interleaved);
    EXPECT_EQ(difference(expected, draw(row, OrbitPath::vector)), "") << "vector path";

    EXPECT_EQ(kit::orbit_path_for(row), vector);

    // Shared among threads, on the fastest path, and on the plain one (whose orbits are not
    // grouped): the same picture.
    for (int threads : {2, 3, 7})
        EXPECT_EQ(difference(expected, draw(row, OrbitPath::automatic, threads)), "")
            << threads << " threads";
    EXPECT_EQ(difference(expected, draw(row, OrbitPath::plain, 3)), "") << "plain path, 3 threads";
}

// The screen after drawing the row with the given path.
test::Picture picture_of(const kit::OrbitRow& row, kit::OrbitPath path) {
    draw(row, path);
    return test::snapshot();
}

std::string row_name(const testing::TestParamInfo<NamedRow>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(ProgramRows, OrbitIdentity, testing::ValuesIn(program_rows()), row_name);
INSTANTIATE_TEST_SUITE_P(StressRows, OrbitIdentity, testing::ValuesIn(stress_rows()), row_name);

// Every step of each set equals the textbook loop's, bit for bit.
void expect_identical_steps(const std::vector<StepSet>& sets) {
    for (const StepSet& steps : sets) {
        const std::vector<size_t> wrong = mismatches(steps);
        EXPECT_EQ(wrong.size(), 0u)
            << "kick " << steps.kick
            << ", first: " << (wrong.empty() ? "" : describe(steps, wrong[0]));
    }
}

class VectorSteps : public testing::Test {
  protected:
    void SetUp() override {
        if (kit::vector_sine_available()) return;
#if defined(__x86_64__)
        GTEST_SKIP() << "no AVX2 with FMA on this processor";
#else
        GTEST_SKIP() << "this build has no vector path (it has one for x86-64 and WebAssembly)";
#endif
    }
    std::mt19937 random{20240607};
};

TEST_F(VectorSteps, TheSineStaysWithinItsErrorBound) {
    const SineError worst = worst_sine_error(sine_angles(random, 1'000'000));
    EXPECT_LE(worst.error, kit::vector_sine_error) << "at x = " << worst.at;
}

TEST_F(VectorSteps, RandomStepsMatchTheTextbookLoop) {
    expect_identical_steps(random_steps(random, 300'000));
}

TEST_F(VectorSteps, StepsNearZeroMatchTheTextbookLoop) {
    expect_identical_steps(steps_near_zero(random, 150'000));
}

TEST_F(VectorSteps, StepsAtTheWrapEdgesMatchTheTextbookLoop) {
    expect_identical_steps(steps_at_the_edges());
}

TEST_F(VectorSteps, SumsNearARoundingBoundaryAreRecomputed) {
    for (const StepSet& steps : steps_near_a_boundary()) {
        ASSERT_GE(steps.p.size(), 20u) << "the scan should find boundary cases";
        const std::uint64_t before = kit::sine_fallbacks();
        EXPECT_EQ(mismatches(steps).size(), 0u);
        EXPECT_EQ(kit::sine_fallbacks() - before, steps.p.size());
    }
}

// The plain and interleaved paths' kick (the quick sine, kept when the margin decides the sum's
// rounding) gives the textbook loop's momentum on every set of states, on every processor.
TEST(QuickSteps, KicksMatchTheTextbookLoop) {
    std::mt19937 random{20261208};
    std::vector<StepSet> sets = random_steps(random, 100'000);
    for (const std::vector<StepSet>& more :
         {steps_near_zero(random, 50'000), steps_at_the_edges(), steps_near_a_boundary()})
        sets.insert(sets.end(), more.begin(), more.end());
    using namespace kit::orbit_kernels;
    for (const StepSet& steps : sets) {
        const double margin = kit::kick_margin(steps.kick);
        size_t wrong = 0, first = 0;
        for (size_t i = 0; i < steps.p.size(); ++i) {
            const float p =
                wrap_momentum(kicked_quickly(steps.p[i], steps.theta[i], steps.kick, margin));
            const test::BaselineStep expected =
                test::baseline_step(steps.kick, steps.p[i], steps.theta[i]);
            if (bits_of(p) != bits_of(expected.p) && wrong++ == 0) first = i;
        }
        EXPECT_EQ(wrong, 0u) << "kick " << steps.kick << ", first: " << describe(steps, first);
    }
}

// The seed line's points counted on any number of threads: the threads' counts add up to one
// thread's, pixel by pixel, and to every point that lands on the picture.
TEST(OrbitSweep, CountsOnEveryThreadCountAddUp) {
    const kit::OrbitRow r = row(0.9f, 0.005, 1000, 40, 20, 238, 35, 997, 0);
    constexpr int width = 200, height = 250; // points right of theta = 4.5 fall off
    const auto counts_on = [&](int threads) {
        std::vector<Uint32> counts(width * height, 0);
        kit::count_seed_line(
            r, {.pixels = counts.data(), .width = width, .height = height, .stride = width},
            {.threads = threads}, kit::ThreadRule::all_asked);
        return counts;
    };
    const std::vector<Uint32> one = counts_on(1);
    long on_picture = 0;
    float s = 0;
    do {
        float p = s, theta = 0;
        for (int i = 0; i < r.orbit_length; ++i) {
            const test::BaselineStep next = test::baseline_step(r.kick, p, theta);
            const int x = kit::trunc_to_int(next.t * r.x_scale + r.x_offset);
            const int y = kit::trunc_to_int(r.y_base - next.p * r.y_scale);
            on_picture += x >= 0 && x < width && y >= 0 && y < height;
            p = next.p, theta = next.theta;
        }
    } while (kit::next_seed(s, r.seed_step));
    long total = 0;
    for (Uint32 count : one) total += count;
    EXPECT_EQ(total, on_picture);
    EXPECT_LT(on_picture, static_cast<long>(kit::orbit_count(r)) * r.orbit_length);
    for (int threads : {2, 3, 7}) EXPECT_EQ(counts_on(threads), one) << threads << " threads";
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
            const test::Picture picture = picture_of(r, path);
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
        const test::Picture picture = picture_of(r, path);
        EXPECT_EQ(picture.at(20, 184), kit::palette[7]);
        EXPECT_EQ(picture.at(50, 100), kit::palette[22]); // s = 3: (3 * 10 + 20, 184 - 3 * 28)
        EXPECT_EQ(picture.at(80, 16), kit::palette[37]);  // s = 6: (6 * 10 + 20, 184 - 6 * 28)
        EXPECT_EQ(test::count(picture, kit::white), 800 * 600 - 3);
    }
}

} // namespace

namespace {

// Orbits started anywhere, into a picture of another size than the screen's and through a window
// onto part of the plane (points off it dropped, with and without strict edges): every path
// draws what the textbook loop draws.
class OrbitStarts : public testing::TestWithParam<std::tuple<float, bool>> {};

TEST_P(OrbitStarts, EveryPathDrawsTheBaselinePictureIntoAnyPicture) {
    test::SoftwareScreen screen;
    constexpr int width = 333, height = 111;
    const auto [kick, strict] = GetParam();
    // theta from 1 to 5 across the width, p from 0.5 to 4.5 down the height.
    const kit::OrbitRow r{.kick = kick,
                          .orbit_length = 700,
                          .x_scale = width / 4.0,
                          .x_offset = -width / 4.0,
                          .y_base = 4.5 * height / 4.0,
                          .y_scale = height / 4.0,
                          .strict_edges = strict};
    std::mt19937 random{7};
    std::uniform_real_distribution<float> anywhere(0, 6.2831850f);
    std::vector<kit::OrbitStart> starts;
    // Groups of sixteen and a part, and runs of a share (kit::share_run) and a part.
    for (int i = 0; i < 140; ++i)
        starts.push_back({.p = anywhere(random), .theta = anywhere(random)});
    starts.push_back({.p = 0, .theta = 0});
    const auto colour = [](const kit::OrbitFacts& orbit) {
        return static_cast<Uint32>(0x02000000 + orbit.index);
    };

    test::Picture expected{width, height, std::vector<Uint32>(width * height, 0)};
    test::Picture counted{width, height, std::vector<Uint32>(width * height, 0)};
    long edge_points = 0; // points less than a pixel off the left or top edge
    for (size_t n = 0; n < starts.size(); ++n) {
        float p = starts[n].p, theta = starts[n].theta;
        for (int i = 0; i < r.orbit_length; ++i) {
            const test::BaselineStep next = test::baseline_step(r.kick, p, theta);
            const double column = next.t * r.x_scale + r.x_offset;
            const double line = r.y_base - next.p * r.y_scale;
            const int x = kit::trunc_to_int(column), y = kit::trunc_to_int(line);
            const bool edge = (column < 0 && x == 0) || (line < 0 && y == 0);
            edge_points += edge;
            if (x >= 0 && x < width && y >= 0 && y < height && !(strict && edge)) {
                expected.at(x, y) = colour({.index = static_cast<int>(n), .start = starts[n]});
                ++counted.at(x, y);
            }
            p = next.p;
            theta = next.theta;
        }
    }
    EXPECT_GT(test::count(expected, 0), 0);
    EXPECT_LT(test::count(expected, 0), width * height * 7 / 8);
    EXPECT_GT(edge_points, 10);
    const auto image_of = [](test::Picture& picture) {
        return kit::Image{.pixels = picture.pixels.data(),
                          .width = picture.w,
                          .height = picture.h,
                          .stride = static_cast<size_t>(picture.w)};
    };
    const auto blank = [] {
        return test::Picture{width, height, std::vector<Uint32>(width * height, 0)};
    };
    using kit::ThreadRule;
    for (kit::OrbitPath path :
         {kit::OrbitPath::plain, kit::OrbitPath::interleaved, kit::OrbitPath::vector}) {
        for (int threads : {1, 2, 3, 7}) {
            test::Picture actual = blank();
            kit::plot_starts(r, starts, image_of(actual), colour, path, {.threads = threads},
                             ThreadRule::all_asked);
            EXPECT_TRUE(test::same_picture(actual, expected))
                << kit::path_name(path) << ", " << threads << " threads";
        }
    }
    // Counted instead of coloured, every point adds one where it would have been drawn; shared
    // among threads, the counts add up, onto what the picture held.
    for (int threads : {1, 2, 3, 7}) {
        test::Picture counts = blank();
        for (Uint32& count : counts.pixels) count = 5;
        kit::count_starts(r, starts, image_of(counts), {.threads = threads}, ThreadRule::all_asked);
        for (Uint32& count : counts.pixels) count -= 5;
        EXPECT_TRUE(test::same_picture(counts, counted)) << threads << " threads";
    }
    // Split among plotters that share no memory, each share marked on its own, then merged.
    ASSERT_GT(starts.size(), 2u * kit::share_run);
    for (int parts : {1, 2, 3}) {
        std::vector<test::Picture> last(parts, blank());
        std::vector<std::vector<Uint32>> colours(parts, std::vector<Uint32>(starts.size() + 9));
        std::vector<kit::Marks> marks;
        for (int part = 0; part < parts; ++part) {
            marks.push_back(kit::Marks{.last = image_of(last[part]), .colours = colours[part]});
            // Marks from 10 on, as a second call of a drawing would have them.
            kit::mark_starts(r, starts, {.part = part, .parts = parts}, 10, marks.back(), colour);
        }
        test::Picture merged = blank();
        kit::merge_marks(marks, image_of(merged));
        EXPECT_TRUE(test::same_picture(merged, expected)) << parts << " shares";
    }
    // Counted in shares, each share's counts merged: the counts of one plotter.
    for (int parts : {1, 2, 3}) {
        std::vector<test::Picture> counts(parts, blank());
        std::vector<kit::Image> shares;
        for (int part = 0; part < parts; ++part) {
            kit::count_share_starts(r, starts, {.part = part, .parts = parts},
                                    image_of(counts[part]));
            shares.push_back(image_of(counts[part]));
        }
        test::Picture merged = blank();
        kit::merge_counts(shares, image_of(merged));
        EXPECT_TRUE(test::same_picture(merged, counted)) << parts << " shares counted";
    }
    // A rule that needs the orbits' exponents is told each one's, bit for bit, on every path (the
    // vector kernel carries the tangent vectors along itself) and any number of threads.
    for (kit::OrbitPath path : {kit::OrbitPath::plain, kit::OrbitPath::interleaved,
                                kit::OrbitPath::vector, kit::OrbitPath::automatic})
        for (int threads : {1, 3}) {
            std::vector<double> told(starts.size(), -1);
            const auto tell = [&](const kit::OrbitFacts& orbit) {
                told[orbit.index] = orbit.exponent;
                return 0u;
            };
            kit::ColourRule by_exponent = tell;
            by_exponent.needs_exponent = true;
            test::Picture scratch = blank();
            kit::plot_starts(r, starts, image_of(scratch), by_exponent, path, {.threads = threads},
                             ThreadRule::all_asked);
            for (size_t n = 0; n < starts.size(); ++n)
                EXPECT_EQ(told[n], kit::lyapunov_exponent(r.kick, starts[n].p, starts[n].theta,
                                                          r.orbit_length))
                    << kit::path_name(path) << ", orbit " << n;
        }
    // Nothing was drawn on the screen.
    EXPECT_EQ(test::count(test::snapshot(), kit::white), 800 * 600);
}

// A kick within one, and one of a scene's larger kicks.
INSTANTIATE_TEST_SUITE_P(Kicks, OrbitStarts,
                         testing::Combine(testing::Values(0.97f, -7.25f), testing::Bool()));

} // namespace
