// explore's engine: the exact symmetry of each group's strip, that only the kept part of the
// tile decides it, and the scene line's round trip and refusals.
#include "axes.hpp"
#include "editor.hpp"
#include "explore_support.hpp"
#include "orbit_paths.hpp"
#include "picture.hpp"
#include "png_texts.hpp"
#include "save_names.hpp"
#include "scene.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>

namespace {

using explore::Group;
using explore::Scene;

using test::scene_of;

// The strip of a scene at its size, as the export draws it.
test::Picture strip_of(const Scene& scene, explore::Drawing drawing = {}) {
    kit::PixelBuffer strip;
    EXPECT_TRUE(explore::render_strip(scene, kit::xrgb_layout, strip, drawing));
    const kit::Image& image = strip.image();
    return {image.width, image.height,
            std::vector<Uint32>(image.pixels, image.pixels + image.width * image.height)};
}

test::Picture picture_of(const kit::Image& image) {
    test::Picture out{image.width, image.height, {}};
    for (int y = 0; y < image.height; ++y)
        out.pixels.insert(out.pixels.end(), image.row(y), image.row(y) + image.width);
    return out;
}

// A map of strip pixels: an isometry, or a candidate that is none of the group's.
struct Candidate {
    const char* name;
    std::function<std::pair<int, int>(int x, int y, int t, int h)> map;
};

// The isometries a frieze group may hold, in strip pixels: the tile is t wide and h high, so a
// mirror or half-turn about the tile's middle sends column x to t - 1 - x, the row flip sends y
// to h - 1 - y, and p2mg's mirrors lie a quarter tile from there.
const std::vector<Candidate>& candidates() {
    static const std::vector<Candidate> all{
        {"translation",
         [](int x, int y, int t, int) {
             return std::pair{x + t, y};
         }},
        {"glide",
         [](int x, int y, int t, int h) {
             return std::pair{x + t / 2, h - 1 - y};
         }},
        {"mirror",
         [](int x, int y, int t, int) {
             return std::pair{t - 1 - x, y};
         }},
        {"quarter mirror",
         [](int x, int y, int t, int) {
             return std::pair{t / 2 - 1 - x, y};
         }},
        {"flip",
         [](int x, int y, int, int h) {
             return std::pair{x, h - 1 - y};
         }},
        {"half-turn",
         [](int x, int y, int t, int h) {
             return std::pair{t - 1 - x, h - 1 - y};
         }},
    };
    return all;
}

// Which candidates belong to each group (in the order of Group).
const std::set<std::string> members[explore::group_count] = {
    {"translation"},
    {"translation", "glide"},
    {"translation", "mirror"},
    {"translation", "half-turn"},
    {"translation", "glide", "quarter mirror", "half-turn"},
    {"translation", "flip"},
    {"translation", "mirror", "flip", "half-turn"},
};

// Whether the strip equals its image under the map wherever both pixels lie in the strip.
bool invariant(const test::Picture& strip, const Candidate& candidate, int t) {
    for (int y = 0; y < strip.h; ++y)
        for (int x = 0; x < strip.w; ++x) {
            const auto [u, v] = candidate.map(x, y, t, strip.h);
            if (u < 0 || u >= strip.w || v < 0 || v >= strip.h) continue;
            if (strip.at(x, y) != strip.at(u, v)) return false;
        }
    return true;
}

long colours_in(const test::Picture& picture) {
    return static_cast<long>(std::set<Uint32>(picture.pixels.begin(), picture.pixels.end()).size());
}

// Scenes of several shapes: the default size, an odd height (the row flip then runs through
// the middle row's centres), other kept parts, a zoomed window, orbits of the scene's own.
const char* const symmetry_scenes[] = {
    "kick=0.9 size=1300x200",
    "kick=-0.73 size=701x61 keep=3 palette=9",
    "kick=1 size=500x90 keep=1 theta=1:4 p=2.5:5.5 orbit=2,3 orbit=3.5,4 length=300",
    // Coloured by each orbit's exponent, and by the count of points in each pixel.
    "kick=1.3 size=600x61 keep=2 step=0.01 length=300 orbit=3,1 colour=chaos",
    "kick=2.2 size=700x70 keep=1 theta=0.5:5 step=0.005 colour=density",
};

TEST(StripSymmetry, EachGroupsStripHasExactlyItsGroupsIsometries) {
    for (const char* line : symmetry_scenes)
        for (int g = 0; g < explore::group_count; ++g) {
            Scene scene = scene_of(line);
            scene.group = static_cast<Group>(g);
            const test::Picture strip = strip_of(scene);
            ASSERT_EQ(strip.w, scene.width);
            ASSERT_EQ(strip.h, scene.height);
            EXPECT_GT(colours_in(strip), 10) << line;
            const int t = 3 * scene.height / 4 * 4;
            for (const Candidate& candidate : candidates())
                EXPECT_EQ(invariant(strip, candidate, t), members[g].count(candidate.name) == 1)
                    << explore::group_label(scene.group) << ", " << candidate.name << ": " << line;
        }
}

TEST(StripSymmetry, OnlyTheKeptPartDecidesTheStrip) {
    for (const char* line : symmetry_scenes)
        for (int g = 0; g < explore::group_count; ++g) {
            Scene scene = scene_of(line);
            scene.group = static_cast<Group>(g);
            const int h = scene.height, t = 3 * h / 4 * 4;
            kit::PixelBuffer portrait_buffer, strip_buffer;
            ASSERT_TRUE(portrait_buffer.resize(t, h) && strip_buffer.resize(scene.width, h));
            const kit::Image &portrait = portrait_buffer.image(), &strip = strip_buffer.image();
            explore::draw_portrait(scene, explore::scene_colours(scene, portrait.layout), portrait);
            explore::build_strip(scene.group, scene.keep, portrait, strip);
            const test::Picture expected = picture_of(strip);

            // The kept part is a 1/n of the tile (n parts; odd heights share the middle row).
            const explore::Rect kept = explore::kept_part(scene.group, scene.keep, t, h);
            const int parts = explore::part_count(scene.group);
            EXPECT_LE(std::abs(kept.width * kept.height * parts - t * h), t * parts / 2)
                << explore::group_label(scene.group);
            // Garbage everywhere else in the portrait changes nothing.
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < t; ++x)
                    if (!kept.contains({x, y})) portrait.row(y)[x] = test::tag(x, y);
            explore::build_strip(scene.group, scene.keep, portrait, strip);
            EXPECT_TRUE(test::same_picture(picture_of(strip), expected))
                << explore::group_label(scene.group) << ": " << line;
            // A pixel inside it does change the strip (at every one of its images).
            portrait.row(kept.top)[kept.left] = test::tag(4095, 4095);
            explore::build_strip(scene.group, scene.keep, portrait, strip);
            const test::Picture changed = picture_of(strip);
            EXPECT_GE(test::count(changed, test::tag(4095, 4095)), scene.width / t);
        }
}

