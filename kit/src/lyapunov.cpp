// The orbits' exponents, their kinds and their colours.
//
// Why every platform gives the same bits
// --------------------------------------
// The orbit is the plotter's own: the same single-precision steps from the step pieces of
// orbit_kernels.hpp (kicked, wrap_momentum, wrap_angle; within the kicks of a scene the checked
// quick sine, which gives the same singles as map_sine). The tangent vector and the end use IEEE
// double +, -, *, / alone, in the order written, no fused multiply-add (-ffp-contract=off), the
// cosine from map_cosine (correctly rounded, then rounded to single) and the logarithm from
// map_log (plain double arithmetic): nothing a C library computes decides a bit. A vector kernel
// reproduces it lane by lane with a separate multiply and add for the tangent, the quick cosine
// of orbit_kernels.hpp checked against its margin (map_cosine where that cannot decide), and the
// same test for the scaling after every step.
//
// The pieces, and why they are so
// -------------------------------
// - The Jacobian of one step at angle theta is [[1, g], [1, 1 + g]] on (dp, dtheta), g = K cos
//   theta: dp' = dp + g dtheta, dtheta' = dtheta + dp' (the wraps add whole turns and do not
//   change it). The cosine is rounded to single so that a vectorised quick cosine with an error
//   bound decides it almost always; g = K c is then exact in double (a product of two singles has
//   48 significant bits at most), and the update has three roundings in a fixed order.
// - The start vector (1, 0) points along the momentum. It is exact, of length 1 (so the end needs
//   no division by the start's length), and after the first step it is (1, 1) whatever the kick:
//   one step's exponent is ln(sqrt 2) for every orbit. For a twist map such as this one every
//   invariant curve is a graph over the angle, so the momentum's direction is never tangent to
//   one: along a regular orbit the vector is sheared and grows linearly (rather than staying
//   bounded in the odd case of a start along the curve), which is what the threshold below
//   allows for; in the chaotic sea a fixed vector lies along the stable direction with
//   probability zero, and turns towards the unstable one within a few steps.
// - Scaling: multiplying both components by 2^-512 is exact unless one turns subnormal (below
//   2^-1022). A scaling leaves the larger one at 1 or more, so that takes a component 2^1022
//   times smaller than the other, too small to change the rounding of any sum with it or of the
//   end's sum of squares (or a vector that shrinks 2^1022 times between scalings, which would need
//   it to stay along the contracting direction for hundreds of steps, against the rounding that
//   turns it away). An exact scaling by a power of two commutes with every rounding of the update.
//   So the scaled vector times 2^(512 scalings) is exactly the unscaled one (as if the exponent
//   range were endless), directions are kept bit for bit, and only one logarithm is needed, at the
//   end. The end brings the larger component into [1, 2) (exactly), so the sum of squares lies in
//   [1, 8) and neither overflows nor underflows, and the result depends only on that unscaled
//   vector: a kernel that tests less often (it may, as long as no component can reach 2^1023 in
//   between; one step multiplies a component by at most 2 + |K|) gives the same bits. The test
//   after every step keeps the components below 2^512 (2 + |K|), finite for every finite kick.
// - ln|v_n| = (512 scalings + e) ln 2 + ln(s)/2, divided by the length.
//
// The orbits' kinds: what the study of orbits of known nature found
// ------------------------------------------------------------------
// Along a regular orbit the vector grows at most linearly, so n lambda_n - ln n = ln(|v_n| / n)
// stays bounded; in the chaotic sea it grows like n lambda. Measured with this function at
// lengths from 1 to 10,000 (1, 2, 3, 4, 5, 7, 10, 15, ..., 7000, 10000):
// - Regular orbits: 3,000 random starts at K = 0.05, 0.1 and 0.2, where no chaotic layer is wider
//   than the singles' spacing: the largest ln(|v_n| / n) of each orbit has a median of 0.35 (that
//   of the first step, ln sqrt 2), 99 % below 2.2, and the largest of all is 4.88: librations
//   close to the separatrix of the main resonance, whose long period the shear turns into a
//   large stretching. At the elliptic fixed point (pi, 0) and close to it, for K from 0.3 to 3.9,
//   and on rotational invariant curves at K = 0.1 to 0.5: at most 1.1.
// - Chaotic orbits (those with ln(|v_n| / n) > 15 after 10,000 steps, of 300 random starts at each
//   of K = 0.5 to 10; beside the hyperbolic point (0, 0) for K >= 1.2): ln(|v_n| / n) passes 5
//   after a median of 50 steps at K = 1.2 (90 % within 150), 20 at K = 2, 10 at K = 5 and 5 at
//   K = 10; in the thin layers of K = 0.5 to 0.9, after a median of 100 to 200 (90 % within 150 to
//   3000).
// So `regular` means lambda_n <= (ln n + 5) / n: every regular orbit studied is regular at every
// length, and a chaotic one turns chaotic once its excess stretching passes e^5 (orbits of 3 steps
// or fewer never are at kicks up to 10: nothing can be told from them). What it cannot tell: orbits
// still closer to a separatrix stretch more and count as chaotic for a while, and chaotic orbits
// that stick to an island's edge count as regular for as long as they stick.
//
// The colour scale
// ----------------
// 256 colours at t = i / 255 along a line in CIELCh (D65): lightness L* = 30 + 42 t, hue
// h = 285 + 145 t degrees (blue through violet and red to orange), chroma C* = 38 + 28 t. Each is
// converted from CIELAB to linear sRGB (the standard D65 matrix) and encoded with the sRGB curve
// (every one lies inside the sRGB gamut, with 10 units of chroma to spare); of the byte colours
// within 2 of that in each channel, whose L* lies within 0.07 of the line's, the one nearest to it
// in CIELAB is taken (none is farther than 0.72). So lightness rises strictly and evenly, the
// order of the colours is seen as the order of the exponents (in grey as in colour), and the
// dark, regular end still stands out on a white page. The exponent picks colour
// round(255 (log2 exponent + 10) / 11): 23 colours an octave.
#include "lyapunov.hpp"

