// The studio's engine: the exact symmetry of each group's strip, that only the kept part of the
// tile decides it, and the scene line's round trip and refusals.
#include "picture.hpp"
#include "scene.hpp"
#include "studio.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>

namespace {

using explore::Group;
using explore::Scene;

Scene scene_of(const std::string& line) {
    std::string error;
    const auto scene = explore::parse_scene(line, error);
    EXPECT_TRUE(scene) << line << ": " << error;
    return scene.value_or(Scene{});
}

using explore::Surface;

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
};

TEST(StudioSymmetry, EachGroupsStripHasExactlyItsGroupsIsometries) {
    test::SoftwareScreen screen;
    for (const char* line : symmetry_scenes)
        for (int g = 0; g < explore::group_count; ++g) {
            Scene scene = scene_of(line);
            scene.group = static_cast<Group>(g);
            const auto rendered = explore::render_strip(scene);
            ASSERT_TRUE(rendered);
            const test::Picture strip{rendered->width, rendered->height, rendered->pixels};
            ASSERT_EQ(strip.w, scene.width);
            ASSERT_EQ(strip.h, scene.height);
            EXPECT_GT(colours_in(strip), 10) << line;
            const int t = 3 * scene.height / 4 * 4;
            for (const Candidate& candidate : candidates())
                EXPECT_EQ(invariant(strip, candidate, t), members[g].count(candidate.name) == 1)
                    << explore::group_label(scene.group) << ", " << candidate.name << ": " << line;
        }
}

TEST(StudioSymmetry, OnlyTheKeptPartDecidesTheStrip) {
    test::SoftwareScreen screen;
    for (const char* line : symmetry_scenes)
        for (int g = 0; g < explore::group_count; ++g) {
            Scene scene = scene_of(line);
            scene.group = static_cast<Group>(g);
            const int h = scene.height, t = 3 * h / 4 * 4;
            const Surface portrait{explore::new_surface(t, h)};
            const Surface strip{explore::new_surface(scene.width, h)};
            explore::prepare_colours(scene);
            explore::draw_portrait(scene, portrait.get());
            explore::build_strip(scene.group, scene.keep, portrait.get(),
                                 explore::pixels_of(strip.get()), 0);
            const test::Picture expected = test::copy_of(strip.get());

            // The kept part is a 1/n of the tile (n parts; odd heights share the middle row).
            const explore::Rect kept = explore::kept_part(scene.group, scene.keep, t, h);
            const int parts = explore::part_count(scene.group);
            EXPECT_LE(std::abs(kept.width * kept.height * parts - t * h), t * parts / 2)
                << explore::group_label(scene.group);
            // Garbage everywhere else in the portrait changes nothing.
            auto* pixels = static_cast<Uint32*>(portrait->pixels);
            const int stride = portrait->pitch / 4;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < t; ++x)
                    if (!kept.contains({x, y})) pixels[y * stride + x] = test::tag(x, y);
            explore::build_strip(scene.group, scene.keep, portrait.get(),
                                 explore::pixels_of(strip.get()), 0);
            EXPECT_TRUE(test::same_picture(test::copy_of(strip.get()), expected))
                << explore::group_label(scene.group) << ": " << line;
            // A pixel inside it does change the strip (at every one of its images).
            pixels[kept.top * stride + kept.left] = test::tag(4095, 4095);
            explore::build_strip(scene.group, scene.keep, portrait.get(),
                                 explore::pixels_of(strip.get()), 0);
            const test::Picture changed = test::copy_of(strip.get());
            EXPECT_GE(test::count(changed, test::tag(4095, 4095)), scene.width / t);
        }
}

TEST(StudioPicture, AClickStartsAnOrbitAtThePixelsCentre) {
    const Scene scene = scene_of("theta=1:3 p=2:4");
    // Pixel (0, 0) of a 100 x 50 tile: theta 1 + 0.5 * 2 / 100, p 4 - 0.5 * 2 / 50.
    EXPECT_EQ(explore::start_at(scene, 100, 50, {0, 0}), (explore::Start{1.01f, 3.98f}));
    EXPECT_EQ(explore::start_at(scene, 100, 50, {99, 49}), (explore::Start{2.99f, 2.02f}));
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
    EXPECT_EQ(scene_of("  group=p2mm\tkick=0.9 v=1 "), Scene{});
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

// Two scenes in a picture, or one holding a NUL, are refused with one line naming the file and
// what is wrong (any text chunk's form is read: the kit's tests check that).
TEST(SceneFile, TwoScenesOrANulAreRefused) {
    using enum test::TextChunk;
    using namespace std::string_literals;
    const test::TemporaryFolder folder;
    const std::string file = folder.path + "/scene.png";
    const std::pair<std::vector<test::StoredText>, const char*> refused[] = {
        {{{tEXt, "Scene", "kick=0.5"}, {iTXt_compressed, "Scene", "kick=0.6"}}, "more than one"},
        {{{zTXt, "Scene", "kick=0.5\0group=p1"s}}, "NUL"}};
    for (const auto& [texts, what] : refused) {
        ASSERT_TRUE(test::write_png_texts(file, texts));
        std::string error;
        EXPECT_FALSE(explore::scene_from_png(file, error)) << what;
        EXPECT_TRUE(error.find(file) != error.npos && error.find(what) != error.npos &&
                    error.find('\n') == error.npos)
            << error;
    }
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
        {"v=2", "v"},
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

} // namespace