TEST(Portrait, AClickStartsAnOrbitAtThePixelsCentre) {
    const Scene scene = scene_of("theta=1:3 p=2:4");
    // Pixel (0, 0) of a 100 x 50 tile: theta 1 + 0.5 * 2 / 100, p 4 - 0.5 * 2 / 50.
    EXPECT_EQ(explore::start_at(scene, 100, 50, {0, 0}), (explore::Start{1.01f, 3.98f}));
    EXPECT_EQ(explore::start_at(scene, 100, 50, {99, 49}), (explore::Start{2.99f, 2.02f}));
}

// The axes: ticks at both ends of the window and at the multiples of pi/2 between them, in
// fractions from the left and from the top.
TEST(Portrait, AxesTickTheEndsAndTheMultiplesOfHalfPi) {
    const auto labels = [](const std::vector<explore::Tick>& ticks) {
        std::string text;
        for (const explore::Tick& tick : ticks)
            text += tick.label + "@" + std::to_string(tick.at).substr(0, 5) + " ";
        return text;
    };
    EXPECT_EQ(labels(explore::theta_ticks(Scene{})),
              "0@0.000 π/2@0.250 π@0.500 3π/2@0.750 2π@1.000 ");
    const Scene zoomed = scene_of("theta=1:4 p=0.5:3.14159265");
    EXPECT_EQ(labels(explore::theta_ticks(zoomed)), "1.000@0.000 π/2@0.190 π@0.713 4.000@1.000 ");
    // p runs up the tile: its top is p's TO (here pi, to a millionth of the window).
    EXPECT_EQ(labels(explore::p_ticks(zoomed)), "π@0.000 π/2@0.594 0.500@1.000 ");
    const auto words = explore::point_words(scene_of("theta=2:2.002 p=0:6"), 0.5, 0.25);
    EXPECT_EQ(words.theta, "2.001000");
    EXPECT_EQ(words.p, "4.500");
}