#include "map_log.hpp"
#include "map_sine.hpp"
#include "orbit_kernels.hpp"

#include <cstring>
#include <limits>

namespace kit {

using namespace orbit_kernels;

namespace {

constexpr double scaling_limit = exponent_scaling_limit, scaling_step = exponent_scaling_step;
constexpr int scaling_bits = 512;
constexpr double ln2 = 0x1.62e42fefa39efp-1;

// 2^-e for e in [-1022, 1023], exactly.
double inverse_power_of_two(int e) {
    const std::uint64_t bits = static_cast<std::uint64_t>(1023 - e) << 52;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The exponent of a positive normal double v: 2^e <= v < 2^(e + 1).
int exponent_of(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return static_cast<int>(bits >> 52) - 1023;
}

} // namespace

double lyapunov_exponent(float kick, float p, float theta, int length,
                         std::uint64_t& cosine_fallbacks) {
    if (length <= 0) return 0;
    const double k = kick;
    const bool quick = kick >= -vector_kick_limit && kick <= vector_kick_limit;
    const double margin = kick_margin(k);
    double dp = 1, dtheta = 0;
    long long scalings = 0;
    for (int i = 0; i < length; ++i) {
        const double g = k * single_cosine(theta, cosine_fallbacks);
        dp = dp + g * dtheta;
        dtheta = dtheta + dp;
        // The quick sine's proof covers the states orbits visit: 0 <= p, theta <= 6.2831855f.
        const bool visited = p >= 0 && p <= 6.2831855f && theta >= 0 && theta <= 6.2831855f;
        p = wrap_momentum(quick && visited ? kicked_quickly(p, theta, k, margin)
                                           : kicked(p, theta, k));
        theta = static_cast<float>(wrap_angle(static_cast<double>(theta) + p));
        if (dp >= scaling_limit || dp <= -scaling_limit || dtheta >= scaling_limit ||
            dtheta <= -scaling_limit) {
            dp = dp * scaling_step;
            dtheta = dtheta * scaling_step;
            ++scalings;
        }
    }
    return exponent_from_tangent(dp, dtheta, scalings, length);
}

double exponent_from_tangent(double dp, double dtheta, long long scalings, int length) {
    const double a_dp = dp < 0 ? -dp : dp, a_dtheta = dtheta < 0 ? -dtheta : dtheta;
    const double largest = a_dp < a_dtheta ? a_dtheta : a_dp;
    if (!(largest <= std::numeric_limits<double>::max()))
        return std::numeric_limits<double>::quiet_NaN();
    int e = 0;
    if (largest >= 0x1p-1022) {
        e = exponent_of(largest);
        const double down = inverse_power_of_two(e);
        dp = dp * down;
        dtheta = dtheta * down;
    }
    const double s = dp * dp + dtheta * dtheta;
    const double n2 = static_cast<double>(scalings * scaling_bits + e);
    return (n2 * ln2 + map_log(s) * 0.5) / length;
}

double lyapunov_exponent(float kick, float p, float theta, int length) {
    std::uint64_t fallbacks = 0;
    return lyapunov_exponent(kick, p, theta, length, fallbacks);
}

double regular_threshold(int length) {
    if (length <= 0) return std::numeric_limits<double>::infinity();
    return (map_log(length) + regular_allowance) / length;
}

OrbitKind orbit_kind(double exponent, int length) {
    return exponent <= regular_threshold(length) ? OrbitKind::regular : OrbitKind::chaotic;
}

const char* kind_name(OrbitKind kind) {
    return kind == OrbitKind::regular ? "regular" : "chaotic";
}

// 255 / (11 ln 2): colours per unit of ln exponent; and ln 2^-10.
constexpr double colours_per_log = 0x1.0b8dea14a6e2bp+5;
constexpr double coolest_log = -0x1.bb9d3beb8c86bp+2;

int exponent_position(double exponent) {
    if (!(exponent > coolest_exponent)) return exponent == exponent ? 0 : 255;
    if (exponent >= warmest_exponent) return 255;
    // The position lies in [0.5, 255.5] (map_log's error moves it by far less than 2^-40).
    const double position = (map_log(exponent) - coolest_log) * colours_per_log + 0.5;
    return static_cast<int>(position);
}

Rgb exponent_colour(double exponent) {
    return exponent_scale[exponent_position(exponent)];
}

// 255 / (densest_octaves ln 2): colours per unit of ln count.
constexpr double colours_per_log_count = 255 / (densest_octaves * ln2);

int count_position(std::uint32_t count) {
    if (count <= 1) return 0;
    if (count >= densest_count) return 255;
    // ln count <= ln 2^densest_octaves within map_log's 2.05 units, so the product stays below
    // 255 + 2^-40 and truncates to 254 at most below the densest count.
    const int position =
        static_cast<int>(map_log(static_cast<double>(count)) * colours_per_log_count);
    return position < 254 ? position : 254;
}

extern constexpr Rgb exponent_scale[256] = {
    {39, 69, 128},   {41, 69, 128},  {43, 69, 129},  {46, 69, 129},   {44, 70, 130},
    {47, 70, 130},   {49, 70, 131},  {51, 70, 131},  {53, 70, 131},   {54, 70, 132},
    {57, 70, 132},   {59, 70, 132},  {58, 71, 133},  {60, 71, 133},   {62, 71, 134},
    {64, 71, 134},   {65, 71, 134},  {67, 71, 134},  {69, 71, 135},   {71, 71, 135},
    {69, 72, 136},   {71, 72, 136},  {73, 72, 137},  {75, 72, 137},   {77, 72, 137},
    {78, 72, 137},   {80, 72, 137},  {81, 72, 138},  {83, 72, 138},   {84, 72, 138},
    {86, 72, 138},   {85, 73, 139},  {87, 73, 139},  {89, 73, 139},   {90, 73, 139},
    {92, 73, 139},   {93, 73, 140},  {95, 73, 140},  {96, 73, 140},   {97, 73, 140},
    {99, 73, 140},   {100, 73, 140}, {102, 73, 140}, {103, 73, 141},  {105, 73, 141},
    {106, 73, 141},  {107, 73, 141}, {109, 73, 141}, {110, 73, 141},  {110, 74, 142},
    {111, 74, 142},  {112, 74, 142}, {114, 74, 142}, {115, 74, 142},  {117, 74, 142},
    {118, 74, 142},  {119, 74, 142}, {121, 74, 142}, {122, 74, 142},  {123, 74, 142},
    {125, 74, 142},  {126, 74, 142}, {127, 74, 142}, {128, 74, 142},  {130, 74, 142},
    {131, 74, 142},  {132, 74, 142}, {134, 74, 142}, {135, 74, 142},  {136, 74, 142},
    {137, 74, 142},  {139, 74, 142}, {140, 74, 141}, {141, 74, 141},  {142, 74, 142},
    {144, 74, 141},  {145, 74, 141}, {146, 74, 141}, {147, 74, 141},  {147, 75, 141},
    {148, 75, 141},  {151, 74, 140}, {151, 75, 141}, {153, 74, 140},  {153, 75, 140},
    {154, 75, 140},  {156, 75, 140}, {157, 75, 140}, {158, 75, 140},  {159, 75, 139},
    {160, 75, 139},  {162, 75, 139}, {163, 75, 139}, {164, 75, 138},  {165, 75, 138},
    {166, 75, 138},  {167, 75, 138}, {169, 75, 137}, {170, 75, 137},  {170, 76, 137},
    {171, 76, 137},  {173, 75, 136}, {173, 76, 136}, {174, 76, 136},  {176, 76, 135},
    {177, 76, 135},  {178, 76, 135}, {179, 76, 135}, {180, 76, 134},  {181, 76, 134},
    {182, 76, 134},  {183, 77, 133}, {184, 77, 133}, {185, 77, 133},  {186, 77, 132},
    {187, 77, 132},  {188, 77, 131}, {189, 77, 131}, {189, 78, 131},  {191, 78, 130},
    {192, 78, 130},  {193, 78, 130}, {194, 78, 129}, {194, 79, 129},  {195, 79, 129},
    {196, 79, 128},  {197, 79, 128}, {198, 79, 128}, {199, 80, 126},  {200, 80, 126},
    {201, 80, 126},  {202, 80, 126}, {202, 81, 125}, {203, 81, 125},  {204, 81, 124},
    {205, 81, 124},  {206, 81, 123}, {206, 82, 123}, {208, 82, 122},  {208, 83, 122},
    {209, 83, 122},  {210, 83, 121}, {211, 83, 120}, {211, 84, 120},  {212, 84, 119},
    {213, 84, 119},  {213, 85, 118}, {214, 85, 119}, {215, 86, 117},  {216, 86, 117},
    {217, 86, 117},  {217, 87, 116}, {218, 87, 116}, {219, 87, 115},  {219, 88, 114},
    {220, 88, 114},  {220, 89, 113}, {221, 89, 113}, {222, 89, 113},  {223, 90, 111},
    {223, 91, 111},  {224, 91, 111}, {225, 91, 110}, {225, 92, 110},  {226, 92, 109},
    {226, 93, 109},  {227, 93, 108}, {227, 94, 107}, {228, 94, 107},  {228, 95, 106},
    {229, 95, 106},  {229, 96, 106}, {230, 97, 104}, {231, 97, 104},  {231, 98, 104},
    {232, 98, 103},  {232, 99, 102}, {233, 99, 102}, {233, 100, 101}, {233, 101, 101},
    {234, 101, 100}, {234, 102, 99}, {235, 102, 99}, {235, 103, 98},  {235, 104, 98},
    {236, 104, 97},  {236, 105, 96}, {237, 105, 96}, {237, 106, 95},  {237, 107, 95},
    {238, 107, 94},  {238, 108, 93}, {238, 109, 93}, {239, 109, 93},  {239, 110, 92},
    {239, 111, 91},  {240, 111, 91}, {240, 112, 90}, {240, 113, 89},  {240, 114, 89},
    {241, 114, 88},  {241, 115, 88}, {241, 116, 87}, {242, 116, 86},  {242, 117, 86},
    {242, 118, 85},  {242, 119, 85}, {243, 119, 84}, {243, 120, 83},  {243, 121, 83},
    {243, 122, 82},  {244, 122, 82}, {244, 123, 81}, {243, 124, 81},  {243, 125, 80},
    {244, 125, 80},  {244, 126, 79}, {244, 127, 78}, {244, 128, 78},  {244, 129, 77},
    {245, 129, 76},  {245, 130, 76}, {244, 131, 75}, {244, 132, 75},  {244, 133, 74},
    {244, 134, 74},  {245, 134, 73}, {245, 135, 73}, {244, 136, 72},  {244, 137, 71},
    {244, 138, 71},  {245, 138, 70}, {245, 139, 70}, {244, 140, 69},  {244, 141, 69},
    {244, 142, 68},  {245, 142, 67}, {245, 143, 67}, {244, 144, 66},  {244, 145, 66},
    {244, 146, 65},  {243, 147, 65}, {244, 147, 64}, {244, 148, 64},  {243, 149, 64},
    {243, 150, 63},  {243, 151, 62}, {242, 152, 62}, {242, 153, 61},  {243, 153, 61},
    {243, 154, 60},  {242, 155, 60}, {242, 156, 59}, {241, 157, 59},  {241, 158, 59},
    {240, 159, 58},
};

} // namespace kit
