// explore's colourings by order and chaos and by density, the facts of an orbit, and the table of
// every orbit: what the pixels take, that lines of version 1 cannot carry them, and the table read
// back as a data tool reads it.
#include "dynamics.hpp"
#include "explore_support.hpp"
#include "picture.hpp"
#include "scene.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using explore::Scene;

using test::scene_of;

std::string refusal_of(const std::string& line) {
    std::string error;
    EXPECT_FALSE(explore::parse_scene(line, error)) << line;
    return error;
}

// The portrait of a scene, a tile at its height.
test::Picture portrait_of(const Scene& scene, int threads = 1) {
    kit::PixelBuffer tile;
    EXPECT_TRUE(tile.resize(explore::tile_width_for(scene.height), scene.height));
    explore::draw_portrait(scene, explore::scene_colours(scene, kit::xrgb_layout), tile.image(),
                           {.threads = threads});
    const kit::Image& image = tile.image();
    return {image.width, image.height,
            std::vector<Uint32>(image.pixels, image.pixels + image.width * image.height)};
}

Uint32 scale_colour(int position) {
    return kit::xrgb_layout.pack(kit::exponent_scale[position]);
}

const Uint32 white = kit::xrgb_layout.pack({255, 255, 255});

TEST(ColourKey, IsAVersion2KeyThatPrintsAndReadsBack) {
    for (const char* name : {"start", "chaos", "density"}) {
        const Scene scene = scene_of(std::string("colour=") + name);
        EXPECT_EQ(explore::key_value(scene, "colour"), name);
        const std::string line = explore::print_scene(scene);
        EXPECT_NE(line.find(std::string(" colour=") + name), std::string::npos) << line;
        EXPECT_EQ(scene_of(line), scene);
    }
    EXPECT_EQ(scene_of("colour=CHAOS").colour, explore::Colouring::chaos);
    // A line without the key colours by start, as every line did before.
    EXPECT_EQ(scene_of("kick=2").colour, explore::Colouring::start);
    const std::string wrong = refusal_of("colour=rainbow");
    EXPECT_NE(wrong.find("colour: 'rainbow' is not allowed: one of start, chaos, density"),
              std::string::npos)
        << wrong;
}