TEST(SceneLine, PrintingAndReadingBackGivesTheSameScene) {
    std::mt19937 random{25};
    std::uniform_real_distribution<float> kick(-10, 10), angle(0, 6.28f);
    std::uniform_int_distribution<int> any(0, 1 << 30);
    for (int i = 0; i < 300; ++i) {
        Scene scene;
        scene.kick = kick(random);
        scene.group = static_cast<Group>(any(random) % explore::group_count);
        scene.palette = static_cast<unsigned>(any(random)) * 4u + 3u;
        scene.width = 1 + any(random) % 20000;
        scene.height = 4 + any(random) % 2000;
        scene.theta_from = angle(random) / 3;
        scene.theta_to = scene.theta_from + angle(random) / 2 + 1e-3;
        scene.p_from = 1.0 / (1 + any(random) % 1000);
        scene.p_to = 6.283185307179586;
        scene.step = 0.0001 + angle(random) / 1000;
        scene.length = 1 + any(random) % 10000;
        scene.keep = any(random) % 4;
        scene.tile = 8 + any(random) % 257;
        scene.version = 1 + any(random) % 2;
        for (int n = any(random) % 4; n > 0; --n)
            scene.orbits.push_back({angle(random), angle(random)});
        const std::string line = explore::print_scene(scene);
        std::string error;
        const auto back = explore::parse_scene(line, error);
        ASSERT_TRUE(back) << line << ": " << error;
        EXPECT_EQ(*back, scene) << line;
        EXPECT_EQ(explore::print_scene(*back), line);
    }
}

TEST(SceneLine, KeysComeInAnyOrderAndDefaultTheRest) {
    EXPECT_EQ(scene_of("kick=0.9 group=p2mm"), Scene{});
    EXPECT_EQ(scene_of("  group=p2mm\tkick=0.9 v=2 "), Scene{});
    // A line of an older version stays of it, and prints so.
    EXPECT_EQ(scene_of("v=1").version, 1);
    EXPECT_TRUE(explore::print_scene(scene_of("kick=2 v=1")).starts_with("v=1 kick=2 "));
    EXPECT_EQ(scene_of(""), Scene{});
    // The kick is rounded to single precision, and 1 is exactly 1.
    EXPECT_EQ(scene_of("kick=0.1").kick, 0.1f);
    EXPECT_EQ(scene_of("kick=1").kick, 1.0f);
    EXPECT_EQ(scene_of("orbit=1,2 orbit=3,4").orbits,
              (std::vector<explore::Start>{{1, 2}, {3, 4}}));
}

