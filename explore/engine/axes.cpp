#include "axes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace explore {
namespace {

constexpr double half_pi = two_pi / 4;
constexpr const char* multiples[] = {"0", "π/2", "π", "3π/2", "2π"};

// Decimals enough for a window `span` wide seen at a thousand pixels, at least two, at most
// twelve: counted without logarithms, so that every platform chooses alike.
int decimals_for(double span) {
    int decimals = 2;
    for (double step = 0.01; step > span / 1000 && decimals < 12; step /= 10) ++decimals;
    return decimals;
}

std::string decimal(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The multiple of pi/2 that `value` is (within a millionth of the window), or -1.
int multiple_at(double value, double span) {
    for (int k = 0; k < 5; ++k)
        if (std::fabs(value - k * half_pi) <= span * 1e-6) return k;
    return -1;
}

// Ticks of the window FROM:TO, `at` measured from FROM (upwards false) or from TO.
std::vector<Tick> ticks(double from, double to, bool from_top) {
    const double span = to - from;
    const int decimals = decimals_for(span);
    const auto at = [&](double value) {
        return from_top ? (to - value) / span : (value - from) / span;
    };
    const auto label = [&](double value) {
        const int k = multiple_at(value, span);
        return k >= 0 ? std::string(multiples[k]) : decimal(value, decimals);
    };
    std::vector<Tick> out{{at(from), label(from), true}};
    for (int k = 0; k < 5; ++k) {
        const double value = k * half_pi;
        if (value > from && value < to && multiple_at(from, span) != k &&
            multiple_at(to, span) != k)
            out.push_back({at(value), multiples[k], false});
    }
    out.push_back({at(to), label(to), true});
    if (from_top) std::reverse(out.begin(), out.end());
    return out;
}

} // namespace

std::vector<Tick> theta_ticks(const Scene& scene) {
    return ticks(scene.theta_from, scene.theta_to, false);
}

std::vector<Tick> p_ticks(const Scene& scene) {
    return ticks(scene.p_from, scene.p_to, true);
}

PointWords point_words(const Scene& scene, double across, double down) {
    const double theta = scene.theta_from + across * (scene.theta_to - scene.theta_from);
    const double p = scene.p_to - down * (scene.p_to - scene.p_from);
    return {decimal(theta, decimals_for(scene.theta_to - scene.theta_from)),
            decimal(p, decimals_for(scene.p_to - scene.p_from))};
}

} // namespace explore
