// kit::map_log: the logarithm of the orbits' exponents, from the project's own arithmetic. Its
// error is measured against MPFR where that is installed (else against the C library's log, with
// a unit in the last place more allowed for that one's own error).
#include "map_log.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#if KIT_TESTS_HAVE_MPFR
#include <mpfr.h>
#endif

namespace {

double from_bits(std::uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// |map_log(x) - ln x| in units in the last place of ln x rounded to double.
double error_in_ulps(double x) {
    const double ours = kit::map_log(x);
#if KIT_TESTS_HAVE_MPFR
    // ln x to 120 bits, far beyond the errors measured; made once, as the test makes millions.
    static mpfr_t in, exact;
    static const bool made = (mpfr_init2(in, 53), mpfr_init2(exact, 120), true);
    (void)made;
    mpfr_set_d(in, x, MPFR_RNDN);
    mpfr_log(exact, in, MPFR_RNDN);
    const double rounded = mpfr_get_d(exact, MPFR_RNDN);
    mpfr_sub_d(exact, exact, ours, MPFR_RNDN);
    const double error = std::fabs(mpfr_get_d(exact, MPFR_RNDN));
#else
    const double rounded = std::log(x);
    const double error = std::fabs(ours - rounded);
#endif
    if (rounded == 0) return ours == 0 ? 0 : std::numeric_limits<double>::infinity();
    const double ulp = std::nextafter(std::fabs(rounded), INFINITY) - std::fabs(rounded);
    return error / ulp;
}

// The bound map_log.hpp states, as measured (against the C library's log, whose own error adds
// up to a unit, a unit more).
#if KIT_TESTS_HAVE_MPFR
constexpr double bound = 0.501;
#else
constexpr double bound = 1.501;
#endif

struct Worst {
    double ulps = 0, at = 0;
    void take(double x) {
        const double e = error_in_ulps(x);
        if (!(e <= ulps)) ulps = e, at = x;
    }
};

TEST(MapLog, StaysWithinItsBoundOverEveryMagnitude) {
    std::mt19937_64 random{2026};
    Worst worst;
    // Bit patterns spread evenly over the positive finite doubles, subnormals among them.
    std::uniform_int_distribution<std::uint64_t> any(1, 0x7fefffffffffffff);
    for (int i = 0; i < 1'500'000; ++i) worst.take(from_bits(any(random)));
    // Near 1, where ln x is small and its last place finest, on both sides of sqrt 2 and
    // sqrt(1/2), where the mantissa's split changes, and around the sums of squares the exponents
    // take (1 to 8).
    std::uniform_real_distribution<double> near_one(0.5, 2.0), sums(1.0, 8.0);
    for (int i = 0; i < 400'000; ++i) worst.take(near_one(random));
    for (int i = 0; i < 200'000; ++i) worst.take(sums(random));
    for (int k = 1; k <= 52; ++k)
        for (double d : {-1.0, 1.0}) worst.take(1 + d * std::ldexp(1.0, -k));
    for (double edge : {std::sqrt(2.0), std::sqrt(0.5)})
        for (int i = -1000; i <= 1000; ++i)
            worst.take(from_bits(static_cast<std::uint64_t>(
                static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(edge)) + i)));
    // Powers of two, their neighbours, the subnormals' ends and the largest double.
    for (int e = -1074; e <= 1023; ++e) {
        const double x = std::ldexp(1.0, e);
        worst.take(x);
        worst.take(std::nextafter(x, 0.0));
        worst.take(std::nextafter(x, INFINITY));
    }
    worst.take(std::numeric_limits<double>::denorm_min());
    worst.take(std::numeric_limits<double>::min());
    worst.take(std::nextafter(std::numeric_limits<double>::min(), 0.0));
    worst.take(std::numeric_limits<double>::max());
    EXPECT_LE(worst.ulps, bound) << "at " << worst.at;
    std::printf("largest error: %.6f units in the last place, at %a\n", worst.ulps, worst.at);
}

TEST(MapLog, EdgesAreExact) {
    EXPECT_EQ(kit::map_log(1.0), 0.0);
    EXPECT_FALSE(std::signbit(kit::map_log(1.0)));
    EXPECT_EQ(kit::map_log(0.0), -INFINITY);
    EXPECT_EQ(kit::map_log(-0.0), -INFINITY);
    EXPECT_EQ(kit::map_log(INFINITY), INFINITY);
    for (double x : {-1.0, -HUGE_VAL, -std::numeric_limits<double>::denorm_min(),
                     std::numeric_limits<double>::quiet_NaN()})
        EXPECT_TRUE(std::isnan(kit::map_log(x))) << x;
    // ln 2^e is e ln 2, within half a unit and a hair: as the C library's, to the last bit, on
    // every power of two whose logarithm it rounds correctly (its error is far below ours).
    int differing = 0;
    for (int e = -1074; e <= 1023; ++e)
        differing += kit::map_log(std::ldexp(1.0, e)) != std::log(std::ldexp(1.0, e));
    EXPECT_LE(differing, 20);
}

} // namespace