TEST(ColourKey, LinesOfVersion1CannotCarryIt) {
    // In either order, and through a change of version on a scene that has it.
    for (const char* line : {"v=1 colour=chaos", "colour=density v=1"}) {
        const std::string error = refusal_of(line);
        EXPECT_NE(error.find("lines of version 1 do not take colour="), std::string::npos) << error;
        EXPECT_NE(error.find("give v=2"), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    Scene scene = scene_of("colour=chaos");
    EXPECT_TRUE(explore::set_key(scene, "v", "1"));
    EXPECT_EQ(scene.version, 2);
    // Its default is what version 1 draws: taken, and never printed in a version-1 line.
    const Scene old = scene_of("v=1 colour=start");
    EXPECT_EQ(explore::print_scene(old).find("colour"), std::string::npos);
}

// kick=0 keeps the momentum: an orbit started at p = pi alternates between two angles, half its
// points in each of two pixels. The seed line of step 6.2 has two orbits, at p = 0 (below the
// window's bottom edge, so drawn nowhere) and p = 6.2 (along the top row).
constexpr const char* still_scene = "kick=0 size=300x40 step=6.2 length=1000 orbit=1,3.1415927";

TEST(Density, APixelTakesTheColourOfItsCountOfPoints) {
    const Scene scene = scene_of(std::string(still_scene) + " colour=density");
    const test::Picture portrait = portrait_of(scene);
    const kit::OrbitRow row = explore::portrait_row(scene, portrait.w, portrait.h);
    // The orbit's two pixels, 500 points each.
    const float theta = 1.0f, p = 3.1415927f;
    const int y = static_cast<int>(row.y_base - p * row.y_scale);
    const int x1 = static_cast<int>((theta + p) * row.x_scale + row.x_offset);
    const int x0 = static_cast<int>(static_cast<float>(theta + p + p - kit::two_pi) * row.x_scale +
                                    row.x_offset);
    EXPECT_EQ(portrait.at(x0, y), scale_colour(kit::count_position(500)));
    EXPECT_EQ(portrait.at(x1, y), scale_colour(kit::count_position(500)));
    // Nothing else on that row; the rows between it and the top white.
    for (int x = 0; x < portrait.w; ++x) {
        if (x == x0 || x == x1) continue;
        EXPECT_EQ(portrait.at(x, y), white) << x;
    }
    for (int yy = 1; yy < portrait.h; ++yy) {
        if (yy == y) continue;
        for (int x = 0; x < portrait.w; ++x) ASSERT_EQ(portrait.at(x, yy), white) << x << "," << yy;
    }
}

TEST(Density, TheScaleIsLogarithmicInWholeCounts) {
    EXPECT_EQ(kit::count_position(1), 0);
    EXPECT_EQ(kit::count_position(kit::densest_count), 255);
    EXPECT_EQ(kit::count_position(0xffffffffu), 255);
    EXPECT_EQ(kit::count_position(kit::densest_count - 1), 254);
    // 255 / 14 colours an octave, rising with the count.
    EXPECT_EQ(kit::count_position(2), 18);
    EXPECT_EQ(kit::count_position(256), 145);
    EXPECT_EQ(kit::count_position(128), 127);
    int last = 0;
    for (std::uint32_t c = 1; c < 70000; ++c) {
        const int position = kit::count_position(c);
        ASSERT_GE(position, last) << c;
        last = position;
    }
}

TEST(Chaos, EveryOrbitTakesTheColourOfItsExponent) {
    // One orbit in the island of (pi, 0) and one in the sea by the hyperbolic point, at K = 1.5;
    // the seed line's two orbits, now kicked.
    const Scene scene =
        scene_of("kick=1.5 size=300x40 step=6.2 length=400 orbit=3.1415927,0.3 orbit=0.01,0.01 "
                 "colour=chaos");
    // The seed line's first orbit sits on the fixed point (0, 0), below the window: not drawn.
    std::set<Uint32> expected;
    for (float s = 0; kit::next_seed(s, scene.step);)
        expected.insert(
            scale_colour(kit::exponent_position(explore::report_orbit(scene, {0, s}).exponent)));
    std::vector<Uint32> own;
    for (const explore::Start& start : scene.orbits)
        own.push_back(
            scale_colour(kit::exponent_position(explore::report_orbit(scene, start).exponent)));
    expected.insert(own.begin(), own.end());
    // The island's orbit cool, the sea's warm, far apart on the scale.
    EXPECT_LT(kit::exponent_position(explore::report_orbit(scene, scene.orbits[0]).exponent), 90);
    EXPECT_GT(kit::exponent_position(explore::report_orbit(scene, scene.orbits[1]).exponent), 180);
    const test::Picture portrait = portrait_of(scene);
    std::set<Uint32> seen(portrait.pixels.begin(), portrait.pixels.end());
    seen.erase(white);
    EXPECT_EQ(seen, expected);
    // The island's orbit, drawn last but one, is the only one of its colour near the centre.
    EXPECT_GT(test::count(portrait, own[0]), 10);
}

// Every thread count and split of the page gives the pixels of one thread (the v=1 lines and
// further v=2 lines are in explore_test.cpp; these are the colourings').
TEST(Chaos, ThreadsAndSplitsDrawTheSamePixels) {
    for (const char* line :
         {"colour=chaos kick=1.2 size=400x60 step=0.01 orbit=1,2 orbit=3,0.5 group=p2mg",
          "colour=density kick=2.5 size=400x61 step=0.005 length=2000 orbit=1,2 keep=3",
          "colour=chaos kick=-3 size=300x50 step=0.05 length=10000 theta=1:3 p=2:4"}) {
        const Scene scene = scene_of(line);
        const test::Picture one = portrait_of(scene);
        for (int threads : {2, 3, 7})
            EXPECT_TRUE(test::same_picture(portrait_of(scene, threads), one))
                << line << ": " << threads << " threads";
        for (int parts : {2, 3})
            EXPECT_TRUE(test::same_picture(test::split_portrait_of(scene, parts), one))
                << line << ": " << parts << " shares";
    }
}

// The strips docs/scene-format.md gives for checking a renderer of the colourings: FNV-1a (64 bits)
// over the red, green and blue bytes, row by row. A guard: a line of a version draws the same
// pixels forever.
TEST(Colourings, TheDocumentedLinesKeepTheirPixels) {
    const std::pair<const char*, std::uint64_t> lines[] = {
        {"v=2 kick=1.5 size=600x100 colour=chaos", 0x1ed0b0206b502285},
        {"v=2 kick=1.5 group=p2mg size=600x100 colour=density", 0x3fc84f4622198d3d},
    };
    for (const auto& [line, hash] : lines) {
        kit::PixelBuffer strip;
        ASSERT_TRUE(explore::render_strip(scene_of(line), kit::xrgb_layout, strip));
        const kit::Image& image = strip.image();
        std::uint64_t h = 0xcbf29ce484222325;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const kit::Rgb c = kit::xrgb_layout.unpack(image.row(y)[x]);
                for (const std::uint8_t byte : {c.r, c.g, c.b}) h = (h ^ byte) * 0x100000001b3;
            }
        EXPECT_EQ(h, hash) << line;
    }
}

// A row of the table as read back.
struct Row {
    long index;
    float theta, p;
    double lyapunov;
    std::string kind;
};

std::vector<Row> read_table(const std::string& table, std::string& header) {
    std::istringstream in(table);
    std::getline(in, header);
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) {
        Row row;
        char* at = line.data();
        row.index = std::strtol(at, &at, 10);
        EXPECT_EQ(*at++, ',') << line;
        row.theta = std::strtof(at, &at);
        EXPECT_EQ(*at++, ',') << line;
        row.p = std::strtof(at, &at);
        EXPECT_EQ(*at++, ',') << line;
        row.lyapunov = std::strtod(at, &at);
        EXPECT_EQ(*at++, ',') << line;
        row.kind = at;
        rows.push_back(row);
    }
    return rows;
}

