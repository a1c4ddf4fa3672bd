// The map's sine and cosine in double-double arithmetic, rounded once at the end.
//
// How they are computed, and why the results are correctly rounded
// -----------------------------------------------------------------
// Only IEEE double +, - and * are used, each correctly rounded to nearest on every platform the
// project builds for (SSE2 on x86, never the x87 unit; -ffp-contract=off, so no multiply is fused
// with an addition behind our back). The same operations on the same values give the same bits.
// A pair hi + lo below stands for their exact sum; two_sum and two_product give sums and products
// of doubles exactly as pairs, and the pair operations lose at most about 2^-104 relative.
// Both functions reduce the angle to r with |r| <= pi/2 + 2^-48 and a sign, and then share the
// sums of 4 to 6, which compute sin r: the cosine as cos theta = sin(theta + pi/2).
//
// 1. |theta| < 2^-26: sin x = x - x^3/6 + ..., and x^3/6 < 2^-52 x / 6 is below half the gap
//    under x (at least 2^-54 x), while x, a single, is no midpoint between doubles: the correct
//    rounding of sin x is x itself (and -0 stays -0). Negative angles: sin(-x) = -sin x.
//    Cosine: for |theta| < 2^-27, 1 - theta^2/2 < cos theta <= 1 and theta^2/2 < 2^-55, below
//    half the gap under 1 (2^-54): the correct rounding is 1. cos(-x) = cos x.
// 2. Reduction of any single >= 7.5: theta = m 2^e with m < 2^24 an integer. With 1/pi written
//    as 24-bit integer pieces c_i 2^(-24 (i + 1)), theta / pi = sum m c_i 2^(e - 24 (i + 1)), and
//    every term is an exact double (48 significant bits at most). Terms whose scale
//    2^(e - 24 (i + 1)) is 2 or more are even integers and do not change sin; the next six are
//    taken. Each loses its nearest integer (exactly, with the 1.5 * 2^52 shift; the parities add
//    up to that of k), and the fractions are summed with two-sums into hi + lo, then hi loses its
//    nearest integer once more. So theta / pi = k + f with |f| <= 1/2, the pieces left out below
//    2^-96, and r = f * pi (pi as a pair) gives sin theta = (-1)^k sin r. The roundings of lo add
//    below 2^-103; a scan of every single from 7.5 up finds |f| >= 2^-29.9 (at 1.5458358e29), so
//    f, and the result, are known within 2^-65 relative there. The cosine's sum starts from 1/2
//    instead of 0: theta / pi + 1/2 = k + f, theta + pi/2 = k pi + r, cos theta = (-1)^k sin r;
//    the same scan for it finds |f| >= 2^-30.86 (at 7.7291789e28), so within 2^-65 relative.
// 3. Reduction of 1.5 <= theta < 7.5, the angles orbits visit: k = 0, 1 or 2, the integer
//    nearest theta / pi (or next to it: then |r| exceeds pi/2 by 2^-49 at most), and
//    pi = P1 + P2 + P3 within 2^-162. theta - k P1 is exact (both are multiples of 2^-51 and the
//    difference is below 2), k P2 and k P3 are exact (k <= 2), and two_sum keeps the next
//    subtraction exact: r is known to within 2^-105 |r| + 2^-160, and |r| >= 8.7e-8 (the single
//    nearest pi; every other single in range lies farther from a multiple of pi), so within
//    2^-104 relative. Below 1.5, r = theta and k = 0.
//    Cosine, 2^-27 <= theta < 7.5: k = 1, 2 or 3, nearest to theta / pi + 1/2 as computed
//    (within 2^-50.5 of it, so |r| <= pi/2 + 2^-48), and r = theta - j pi/2 with j = 2k - 1 odd,
//    pi/2 = H1 + H2 + H3 within 2^-159, H1 a multiple of 2^-49 and H2 of 50 significant bits:
//    j H1 and j H2 are exact (j <= 5), theta - j H1 is exact (theta is a multiple of 2^-50, the
//    difference one of 2^-50 below 2) and the rest as above: r is known within
//    2^-105 |r| + 2^-155, and |r| >= 1.19e-8 (the single nearest 3 pi/2; the one nearest pi/2
//    lies 4.4e-8 away), so within 2^-104 relative.
// 4. sin r = r + r z S(z), z = r^2, |r| <= pi/2 + 2^-48, S the Taylor series of (sin r - r)/r^3
//    up to z^15 (the next term is below 2^-110 |r|). The terms from some k on are summed by
//    Horner's rule in plain double on z's leading part, the earlier ones and the products in
//    pairs. The careful sum takes terms 1 to 9 in pairs and 10 to 16 in double: the double part
//    is below 2^-52 |r| and within 2^-47 of itself, and the result pair y lies within about
//    2^-100 |sin theta| of sin theta.
// 5. The quick sum, tried first below 7.5, takes terms 1 to 3 in pairs and 4 to 12 in double.
//    The double part is below 2^-13.2 |r| and Horner's rule on 9 terms whose sizes fall by a
//    factor 36 at least leaves it within 2^-48.8 relative, so |y - sin r| < 2^-62 |r|, and
//    |sin r| >= 0.63 |r|: within 2^-61.3 |sin theta|. The bound used, 2^-60 |y_hi|, covers that
//    with room for the rounding of y_lo +- bound. When y_hi + (y_lo - bound) and
//    y_hi + (y_lo + bound) round to the same double, so does every value between them
//    (rounding is monotonic), sin theta among them: that double is the correct rounding. Else
//    (about one angle in 60) the careful sum decides.
// 6. The result is the double y_hi + y_lo, rounded once; it is the correctly rounded sine unless
//    sin theta lies within the careful sum's error of a midpoint between two doubles.
//    tools/sine_check.cpp confirms, for every single in [0, 2 pi] and the one just above, that
//    the results of both functions are the correctly rounded ones.
#include "map_sine.hpp"