TEST(SceneLine, EveryGroupIsKnownByEachOfItsThreeNames) {
    const char* const names[][3] = {
        {"p1", "p111", "hop"},
        {"p11g", "p11g", "step"},
        {"p1m1", "p1m1", "sidle"},
        {"p2", "p211", "spinning-hop"},
        {"p2mg", "p2mg", "spinning-sidle"},
        {"p11m", "p11m", "jump"},
        {"p2mm", "p2mm", "spinning-jump"},
    };
    for (int g = 0; g < explore::group_count; ++g)
        for (const char* name : names[g]) {
            EXPECT_EQ(scene_of(std::string("group=") + name).group, static_cast<Group>(g)) << name;
            // Messages and titles show the short name and the descriptive one.
            EXPECT_EQ(explore::group_label(static_cast<Group>(g)),
                      std::string(names[g][0]) + " (" + names[g][2] + ")");
        }
}

// Two scenes in a picture, or one holding a NUL, are refused with one line naming the picture
// and what is wrong (every text chunk's form is read: the kit's tests check that).
TEST(SceneFile, TwoScenesOrANulAreRefused) {
    using namespace std::string_literals;
    const std::pair<std::vector<kit::PngText>, const char*> refused[] = {
        {{{"Scene", "kick=0.5"}, {"Software", "x"}, {"Scene", "kick=0.6"}}, "more than one"},
        {{{"Scene", "kick=0.5\0group=p1"s}}, "NUL"},
        {{{"Software", "x"}}, "no scene"}};
    for (const auto& [texts, what] : refused) {
        std::string error;
        EXPECT_FALSE(explore::scene_of_texts(texts, "pic.png", error)) << what;
        EXPECT_TRUE(error.find("pic.png") != error.npos && error.find(what) != error.npos &&
                    error.find('\n') == error.npos)
            << error;
    }
    std::string error;
    EXPECT_EQ(
        explore::scene_of_texts(std::vector<kit::PngText>{{"Scene", "kick=2 v=1"}}, "p", error),
        scene_of("kick=2 v=1"));
}