TEST(OrbitTable, ReadsBackAsTheOrbitsDrawnWithTheirExponentsAndKinds) {
    // Small kick: the island's centre is regular; K = 3: the sea by (0, 0) is chaotic.
    for (const char* line : {"kick=0.3 step=0.05 length=2000 orbit=3.1415927,0 orbit=1,2",
                             "kick=3 step=0.1 length=1000 orbit=0.01,0.01 orbit=3.1415927,0"}) {
        const Scene scene = scene_of(line);
        std::string header;
        const std::string table = explore::orbit_table(scene);
        ASSERT_EQ(table.back(), '\n');
        EXPECT_EQ(explore::orbit_table(scene, 3), table) << line << ": 3 threads";
        const std::vector<Row> rows = read_table(table, header);
        EXPECT_EQ(header, "index,theta,p,lyapunov,kind");
        const kit::OrbitRow row = explore::portrait_row(scene, 600, 200);
        const std::size_t seeds = static_cast<std::size_t>(kit::orbit_count(row));
        ASSERT_EQ(rows.size(), seeds + scene.orbits.size());
        EXPECT_EQ(explore::orbit_table_rows(scene), rows.size());
        float s = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            EXPECT_EQ(r.index, static_cast<long>(i));
            const explore::Start start = i < seeds ? explore::Start{0, s} : scene.orbits[i - seeds];
            if (i < seeds) kit::next_seed(s, scene.step);
            EXPECT_EQ(r.theta, start.theta) << i;
            EXPECT_EQ(r.p, start.p) << i;
            // Every bit of the exponent the picture is coloured by.
            const explore::OrbitReport report = explore::report_orbit(scene, start);
            EXPECT_EQ(std::memcmp(&r.lyapunov, &report.exponent, sizeof(double)), 0) << i;
            EXPECT_EQ(r.kind, kit::kind_name(report.kind)) << i;
        }
        const std::string& own_first = rows[seeds].kind;
        EXPECT_EQ(own_first, scene.kick < 1 ? "regular" : "chaotic") << line;
        // The island's centre at K = 3 (stable up to 4) is regular too.
        EXPECT_EQ(rows.back().kind, "regular") << line;
    }
}

