#include "dynamics.hpp"

#include "picture.hpp"

#include "kit/orbits.hpp"

#include <cstdio>

namespace explore {
namespace {

// A number of three significant digits, for words (the table carries every digit).
std::string short_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

std::string exponent_text(double exponent) {
    return exponent == exponent ? number_text(exponent) : "NaN";
}

void add_row(std::string& table, std::size_t index, float theta, float p, double exponent,
             int length) {
    table += std::to_string(index);
    table += ',';
    table += number_text(theta);
    table += ',';
    table += number_text(p);
    table += ',';
    table += exponent_text(exponent);
    table += ',';
    table += kit::kind_name(kit::orbit_kind(exponent, length));
    table += '\n';
}

// The seed line's starts in order: p = s, theta = 0.
template <typename Each> void each_seed(const Scene& scene, const Each& each) {
    float s = 0;
    do each(s);
    while (kit::next_seed(s, scene.step));
}

// "1,000" for 1000.
std::string grouped(unsigned long long n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::vector<kit::Rgb> scale_colours() {
    return std::vector<kit::Rgb>(std::begin(kit::exponent_scale), std::end(kit::exponent_scale));
}

double place_of(int position) {
    return position / 255.0;
}

} // namespace

OrbitReport report_orbit(const Scene& scene, Start start) {
    const double exponent = kit::lyapunov_exponent(scene.kick, start.p, start.theta, scene.length);
    return {.start = start, .exponent = exponent, .kind = kit::orbit_kind(exponent, scene.length)};
}

std::optional<OrbitReport> last_orbit_report(const Scene& scene) {
    if (scene.orbits.empty()) return std::nullopt;
    return report_orbit(scene, scene.orbits.back());
}

std::string orbit_words(const Scene& scene, const OrbitReport& report) {
    return "orbit at theta " + number_text(report.start.theta) + ", p " +
           number_text(report.start.p) + ": exponent " +
           (report.exponent == report.exponent ? short_number(report.exponent) : "NaN") +
           " a step over " + grouped(static_cast<unsigned long long>(scene.length)) +
           (scene.length == 1 ? " step, " : " steps, ") + kit::kind_name(report.kind);
}

std::size_t orbit_table_rows(const Scene& scene) {
    std::size_t rows = 0;
    each_seed(scene, [&](float) { ++rows; });
    return rows + scene.orbits.size();
}

std::string orbit_table(const Scene& scene, int threads) {
    // The plotter tells a rule that needs them every orbit's exponent, lyapunov_exponent's bits;
    // its points fall into a picture of one pixel, which nobody looks at.
    const kit::OrbitRow row = portrait_row(scene, 1, 1);
    const std::size_t seeds = static_cast<std::size_t>(kit::orbit_count(row));
    std::vector<double> exponents(seeds + scene.orbits.size());
    const auto seed_exponent = [&](const kit::OrbitFacts& orbit) {
        exponents[static_cast<std::size_t>(orbit.index)] = orbit.exponent;
        return 0u;
    };
    const auto own_exponent = [&](const kit::OrbitFacts& orbit) {
        exponents[seeds + static_cast<std::size_t>(orbit.index)] = orbit.exponent;
        return 0u;
    };
    kit::ColourRule seed_rule = seed_exponent, own_rule = own_exponent;
    seed_rule.needs_exponent = own_rule.needs_exponent = true;
    std::uint32_t pixel = 0;
    const kit::Image nowhere{.pixels = &pixel, .width = 1, .height = 1, .stride = 1};
    kit::plot_seed_line(row, nowhere, seed_rule, {.threads = threads});
    std::vector<kit::OrbitStart> starts;
    for (const Start& start : scene.orbits) starts.push_back({.p = start.p, .theta = start.theta});
    kit::plot_starts(row, starts, nowhere, own_rule, {.threads = threads});

    std::string table = orbit_table_header;
    table += '\n';
    std::size_t index = 0;
    each_seed(scene, [&](float s) {
        add_row(table, index, 0.0f, s, exponents[index], scene.length);
        ++index;
    });
    for (const Start& start : scene.orbits) {
        add_row(table, index, start.theta, start.p, exponents[index], scene.length);
        ++index;
    }
    return table;
}

std::optional<Legend> colour_legend(const Scene& scene) {
    switch (scene.colour) {
    case Colouring::start:
        return std::nullopt;
    case Colouring::chaos: {
        Legend legend{.title = "Lyapunov exponent a step (natural log), regular to chaotic",
                      .colours = scale_colours(),
                      .marks = {}};
        for (const double exponent : {0.001, 0.01, 0.1, 1.0})
            legend.marks.push_back(
                {place_of(kit::exponent_position(exponent)), short_number(exponent)});
        const double threshold = kit::regular_threshold(scene.length);
        legend.marks.push_back({place_of(kit::exponent_position(threshold)),
                                "regular up to " + short_number(threshold), true});
        return legend;
    }
    case Colouring::density: {
        Legend legend{
            .title = "points in a pixel (log scale)", .colours = scale_colours(), .marks = {}};
        for (const std::uint32_t count : {1u, 10u, 100u, 1000u})
            legend.marks.push_back({place_of(kit::count_position(count)), grouped(count)});
        legend.marks.push_back({1.0, grouped(kit::densest_count) + "+"});
        return legend;
    }
    }
    return std::nullopt;
}

} // namespace explore