TEST(SceneLine, ARefusalIsOneLineNamingTheKeyTheValueAndWhatIsAllowed) {
    const std::pair<const char*, const char*> bad[] = {
        {"kick=10.5", "kick"},
        {"kick=nan", "kick"},
        {"kick=0x1", "kick"},
        {"group=p3", "group"},
        {"palette=-1", "palette"},
        {"size=100x3", "size"},
        {"size=100001x1000", "size"},
        {"size=200x5462", "size"},
        {"size=12", "size"},
        {"theta=2:2", "theta"},
        {"p=-1:3", "p"},
        {"p=0:7", "p"},
        {"step=0", "step"},
        {"length=10001", "length"},
        {"orbit=6.2831853,1", "orbit"},
        {"orbit=1", "orbit"},
        {"keep=4", "keep"},
        {"tile=265", "tile"},
        {"v=3", "v"},
        {"v=0", "v"},
        {"bogus=1", "bogus"},
        {"kick=1 kick=2", "kick"},
    };
    for (const auto& [line, key] : bad) {
        std::string error;
        EXPECT_FALSE(explore::parse_scene(line, error)) << line;
        EXPECT_TRUE(error.starts_with(std::string(key) + ": ") ||
                    error.find(std::string("'") + key + "'") != std::string::npos)
            << line << " -> " << error;
        const std::string given = std::string(line).substr(std::string(line).rfind('=') + 1);
        EXPECT_NE(error.find("'" + given + "'"), std::string::npos) << line << " -> " << error;
        EXPECT_NE(error.find(':', error.find(given)), std::string::npos)
            << "no allowed values after the value: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    // What was given is shown escaped and cut, whatever it holds.
    std::string error;
    EXPECT_FALSE(explore::parse_scene("kick=\x1b[31m" + std::string(500, '9'), error));
    EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
    EXPECT_NE(error.find("\\x1b[31m"), std::string::npos) << error;
    EXPECT_LT(error.size(), 300u) << error;
    EXPECT_FALSE(explore::parse_scene("kick", error));
    EXPECT_NE(error.find("'kick'"), std::string::npos) << error;
}

// The pictures that lines of version 1 drew when explore saved them, held forever: every PNG
// saved so far carries such a line and must rebuild into the same picture. Each hash is FNV-1a
// (64 bits) over the strip's red, green and blue bytes, row by row, taken from the exports of the
// release that wrote them. Every group, odd heights, zoomed windows, orbits of the scene's own,
// kicks of +-10 and near 0, orbits long enough for each path of the plotter.
constexpr std::pair<const char*, std::uint64_t> version_1_pictures[] = {
    {"v=1 kick=0.9 group=p2mm palette=1 size=2400x200 theta=0:6.283185307179586 "
     "p=0:6.283185307179586 step=0.001 length=1000 keep=0 tile=176",
     0xed20300d016a8bc5},
    {"v=1 kick=10 group=p1 palette=3 size=300x41 theta=0:6.283185307179586 p=0:6.283185307179586 "
     "step=0.001 length=12 keep=0 tile=176",
     0x9b3e2a12432fc401},
    {"v=1 kick=-10 group=p11g palette=77 size=257x37 theta=0:6.283185307179586 "
     "p=0:6.283185307179586 step=0.01 length=300 keep=0 tile=176",
     0x36bc85312487307},
    {"v=1 kick=0.001 group=p1m1 palette=1 size=640x60 theta=0:6.283185307179586 "
     "p=0:6.283185307179586 step=0.001 length=500 keep=1 tile=176",
     0xb544dde14462ccb5},
    {"v=1 kick=-1e-04 group=p2 palette=1 size=400x33 theta=2:4.5 p=1:3 step=0.005 length=400 "
     "keep=0 tile=176",
     0x2b94b8669c969485},
    {"v=1 kick=0.97 group=p2mg palette=1 size=1200x100 theta=0:3.2 p=1.6:4.7 step=0.001 "
     "length=1000 keep=0 tile=176",
     0xce40a4d83da98e25},
    {"v=1 kick=1 group=p11m palette=1 size=333x51 theta=0:6.283185307179586 p=0:6.283185307179586 "
     "step=0.001 length=700 keep=1 tile=176 orbit=1,2 orbit=3,0.5 orbit=6.28,6.28",
     0x68177f94735f2d1e},
    {"v=1 kick=-2.37 group=p2mm palette=1 size=1500x131 theta=0.4:5.2 p=1:5 step=0.001 length=1000 "
     "keep=3 tile=176 orbit=1,2 orbit=3,0.5",
     0xeffdc91b88db8ec2},
    {"v=1 kick=1.5 group=p2mm palette=1 size=500x45 theta=3.1:3.2 p=3.1:3.2 step=0.01 length=2500 "
     "keep=2 tile=176",
     0x49d7d7417e45738e},
    {"v=1 kick=0.5 group=p2mg palette=1 size=99x23 theta=0:6.283185307179586 p=0.5:5.5 step=0.05 "
     "length=5000 keep=3 tile=176",
     0xf0eb5b89794f91b9},
    {"v=1 kick=3 group=p11g palette=4294967295 size=700x75 theta=0.7:0.8 p=0:3.14 step=0.002 "
     "length=1000 keep=1 tile=176",
     0x4a14666ca69037fa},
    {"v=1 kick=0.9716 group=p1m1 palette=0 size=901x87 theta=1.5:4.7 p=2.9:3.4 step=0.001 "
     "length=1500 keep=0 tile=176 orbit=3.14159,3.14159 orbit=0,0 orbit=2.5,3.1",
     0x6b079a83a6ffb1db},
};

std::uint64_t rgb_hash(const test::Picture& picture) {
    std::uint64_t hash = 0xcbf29ce484222325;
    for (const Uint32 pixel : picture.pixels) {
        const kit::Rgb rgb = kit::xrgb_layout.unpack(pixel);
        for (const std::uint8_t byte : {rgb.r, rgb.g, rgb.b}) hash = (hash ^ byte) * 0x100000001b3;
    }
    return hash;
}

TEST(SceneVersions, EveryVersion1LineDrawsTheStripItAlwaysDrew) {
    for (const auto& [line, hash] : version_1_pictures) {
        const Scene scene = scene_of(line);
        ASSERT_EQ(scene.version, 1);
        EXPECT_EQ(rgb_hash(strip_of(scene)), hash) << line;
        EXPECT_EQ(explore::print_scene(scene), line);
    }
}

// The strip of a scene whose portrait is split into `parts` shares, each marked on its own and
// all merged, as the page's drawing workers make it.
test::Picture split_strip_of(const Scene& scene, int parts) {
    test::Picture tile = test::split_portrait_of(scene, parts);
    kit::PixelBuffer strip;
    EXPECT_TRUE(strip.resize(scene.width, scene.height));
    explore::build_strip(scene.group, scene.keep, test::image_of(tile), strip.image());
    return picture_of(strip.image());
}

// Shared among threads, or split into shares and merged, every version-1 line still draws the
// strip it always drew, and lines of version 2 (with orbits of their own, long orbits, a zoomed
// window) the strip one thread draws.
TEST(SceneThreads, EveryThreadCountAndEverySplitDrawsTheSamePixels) {
    std::vector<std::pair<std::string, std::uint64_t>> lines(std::begin(version_1_pictures),
                                                             std::end(version_1_pictures));
    for (const char* line :
         {"v=2", "v=2 kick=-3.7 group=p11g size=500x70 theta=1:4 p=2:3 orbit=2,2.5 orbit=3,2.2",
          "v=2 kick=0.97 group=p2mg size=300x50 step=0.05 length=10000 orbit=1,1"})
        lines.push_back({line, rgb_hash(strip_of(scene_of(line)))});
    // The default scene keeps each count of threads at work.
    const Scene usual = scene_of("v=2");
    const kit::OrbitRow row = explore::portrait_row(usual, 600, 200);
    EXPECT_EQ(kit::threads_for({.threads = 7}, kit::orbit_count(row), row.orbit_length,
                               {.width = 600, .height = 200}),
              7);
    // A drawing in runs (the window's, which a newer one may overtake) plots the scene's own
    // orbits in more than one run here: 60 orbits of 10000 points.
    std::string many = "v=2 kick=1 group=p2 size=240x40 step=0.7 length=10000";
    for (int i = 0; i < 60; ++i)
        many += " orbit=" + std::to_string(0.1 * i) + "," + std::to_string(0.05 * i + 0.3);
    lines.push_back({many, rgb_hash(strip_of(scene_of(many)))});
    for (const char* colouring : {" colour=chaos", " colour=density"})
        lines.push_back({many + colouring, rgb_hash(strip_of(scene_of(many + colouring)))});
    const auto go_on = [](void*) { return true; };
    for (const auto& [line, hash] : lines) {
        const Scene scene = scene_of(line);
        for (int threads : {2, 3, 7})
            EXPECT_EQ(rgb_hash(strip_of(scene, {.threads = threads})), hash)
                << line << ": " << threads << " threads";
        for (int threads : {1, 2})
            EXPECT_EQ(rgb_hash(strip_of(scene, {.threads = threads, .go_on = go_on})), hash)
                << line << ": in runs, " << threads << " threads";
        for (int parts : {2, 3})
            EXPECT_EQ(rgb_hash(split_strip_of(scene, parts)), hash)
                << line << ": " << parts << " shares";
    }
}

// A drawing in runs asks before each run whether to go on, and stops at the first no: a scene
// of 62832 orbits of 10000 points (seconds of work) asks once per 50 orbits, and is abandoned
// within a run of being told.
TEST(SceneThreads, ADrawingInRunsStopsWhenToldTo) {
    const Scene heavy = scene_of("v=2 step=0.0001 length=10000 size=120x20");
    struct Asked {
        int times = 0, yes = 0;
    } asked{0, 3};
    const explore::Drawing drawing{.threads = 1,
                                   .go_on =
                                       [](void* context) {
                                           auto& a = *static_cast<Asked*>(context);
                                           return ++a.times <= a.yes;
                                       },
                                   .context = &asked};
    kit::PixelBuffer strip;
    ASSERT_TRUE(explore::render_strip(heavy, kit::xrgb_layout, strip, drawing));
    EXPECT_EQ(asked.times, 4);
    // The three runs of 50 orbits drew.
    const explore::Colours colours = explore::scene_colours(heavy, kit::xrgb_layout);
    long drawn = 0;
    for (int y = 0; y < strip.image().height; ++y)
        for (int x = 0; x < strip.image().width; ++x)
            drawn += strip.image().row(y)[x] != colours.white;
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(explore::run_points / heavy.length, 50);
}

// Version 2 draws only the points inside the window: of a zoomed window's portrait, version 1
// and 2 differ exactly in column 0 and row 0, where version 1 truncated the points that lay up to
// a pixel outside; over the whole torus nothing lies outside, and they are the same.
TEST(SceneVersions, Version2DropsWhatLiesOutsideTheWindow) {
    const auto portraits = [](std::string line) {
        std::array<test::Picture, 2> out;
        for (int version : {1, 2}) {
            const Scene scene = scene_of("v=" + std::to_string(version) + " " + line);
            kit::PixelBuffer tile;
            EXPECT_TRUE(tile.resize(explore::tile_width_for(scene.height), scene.height));
            explore::draw_portrait(scene, explore::scene_colours(scene, kit::xrgb_layout),
                                   tile.image());
            out[version - 1] = picture_of(tile.image());
        }
        return out;
    };
    const auto [v1, v2] = portraits("size=300x60 theta=2:4.5 p=1:3 length=400 step=0.005");
    long edge = 0;
    for (const auto& [x, y] : test::differences(v1, v2, 100000)) {
        EXPECT_TRUE(x == 0 || y == 0) << x << "," << y;
        ++edge;
    }
    EXPECT_GT(edge, 5);
    const auto [whole1, whole2] = portraits("size=300x60 length=400 step=0.005");
    EXPECT_EQ(whole1, whole2);
}

// The editor: every change undone and redone, a reset too; a gesture's steps undone at once.
TEST(Editor, EveryChangeIsUndoneAndRedone) {
    explore::Editor editor(scene_of("kick=0.5 size=300x60 theta=1:3 p=2:4"));
    const auto changes = std::to_array<std::function<void()>>({
        [&] { editor.step_kick(3); },
        [&] { editor.next_group(); }, // p2mm to p1
        [&] { editor.set_group(Group::p2); },
        [&] { editor.next_part(); },
        [&] { editor.pan(0.1, -0.2); },
        [&] { editor.zoom(0.5, 0.3, 0.7); },
        [&] { editor.next_palette(); },
        [&] { EXPECT_FALSE(editor.set("length", "300")); },
        [&] { EXPECT_FALSE(editor.set("step", "0.01")); },
        [&] {
            EXPECT_TRUE(editor.plant({10, 20}, 100, 50));
        },
        [&] { editor.reset(); },
    });
    std::vector<Scene> seen{editor.scene()};
    for (const auto& change : changes) {
        change();
        EXPECT_NE(editor.scene(), seen.back()) << seen.size();
        seen.push_back(editor.scene());
    }
    EXPECT_EQ(editor.scene(), editor.start()); // after the reset
    for (size_t i = seen.size() - 1; i-- > 0;) {
        ASSERT_TRUE(editor.undo());
        EXPECT_EQ(editor.scene(), seen[i]) << i;
    }
    EXPECT_FALSE(editor.undo());
    for (size_t i = 1; i < seen.size(); ++i) {
        ASSERT_TRUE(editor.redo());
        EXPECT_EQ(editor.scene(), seen[i]) << i;
    }
    EXPECT_FALSE(editor.redo());
    // A refused value and a change to what stands are no changes.
    EXPECT_TRUE(editor.set("kick", "11"));
    EXPECT_FALSE(editor.set("kick", "0.5"));
    editor.undo();
    EXPECT_EQ(editor.scene(), seen[seen.size() - 2]);
    // A drag: its steps count from where it started, and one undo takes them all back.
    const Scene before_drag = editor.scene();
    editor.pan(0.1, 0, explore::Gesture::starts);
    editor.pan(0.2, 0, explore::Gesture::continues);
    editor.pan(0.3, 0.1, explore::Gesture::continues);
    explore::Editor once(before_drag);
    once.pan(0.3, 0.1);
    EXPECT_EQ(editor.scene(), once.scene());
    editor.undo();
    EXPECT_EQ(editor.scene(), before_drag);
    // The history keeps its last changes.
    for (int i = 0; i < explore::history_limit + 50; ++i) editor.next_palette();
    int undone = 0;
    while (editor.undo()) ++undone;
    EXPECT_EQ(undone, explore::history_limit);
}

// Pan and zoom keep the window on the torus and within the scene's limits, so that the line
// printed after any of them reads back; a zoom keeps the point it is made about where it is.
TEST(Editor, WindowsStayLinesThatReadBack) {
    explore::Editor editor(scene_of("theta=1:2 p=3:5"));
    editor.zoom(0.5, 0.25, 0.75);
    const Scene& scene = editor.scene();
    EXPECT_DOUBLE_EQ(scene.theta_from + 0.25 * (scene.theta_to - scene.theta_from), 1.25);
    EXPECT_DOUBLE_EQ(scene.p_to - 0.75 * (scene.p_to - scene.p_from), 3.5);
    EXPECT_DOUBLE_EQ(scene.theta_to - scene.theta_from, 0.5);
    std::mt19937 random{30};
    std::uniform_real_distribution<double> fraction(-0.2, 1.2), factor(0.001, 40);
    for (int i = 0; i < 3000; ++i) {
        if (i % 3 == 0)
            editor.pan(fraction(random) * 3, fraction(random) * 3);
        else
            editor.zoom(i % 500 < 250 ? factor(random) / 40 : factor(random), fraction(random),
                        fraction(random));
        const std::string line = explore::print_scene(editor.scene());
        std::string error;
        const auto back = explore::parse_scene(line, error);
        ASSERT_TRUE(back) << line << ": " << error;
        ASSERT_EQ(*back, editor.scene()) << line;
    }
}

} // namespace