// On the hyperbolic fixed point (0, 0) the map's Jacobian is the same matrix at every step,
// [[1, K], [1, 1 + K]] on (dp, dtheta) (cos 0 = 1), so the tangent vector after n steps is
// M^n (1, 0), here in long double (64-bit mantissa): the table's exponent, from the plotter's
// vector kernel, within the few units of 2^-52 its double roundings allow; and the exponent
// tends to the log of M's larger eigenvalue, (2 + K + sqrt(K^2 + 4K)) / 2, for K > 0.
TEST(OrbitTable, TheFixedPointsExponentIsItsEigenvaluesLog) {
    for (const float kick : {1.2f, 2.5f, -3.0f, 10.0f}) {
        for (const int n : {10, 1000, 10000}) {
            Scene scene = scene_of("step=6 orbit=0,0");
            scene.kick = kick;
            scene.length = n;
            std::string header;
            const std::vector<Row> rows = read_table(explore::orbit_table(scene), header);
            ASSERT_EQ(rows.size(), 3u);
            long double dp = 1, dtheta = 0, log_scale = 0;
            for (int i = 0; i < n; ++i) {
                dp = dp + static_cast<long double>(kick) * dtheta;
                dtheta = dtheta + dp;
                if (std::fabs(dp) > 1e300L) {
                    dp /= 1e300L, dtheta /= 1e300L;
                    log_scale += std::log(1e300L);
                }
            }
            const long double reference =
                (log_scale + std::log(std::sqrt(dp * dp + dtheta * dtheta))) / n;
            // The seed line's first orbit and the scene's own both start there.
            for (const std::size_t row : {std::size_t{0}, std::size_t{2}}) {
                EXPECT_NEAR(rows[row].lyapunov, static_cast<double>(reference),
                            1e-13 * std::fabs(static_cast<double>(reference)))
                    << "kick " << kick << ", " << n << " steps";
                // Hyperbolic for K > 0; for -4 < K < 0 (trace 2 + K within (-2, 2)) elliptic,
                // the centre of an island.
                EXPECT_EQ(rows[row].kind, kick > 0 ? "chaotic" : "regular")
                    << "kick " << kick << ", " << n << " steps";
            }
            if (n == 10000 && kick > 0) {
                const double k = kick, eigenvalue = (2 + k + std::sqrt(k * k + 4 * k)) / 2;
                EXPECT_NEAR(rows[0].lyapunov, std::log(std::fabs(eigenvalue)), 2e-3) << kick;
            }
        }
    }
}

TEST(OrbitFacts, TheLastPlantedOrbitIsToldInWords) {
    EXPECT_FALSE(explore::last_orbit_report(scene_of("kick=1")));
    const Scene scene = scene_of("kick=3 length=1000 orbit=3.1415927,0 orbit=0.01,0.01");
    const auto report = explore::last_orbit_report(scene);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->start, scene.orbits.back());
    EXPECT_EQ(report->kind, kit::OrbitKind::chaotic);
    const std::string words = explore::orbit_words(scene, *report);
    EXPECT_TRUE(words.starts_with("orbit at theta 0.01, p 0.01: exponent ")) << words;
    EXPECT_TRUE(words.ends_with(" a step over 1,000 steps, chaotic")) << words;
}

TEST(Legend, ChaosAndDensityHaveOneStartHasNone) {
    EXPECT_FALSE(explore::colour_legend(scene_of("")));
    for (const char* line : {"colour=chaos", "colour=density"}) {
        const auto legend = explore::colour_legend(scene_of(line));
        ASSERT_TRUE(legend) << line;
        ASSERT_EQ(legend->colours.size(), 256u);
        EXPECT_EQ(legend->colours.front(), kit::exponent_scale[0]);
        EXPECT_EQ(legend->colours.back(), kit::exponent_scale[255]);
        ASSERT_GE(legend->marks.size(), 4u);
        for (const explore::LegendMark& mark : legend->marks) {
            EXPECT_GE(mark.at, 0);
            EXPECT_LE(mark.at, 1);
            EXPECT_FALSE(mark.label.empty());
        }
    }
    // The chaos legend marks where regular ends for the scene's length: (ln n + 5) / n.
    const auto legend = explore::colour_legend(scene_of("colour=chaos length=1000"));
    EXPECT_EQ(legend->marks.back().label, "regular up to 0.0119");
}

} // namespace