#include <cstdint>
#include <cstring>

namespace kit {
namespace {

// The unevaluated sum hi + lo; after normalising, |lo| <= half a unit in hi's last place.
struct Pair {
    double hi, lo;
};

// a + b exactly, whatever their magnitudes (Knuth).
Pair two_sum(double a, double b) {
    const double s = a + b;
    const double b_part = s - a;
    const double a_part = s - b_part;
    return {s, (a - a_part) + (b - b_part)};
}

// a + b exactly, for |a| >= |b| or a == 0 (Dekker).
Pair quick_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a as hi + lo with 26 significant bits each (Veltkamp), so that products of parts are exact.
Pair split(double a) {
    const double c = 0x1.0000002p27 * a; // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// a * b exactly (Dekker), without a multiply-add: not every platform fuses one.
Pair two_product(double a, double b) {
    const double p = a * b;
    const Pair x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Pair multiply(Pair a, Pair b) {
    Pair p = two_product(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return quick_two_sum(p.hi, p.lo);
}

Pair add(Pair a, Pair b) {
    Pair s = two_sum(a.hi, b.hi);
    s.lo += a.lo + b.lo;
    return quick_two_sum(s.hi, s.lo);
}

// 1/pi = sum inverse_pi_pieces[i] 2^(-24 (i + 1)): enough pieces for the largest single.
constexpr double inverse_pi_pieces[] = {0x517cc1, 0xb72722, 0x0a94fe, 0x13abe8, 0xfa9a6e,
                                        0xe06db1, 0x4acc9e, 0x21c820, 0xff28b1, 0xd5ef5d};
constexpr Pair pi = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};

// Added to a value below 2^51 in magnitude, leaves its nearest integer in the low bits.
constexpr double integer_shift = 0x1.8p52;

double power_of_two(int e) {
    const std::uint64_t bits = static_cast<std::uint64_t>(1023 + e) << 52;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// v loses its nearest integer, whose parity flips `odd`.
double drop_integer(double v, bool& odd) {
    const double shifted = v + integer_shift;
    std::uint64_t bits;
    std::memcpy(&bits, &shifted, sizeof bits);
    odd ^= (bits & 1) != 0;
    return v - (shifted - integer_shift);
}

struct Reduced {
    Pair r;
    bool odd;
};

// theta / pi + start = k + f and r = f pi (2 above), for finite theta >= 7.5 (any single >= 1.5
// works): start 0 for the sine, 1/2 for the cosine.
Reduced reduce(float theta, double start) {
    std::uint32_t bits;
    std::memcpy(&bits, &theta, sizeof bits);
    const double m = static_cast<double>((bits & 0x7fffff) | 0x800000);
    const int e = static_cast<int>(bits >> 23) - 150;
    int i = 0;
    while (e - 24 * (i + 1) > 0) ++i;
    bool odd = false;
    Pair f{start, 0};
    for (const int end = i + 6; i < end; ++i) {
        const double term = m * inverse_pi_pieces[i] * power_of_two(e - 24 * (i + 1));
        const Pair s = two_sum(f.hi, drop_integer(term, odd));
        f = {s.hi, f.lo + s.lo};
    }
    f = quick_two_sum(drop_integer(f.hi, odd), f.lo);
    return {multiply(f, pi), odd};
}

// (-1)^k / (2k + 1)! for k = 1 to 16, the coefficients of S (4 and 5 above), as pairs.
constexpr Pair terms[] = {{-0x1.5555555555555p-3, -0x1.5555555555555p-57},
                          {0x1.1111111111111p-7, 0x1.1111111111111p-63},
                          {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
                          {0x1.71de3a556c734p-19, -0x1.c154f8ddc6cp-73},
                          {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
                          {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
                          {-0x1.ae7f3e733b81fp-41, -0x1.1d8656b0ee8cbp-97},
                          {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
                          {-0x1.2f49b46814157p-57, -0x1.2650f61dbdcb4p-112},
                          {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
                          {-0x1.761b41316381ap-75, 0x1.3423c7d91404fp-130},
                          {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
                          {-0x1.d1ab1c2dccea3p-94, -0x1.054d0c78aea14p-149},
                          {0x1.259f98b4358adp-103, 0x1.eaf8c39dd9bc5p-157},
                          {-0x1.434d2e783f5bcp-113, -0x1.0b87b91be9affp-167},
                          {0x1.3981254dd0d52p-123, -0x1.2b1f4c8015a2fp-177}};

// sin r as a pair, |r| <= pi/2 + 2^-50, from the terms k = 1 to `last` of S: those from
// `in_pairs` + 1 on summed in double on z's leading part, the others in pairs.
template <int in_pairs, int last> Pair sine_of(Pair r) {
    const Pair z = multiply(r, r);
    double small = terms[last - 1].hi;
    for (int k = last - 1; k > in_pairs; --k) small = small * z.hi + terms[k - 1].hi;
    Pair s{small, 0};
    for (int k = in_pairs; k >= 1; --k) s = add(terms[k - 1], multiply(z, s));
    const Pair tail = multiply(multiply(r, z), s);
    const Pair sum = two_sum(r.hi, tail.hi);
    return {sum.hi, sum.lo + (r.lo + tail.lo)};
}

// pi = pi.hi + pi.lo + pi_third_piece, within 2^-162.
constexpr double pi_third_piece = -0x1.f1976b7ed8fbcp-109;
constexpr double inverse_pi = 0x1.45f306dc9c883p-2;

// theta = k pi + r for 1.5 <= theta < 7.5, where k is 0, 1 or 2 (3 above).
Reduced reduce_near(float theta) {
    const double x = theta;
    const double shifted = x * inverse_pi + integer_shift;
    const double k = shifted - integer_shift;
    const Pair r = two_sum(x - k * pi.hi, -(k * pi.lo));
    return {quick_two_sum(r.hi, r.lo - k * pi_third_piece), k == 1};
}

// pi/2 = H1 + H2 + H3 within 2^-159: H1 a multiple of 2^-49, H2 of 50 significant bits, so that
// odd multiples up to 5 of both are exact (3 above).
constexpr double half_pi_pieces[] = {0x1.921fb54442d18p+0, 0x1.1a62633145c08p-54,
                                     -0x1.1f1976b7ed8fcp-106};

// theta + pi/2 = k pi + r for 2^-27 <= theta < 7.5, where k is 1, 2 or 3 (3 above).
Reduced reduce_near_half(float theta) {
    const double x = theta;
    const double shifted = (x * inverse_pi + 0.5) + integer_shift;
    const double k = shifted - integer_shift;
    const double j = 2 * k - 1;
    const Pair r = two_sum(x - j * half_pi_pieces[0], -(j * half_pi_pieces[1]));
    return {quick_two_sum(r.hi, r.lo - j * half_pi_pieces[2]), k != 2};
}

// (-1)^k sin r of a reduced angle, rounded once: the quick sum first when `quick` (5 above), the
// careful one when that cannot decide.
double rounded_sine(const Reduced& reduced, bool quick) {
    if (quick) {
        const Pair y = sine_of<3, 12>(reduced.r);
        const double bound = (y.hi < 0 ? -y.hi : y.hi) * 0x1p-60;
        const double rounded = y.hi + y.lo;
        if (y.hi + (y.lo - bound) == y.hi + (y.lo + bound)) return reduced.odd ? -rounded : rounded;
    }
    const Pair y = sine_of<9, 16>(reduced.r);
    const double rounded = y.hi + y.lo;
    return reduced.odd ? -rounded : rounded;
}

} // namespace

double map_sine(float theta) {
    const float a = theta < 0 ? -theta : theta;
    if (a < 0x1p-26f) return theta;
    if (!(a <= 0x1.fffffep127f)) return static_cast<double>(theta) - theta;
    const bool near = a < 7.5f;
    const Reduced reduced = a < 1.5f ? Reduced{{a, 0}, false}
                            : near   ? reduce_near(a)
                                     : reduce(a, 0);
    const double s = rounded_sine(reduced, near);
    return theta < 0 ? -s : s;
}

double map_cosine(float theta) {
    const float a = theta < 0 ? -theta : theta;
    if (a < 0x1p-27f) return 1;
    if (!(a <= 0x1.fffffep127f)) return static_cast<double>(theta) - theta;
    const bool near = a < 7.5f;
    return rounded_sine(near ? reduce_near_half(a) : reduce(a, 0.5), near);
}

} // namespace kit