// The window's saves take the first free name of their series, whatever else the folder holds,
// and find it at once among many thousands of earlier saves.
TEST(SaveNames, TheFirstNameOfTheSeriesNotTaken) {
    Scene scene = scene_of("kick=0.91 group=p1m1 size=800x100");
    const std::string stem = explore::save_stem(scene, false);
    EXPECT_EQ(stem, "explore-p1m1-kick-0.91");
    EXPECT_EQ(explore::save_stem(scene, true), "explore-p1m1-kick-0.91-800x100");
    using Names = std::vector<std::string>;
    EXPECT_EQ(explore::free_save_name(stem, Names{}), stem + ".png");
    // Names of other series, or not the series' form, take nothing from it.
    EXPECT_EQ(explore::free_save_name(stem, Names{stem + "-2.png", "explore-p1m1-kick-0.915.png",
                                                  stem + "-800x100.png", stem + "-02.png",
                                                  stem + "-.png", stem + ".png.part"}),
              stem + ".png");
    EXPECT_EQ(explore::free_save_name(stem, Names{stem + ".png", stem + "-3.png"}),
              stem + "-2.png");
    Names many;
    for (int n = 10000; n >= 2; --n) many.push_back(stem + "-" + std::to_string(n) + ".png");
    many.push_back(stem + ".png");
    EXPECT_EQ(explore::free_save_name(stem, many), stem + "-10001.png");
    many.erase(many.begin() + 5000); // stem-5000.png
    EXPECT_EQ(explore::free_save_name(stem, many), stem + "-5000.png");
}
