// The natural logarithm in plain double arithmetic.
//
// How it is computed, and how far it can be off
// ---------------------------------------------
// Only IEEE double +, -, * and / are used, each correctly rounded to nearest on every platform the
// project builds for (SSE2 on x86, WebAssembly; -ffp-contract=off, no fused multiply-add), in the
// order written, so the same x gives the same bits everywhere. u = 2^-53.
//
// 1. Split: x = 2^e m, exactly, from x's bits (a subnormal x is first multiplied by 2^54, exactly),
//    with m in [sqrt(1/2), sqrt(2)): the mantissa's 52 bits decide whether m is the significand
//    in [1, 2) or half of it. f = m - 1 is exact (Sterbenz: m and 1 lie within a factor 2), and
//    |f| <= sqrt(2) - 1 < 0.4143.
// 2. ln m = ln(1 + f) = 2 atanh(s) with s = f / (2 + f), |s| <= 0.1716, s^2 <= 0.02944:
//        ln m = 2s + 2s Q,  Q = s^2/3 + s^4/5 + ... + s^22/23,
//    the series cut after s^22/23, whose next term s^24/25 is below 2^-62 (relative to the 1 it
//    is added to in 1 + Q, so below 2^-62 |ln m|). Since 2s = f - s f exactly (2 + f = 2f/s), the
//    sum is written ln m = f - s (f - 2Q): f is exact and is the largest part, the correction
//    s (f - 2Q) is below f^2/2 <= 0.0858 |f|.
// 3. Errors of ln m. s = fl(f / fl(2 + f)) lies within 2u (1 + 2u) of f / (2 + f), relative. Q is
//    summed by Horner's rule from the coefficients 1/(2n + 1) rounded to double, on w = fl(s s):
//    it is at most 0.0100 and known within 5u of itself (w carries s's error twice and its own
//    rounding; each term past the first falls by a factor 34 at least). The correction
//    c = fl(s fl(f - fl(2 Q))) then lies within (2u + 1.05u + u + u) |s f| < 5.1u |s f|,
//    relative, and |s f| <= f^2/2 <= 0.0858 |f| <= 0.0974 |ln m| (|ln(1 + f)| >= 0.881 |f| for
//    f in [-0.293, 0.4143]): c is off by at most 0.50u |ln m|, and the final f - c rounds once
//    more: |fl(ln m) - ln m| <= 1.51u |ln m|. A unit in the last place of ln m is more than
//    u |ln m|: within 1.51 units.
// 4. ln x = e ln 2 + ln m, with ln 2 = L1 + L2 + (below 2^-102), L1 of 42 significant bits so
//    that e L1 is exact (|e| <= 1075): ln x = fl(e L1 + fl(fl(e L2) + fl(ln m))). For e = 0 this
//    is fl(ln m) itself (3). For e != 0, |ln m| <= 0.3466 and |ln x| >= ln 2 - 0.3466 = 0.3466.
//    Before the outer sum rounds, the error is fl(ln m)'s (1.51u * 0.3466 < 0.524u), the inner
//    sum's rounding (it is below 0.3467 in magnitude: 0.25u at most), and e L2's rounding and the
//    tail of ln 2 (below 2^-92): 0.775u at most, absolute. A unit in the last place of a result
//    of magnitude 0.3466 or more is 2^-54 = u/2 at least: 1.55 units, and the outer sum's
//    rounding adds half a unit. So map_log is within 1.51 units of ln x for x in [sqrt(1/2),
//    sqrt(2)) and within 2.05 units elsewhere (far less for large |e|, where a unit is larger).
//    For x a power of two (ln m = 0) it is e ln 2 rounded twice, within half a unit and 2^-40.
//    Measured against MPFR over millions of values of every magnitude (tests/test_map_log.cpp):
//    0.50 units at most; the proof's bound stacks every rounding's worst case at once.
#include "map_log.hpp"

#include <cstdint>
#include <cstring>
#include <limits>

namespace kit {
namespace {

// 1/3, 1/5, ..., 1/23, each rounded to double: the coefficients of Q (2 above).
constexpr double inverse_odd[] = {0x1.5555555555555p-2, 0x1.999999999999ap-3, 0x1.2492492492492p-3,
                                  0x1.c71c71c71c71cp-4, 0x1.745d1745d1746p-4, 0x1.3b13b13b13b14p-4,
                                  0x1.1111111111111p-4, 0x1.e1e1e1e1e1e1ep-5, 0x1.af286bca1af28p-5,
                                  0x1.8618618618618p-5, 0x1.642c8590b2164p-5};

// ln 2 = ln2_high + ln2_low within 2^-102; ln2_high has 42 significant bits (4 above).
constexpr double ln2_high = 0x1.62e42fefa3800p-1;
constexpr double ln2_low = 0x1.ef35793c76730p-45;

// The mantissa bits of sqrt(2): a significand whose fraction lies above them is halved (1 above).
constexpr std::uint64_t sqrt2_fraction = 0x6a09e667f3bcd;

} // namespace

double map_log(double x) {
    if (!(x > 0) || x == std::numeric_limits<double>::infinity()) {
        if (x == 0) return -std::numeric_limits<double>::infinity();
        return x > 0 ? x : std::numeric_limits<double>::quiet_NaN();
    }
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    int e = static_cast<int>(bits >> 52) - 1023;
    if (bits >> 52 == 0) {
        const double scaled = x * 0x1p54;
        std::memcpy(&bits, &scaled, sizeof bits);
        e = static_cast<int>(bits >> 52) - 1023 - 54;
    }
    std::uint64_t fraction = bits & 0xfffffffffffff;
    std::uint64_t exponent_bits = 1023;
    if (fraction > sqrt2_fraction) {
        exponent_bits = 1022;
        ++e;
    }
    const std::uint64_t m_bits = exponent_bits << 52 | fraction;
    double m;
    std::memcpy(&m, &m_bits, sizeof m);
    const double f = m - 1;
    const double s = f / (2 + f);
    const double w = s * s;
    double q = inverse_odd[10];
    for (int n = 9; n >= 0; --n) q = q * w + inverse_odd[n];
    q = q * w;
    const double log_m = f - s * (f - 2 * q);
    const double k = e;
    return k * ln2_high + (k * ln2_low + log_m);
}

} // namespace kit
