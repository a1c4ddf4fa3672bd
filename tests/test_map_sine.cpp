// kit::map_sine and kit::map_cosine: the correctly rounded sine the orbit plotter's paths share,
// and the cosine of the orbits' exponents. Where MPFR is installed, every result that differs
// from the C library's is checked against MPFR's correctly rounded one; without it, such a
// difference may be one unit in the last place at most. (tools/sine_check.cpp checks every
// single up to 2 pi.)
#include "map_sine.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#if KIT_TESTS_HAVE_MPFR
#include <mpfr.h>
#endif

namespace {

#if KIT_TESTS_HAVE_MPFR
using Exact = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
#else
using Exact = int;
#endif

// One function under test, with the C library's and MPFR's.
struct Function {
    double (*ours)(float);
    double (*library)(double);
    Exact exact;
};

#if KIT_TESTS_HAVE_MPFR
const Function sine{kit::map_sine, std::sin, mpfr_sin}, cosine{kit::map_cosine, std::cos, mpfr_cos};
#else
const Function sine{kit::map_sine, std::sin, 0}, cosine{kit::map_cosine, std::cos, 0};
#endif

// The correctly rounded value of the function at x when MPFR is there, else NaN.
double correctly_rounded(const Function& f, float x) {
#if KIT_TESTS_HAVE_MPFR
    mpfr_t in, out;
    mpfr_init2(in, 24);
    mpfr_init2(out, 53);
    mpfr_set_flt(in, x, MPFR_RNDN);
    f.exact(out, in, MPFR_RNDN);
    const double result = mpfr_get_d(out, MPFR_RNDN);
    mpfr_clears(in, out, static_cast<mpfr_ptr>(nullptr));
    return result;
#else
    (void)f, (void)x;
    return std::numeric_limits<double>::quiet_NaN();
#endif
}

// Checks the function at x against the C library's: equal, or one unit in the last place apart
// and (with MPFR) the correctly rounded one. Returns whether they differ.
bool check_against_library(const Function& f, float x) {
    const double ours = f.ours(x), library = f.library(static_cast<double>(x));
    if (ours == library) return false;
    EXPECT_EQ(std::nextafter(library, ours), ours) << "more than 1 ulp apart at " << x;
    const double correct = correctly_rounded(f, x);
    if (!std::isnan(correct)) {
        EXPECT_EQ(ours, correct) << "not correctly rounded at " << x;
    }
    return true;
}

TEST(MapSine, TinyAnglesAndZerosAreTheirOwnSine) {
    for (float x : {0.0f, -0.0f, 1e-45f, -1e-45f, 1e-20f, 0x1p-27f, -0x1.fffffep-27f}) {
        EXPECT_EQ(kit::map_sine(x), x);
        EXPECT_EQ(std::signbit(kit::map_sine(x)), std::signbit(x)) << x;
    }
}

TEST(MapSine, InfinitiesAndNaNGiveNaN) {
    for (float x : {INFINITY, -INFINITY, NAN}) EXPECT_TRUE(std::isnan(kit::map_sine(x))) << x;
}

TEST(MapSine, MatchesTheCorrectlyRoundedSineOnAnglesOrbitsVisit) {
    std::mt19937 random{20261208};
    std::uniform_real_distribution<float> angle(0.0f, 6.2831855f);
    int differences = 0;
    for (int i = 0; i < 1'000'000; ++i) differences += check_against_library(sine, angle(random));
    // Around the multiples of pi/2, where the reduction cancels and the quick sum gives way.
    for (int k = 1; k <= 4; ++k) {
        float x = static_cast<float>(k * 1.5707963267948966);
        for (int i = 0; i < 64; ++i) x = std::nextafter(x, 0.0f);
        for (int i = 0; i < 128; ++i, x = std::nextafter(x, 8.0f)) {
            differences += check_against_library(sine, x);
            differences += check_against_library(sine, -x);
        }
    }
    // The C library's sine is off on about one angle in 1,500 here; far more would mean ours is.
    EXPECT_LT(differences, 2000);
}

TEST(MapSine, MatchesTheCorrectlyRoundedSineOnAnglesOfEveryMagnitude) {
    std::mt19937 random{7};
    std::uniform_int_distribution<std::uint32_t> bits(0, 0x7f7fffff);
    for (int i = 0; i < 100'000; ++i) {
        const std::uint32_t b = bits(random) | (i % 2 ? 0x80000000u : 0);
        float x;
        std::memcpy(&x, &b, sizeof x);
        check_against_library(sine, x);
    }
    check_against_library(sine, 0x1.fffffep127f);
    check_against_library(sine, -0x1.fffffep127f);
}

TEST(MapCosine, SmallAnglesAndZerosGiveOneAndNegativesTheirMirrorImage) {
    for (float x : {0.0f, -0.0f, 1e-45f, 1e-20f, 0x1.fffffep-28f, -0x1.fffffep-28f})
        EXPECT_EQ(kit::map_cosine(x), 1.0) << x;
    // Just above the cut, the cosine still rounds to 1; from about 2^-26.5 on, it does not.
    EXPECT_EQ(kit::map_cosine(0x1p-27f), 1.0);
    EXPECT_EQ(kit::map_cosine(0x1p-26f), 1 - 0x1p-53);
    std::mt19937 random{3};
    std::uniform_int_distribution<std::uint32_t> bits(0, 0x7f7fffff);
    for (int i = 0; i < 10'000; ++i) {
        const std::uint32_t b = bits(random);
        float x;
        std::memcpy(&x, &b, sizeof x);
        ASSERT_EQ(kit::map_cosine(-x), kit::map_cosine(x)) << x;
    }
}

TEST(MapCosine, InfinitiesAndNaNGiveNaN) {
    for (float x : {INFINITY, -INFINITY, NAN}) EXPECT_TRUE(std::isnan(kit::map_cosine(x))) << x;
}

TEST(MapCosine, MatchesTheCorrectlyRoundedCosineOnAnglesOrbitsVisit) {
    std::mt19937 random{20261209};
    std::uniform_real_distribution<float> angle(0.0f, 6.2831855f);
    int differences = 0;
    for (int i = 0; i < 1'000'000; ++i) differences += check_against_library(cosine, angle(random));
    // Around the multiples of pi/2: near the odd ones the reduction cancels, near the even ones
    // the reduction's multiple of pi/2 changes.
    for (int k = 1; k <= 4; ++k) {
        float x = static_cast<float>(k * 1.5707963267948966);
        for (int i = 0; i < 64; ++i) x = std::nextafter(x, 0.0f);
        for (int i = 0; i < 128; ++i, x = std::nextafter(x, 8.0f))
            differences += check_against_library(cosine, x);
    }
    // The C library's cosine is off on about one angle in 1,500 here; far more would mean ours
    // is.
    EXPECT_LT(differences, 2000);
}

TEST(MapCosine, MatchesTheCorrectlyRoundedCosineOnAnglesOfEveryMagnitude) {
    std::mt19937 random{8};
    std::uniform_int_distribution<std::uint32_t> bits(0, 0x7f7fffff);
    for (int i = 0; i < 100'000; ++i) {
        const std::uint32_t b = bits(random) | (i % 2 ? 0x80000000u : 0);
        float x;
        std::memcpy(&x, &b, sizeof x);
        check_against_library(cosine, x);
    }
    // The reduction's edges: 7.5, where the near one gives way to the one for every single, and
    // the largest single.
    for (float x : {7.4999995f, 7.5f, 7.5000005f, 0x1.fffffep127f})
        check_against_library(cosine, x);
}

} // namespace
