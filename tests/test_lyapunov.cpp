// The orbits' exponents: the checked quick cosine against map_cosine, the exponent against a
// high-precision reference, the kinds of orbits whose nature is known, and the colour scale.
#include "lyapunov.hpp"
#include "map_sine.hpp"
#include "orbit_kernels.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#if KIT_TESTS_HAVE_MPFR
#include <mpfr.h>
#endif

namespace {

using kit::orbit_kernels::quick_cosine;
using kit::orbit_kernels::single_cosine;

constexpr float top_angle = 6.2831855f; // the single just above 2 pi

// The single cosine against map_cosine's, angle by angle: how many the quick cosine decided, and
// its largest error.
struct CosineCheck {
    long checked = 0, quick = 0;
    double worst = 0;
    void at(float x) {
        std::uint64_t fallbacks = 0;
        ASSERT_EQ(single_cosine(x, fallbacks), static_cast<float>(kit::map_cosine(x))) << x;
        ++checked, quick += fallbacks == 0;
        worst = std::fmax(worst, std::fabs(quick_cosine(x) - kit::map_cosine(x)));
    }
};

TEST(QuickCosine, GivesTheSingleOfMapCosineWithinItsProvenError) {
    std::mt19937 random{41};
    std::uniform_real_distribution<float> visited(0.0f, top_angle), domain(-7.0f, 7.0f);
    CosineCheck check;
    for (int i = 0; i < 3'000'000; ++i) check.at(visited(random));
    for (int i = 0; i < 500'000; ++i) check.at(domain(random));
    // Around every multiple of pi/2 in the domain: the zeros, where the singles are finest, and
    // the ends of the reduction, where its multiple changes.
    for (int k = -4; k <= 4; ++k) {
        float x = static_cast<float>(k * 1.5707963267948966);
        for (int i = 0; i < 2000; ++i) x = std::nextafter(x, -8.0f);
        for (int i = 0; i < 4000; ++i, x = std::nextafter(x, 8.0f)) check.at(x);
    }
    for (float x : {0.0f, -0.0f, 1e-45f, 0x1p-30f, top_angle, 7.0f, -7.0f}) check.at(x);
    // map_cosine lies within 2^-54 of cos x, so the proven bound less that is what can be seen.
    EXPECT_LT(check.worst, kit::vector_sine_error - 0x1p-54);
    // The quick cosine decides nearly every angle (about one in 30,000 falls back when they are
    // spread evenly; the runs near the zeros fall back more often).
    EXPECT_GT(check.quick, check.checked - check.checked / 500);
}

#if KIT_TESTS_HAVE_MPFR
// The exponent of the same float orbit, the same single cosines (from MPFR's correctly rounded
// cosine, rounded to single), the tangent product and the logarithm carried in 256-bit MPFR.
double reference_exponent(float kick, float p, float theta, int length) {
    mpfr_t dp, dtheta, g, t, cosine, in;
    mpfr_inits2(256, dp, dtheta, g, t, static_cast<mpfr_ptr>(nullptr));
    mpfr_init2(cosine, 53);
    mpfr_init2(in, 24);
    mpfr_set_d(dp, 1, MPFR_RNDN);
    mpfr_set_d(dtheta, 0, MPFR_RNDN);
    for (int i = 0; i < length; ++i) {
        mpfr_set_flt(in, theta, MPFR_RNDN);
        mpfr_cos(cosine, in, MPFR_RNDN);
        const float c = static_cast<float>(mpfr_get_d(cosine, MPFR_RNDN));
        mpfr_set_flt(g, kick, MPFR_RNDN);
        mpfr_mul_d(g, g, c, MPFR_RNDN);
        mpfr_mul(t, g, dtheta, MPFR_RNDN);
        mpfr_add(dp, dp, t, MPFR_RNDN);
        mpfr_add(dtheta, dtheta, dp, MPFR_RNDN);
        // The plotter's step as written, with map_sine throughout.
        p = kit::orbit_kernels::wrap_momentum(kit::orbit_kernels::kicked(p, theta, kick));
        theta = static_cast<float>(kit::orbit_kernels::wrap_angle(static_cast<double>(theta) + p));
    }
    mpfr_sqr(dp, dp, MPFR_RNDN);
    mpfr_sqr(dtheta, dtheta, MPFR_RNDN);
    mpfr_add(t, dp, dtheta, MPFR_RNDN);
    mpfr_log(t, t, MPFR_RNDN);
    mpfr_div_si(t, t, 2 * length, MPFR_RNDN);
    const double result = mpfr_get_d(t, MPFR_RNDN);
    mpfr_clears(dp, dtheta, g, t, cosine, in, static_cast<mpfr_ptr>(nullptr));
    return result;
}

TEST(LyapunovExponent, MatchesAHighPrecisionReference) {
    struct Case {
        float kick, p, theta;
        int length;
    };
    // Regular and chaotic orbits, no kick, the largest kick of a scene (whose vector is scaled
    // down tens of times), and an absurd kick beyond it that scales the vector at every step.
    const Case cases[] = {{0.0f, 1.0f, 0.0f, 10000}, {0.3f, 2.0f, 0.0f, 10000},
                          {0.9f, 0.0f, 3.2f, 10000}, {1.2f, 0.0f, 0.001f, 10000},
                          {2.0f, 0.5f, 0.5f, 3000},  {10.0f, 0.0f, 1.0f, 10000},
                          {-3.5f, 1.0f, 6.0f, 1000}, {1.0f, 3.0f, 3.0f, 1},
                          {1.0f, 3.0f, 3.0f, 2},     {1e30f, 0.5f, 0.5f, 200}};
    for (const Case& c : cases) {
        const double ours = kit::lyapunov_exponent(c.kick, c.p, c.theta, c.length);
        const double reference = reference_exponent(c.kick, c.p, c.theta, c.length);
        // Each step's three roundings move the vector by a few units of 2^-53, relative. In the
        // chaotic sea the vector turns towards the unstable direction and such errors die out
        // (the exponents agree within a unit of 2^-52 here); along a regular orbit the shear
        // carries each one forward over the steps left (15 units of 2^-52 off after 10,000
        // steps on the invariant curve here). 2^-43 allows 30 times that; a cosine not rounded
        // to single, a step's update out of order or a scaling miscounted is off by far more.
        EXPECT_NEAR(ours, reference, 0x1p-43 * std::fmax(1.0, std::fabs(reference)))
            << "kick " << c.kick << ", start (" << c.p << ", " << c.theta << "), " << c.length
            << " steps";
    }
}
#endif

TEST(LyapunovExponent, FirstStepAndDegenerateOrbits) {
    // The start vector (1, 0) becomes (1, 1) after any first step.
    for (float kick : {0.0f, 0.5f, 1.0f, 10.0f, -3.0f})
        EXPECT_DOUBLE_EQ(kit::lyapunov_exponent(kick, 1.0f, 2.0f, 1), std::log(2.0) / 2) << kick;
    // Without a kick the vector is (1, n): ln(1 + n^2) / 2n.
    for (int n : {2, 10, 1000})
        EXPECT_DOUBLE_EQ(kit::lyapunov_exponent(0.0f, 1.0f, 2.0f, n),
                         std::log(1.0 + static_cast<double>(n) * n) / (2 * n))
            << n;
    EXPECT_EQ(kit::lyapunov_exponent(1.0f, 1.0f, 1.0f, 0), 0);
    EXPECT_EQ(kit::lyapunov_exponent(1.0f, 1.0f, 1.0f, -5), 0);
    EXPECT_TRUE(std::isnan(kit::lyapunov_exponent(INFINITY, 1.0f, 1.0f, 10)));
    EXPECT_TRUE(std::isnan(kit::lyapunov_exponent(NAN, 1.0f, 1.0f, 10)));
}

// The kind of an orbit after each of these lengths.
const int scene_lengths[] = {1, 10, 100, 1000, 10000};

kit::OrbitKind kind_of(float kick, float p, float theta, int length) {
    return kit::orbit_kind(kit::lyapunov_exponent(kick, p, theta, length), length);
}

TEST(OrbitKind, RegularOrbitsAreRegularAtEveryLength) {
    using enum kit::OrbitKind;
    // The main island's centre, the elliptic fixed point (pi, 0), stable for 0 < K < 4, and
    // orbits close to it.
    for (float kick : {0.3f, 1.0f, 2.0f, 3.0f, 3.9f})
        for (float offset : {0.0f, 0.05f})
            for (int n : scene_lengths)
                EXPECT_EQ(kind_of(kick, 0.0f, 3.1415927f + offset, n), regular)
                    << "kick " << kick << ", offset " << offset << ", " << n << " steps";
    // Invariant curves across the whole circle at small kicks, and no kick at all.
    for (float kick : {0.0f, 0.1f, 0.3f})
        for (float p : {1.0f, 2.0f, 4.0f})
            for (int n : scene_lengths)
                EXPECT_EQ(kind_of(kick, p, 0.0f, n), regular)
                    << "kick " << kick << ", p " << p << ", " << n << " steps";
    // A libration close to the separatrix of the main resonance at K = 0.1 (regular: the chaotic
    // layer there is far thinner than the singles' spacing), whose long period the shear turns
    // into the largest stretching of the orbits studied: e^4.8 n after 10,000 steps.
    for (int n : scene_lengths)
        EXPECT_EQ(kind_of(0.1f, 6.2207f, 6.03692f, n), regular) << n << " steps";
    // A single step is too short to tell anything.
    EXPECT_EQ(kind_of(10.0f, 1.0f, 1.0f, 1), regular);
}

TEST(OrbitKind, OrbitsOfTheChaoticSeaAreChaotic) {
    using enum kit::OrbitKind;
    // Beside the hyperbolic fixed point (0, 0), in the chaotic sea from K = 1.2 on, and starts
    // beyond the last island at larger kicks.
    for (float kick : {1.2f, 1.5f, 2.0f, 5.0f, 10.0f})
        for (float theta : {0.001f, 0.01f})
            for (int n : {100, 1000, 10000})
                EXPECT_EQ(kind_of(kick, 0.0f, theta, n), chaotic)
                    << "kick " << kick << ", theta " << theta << ", " << n << " steps";
    for (float kick : {5.0f, 10.0f}) EXPECT_EQ(kind_of(kick, 0.5f, 0.5f, 20), chaotic);
    EXPECT_EQ(kit::orbit_kind(NAN, 100), chaotic);
}

// CIE L* of an sRGB colour (D65).
double lightness(kit::Rgb c) {
    const auto linear = [](int byte) {
        const double v = byte / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double y = 0.2126729 * linear(c.r) + 0.7151522 * linear(c.g) + 0.0721750 * linear(c.b);
    return y > 216.0 / 24389 ? 116 * std::cbrt(y) - 16 : y * 24389.0 / 27;
}

TEST(ExponentColour, ScaleRunsFromDarkCoolToLightWarm) {
    const kit::Rgb* scale = kit::exponent_scale;
    // Lightness rises along the whole scale, evenly: 42 units over 255 steps, each colour within
    // 0.07 of its share.
    for (int i = 0; i < 256; ++i) EXPECT_NEAR(lightness(scale[i]), 30 + 42.0 * i / 255, 0.075) << i;
    // Cool (blue over red) at the regular end, warm (red over blue) at the chaotic one.
    EXPECT_GT(scale[0].b, scale[0].r);
    EXPECT_GT(scale[255].r, scale[255].b + 100);
}

TEST(ExponentColour, PicksTheColourOfTheExponentsOctave) {
    const kit::Rgb* scale = kit::exponent_scale;
    // Each power of two 2^k in the range lies at colour 255 (k + 10) / 11, rounded.
    for (int k = -10; k <= 1; ++k)
        EXPECT_EQ(kit::exponent_colour(std::ldexp(1.0, k) * (1 + 1e-12)),
                  scale[static_cast<int>(std::lround(255.0 * (k + 10) / 11))])
            << k;
    // Beyond the range: the ends; NaN (an orbit that left the finite numbers) the warm one.
    for (double lambda : {0.0, -0.0, -1.0, 1e-300, 0x1p-11, -HUGE_VAL})
        EXPECT_EQ(kit::exponent_colour(lambda), scale[0]) << lambda;
    for (double lambda : {2.0, 3.5, 1e300, HUGE_VAL, std::nan("")})
        EXPECT_EQ(kit::exponent_colour(lambda), scale[255]) << lambda;
    // Every colour is reached, in order, as the exponent grows.
    int previous = 0, reached = 1;
    for (double lambda = 0x1p-10; lambda < 2.0; lambda *= 1.0001) {
        const kit::Rgb c = kit::exponent_colour(lambda);
        int index = previous;
        while (index < 256 && !(scale[index] == c)) ++index;
        ASSERT_LT(index, 256) << "colour out of order at " << lambda;
        reached += index != previous;
        previous = index;
    }
    EXPECT_EQ(reached, 256);
}

} // namespace
