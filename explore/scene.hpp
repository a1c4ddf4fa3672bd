// A scene: everything that decides a studio picture, and its one line of text.
//
// The line is space-separated key=value pairs in any order, every key with a default, so that
// "kick=0.9 group=p2mm" is a whole scene. Printing a scene and reading the line back gives the
// same scene, bit for bit: numbers are printed in their shortest form that reads back exactly.
#pragma once

#include "png.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace explore {

// The seven frieze groups, in the order keys 1 to 7 select them.
enum class Group { p1, p11g, p1m1, p2, p2mg, p11m, p2mm };
inline constexpr int group_count = 7;

struct GroupNames {
    const char* short_name;  // "p2mm"
    const char* long_name;   // "p2mm"; "p211" for p2
    const char* descriptive; // "spinning-jump"
};

const GroupNames& names_of(Group group);

// "p2mm (spinning-jump)": how messages and titles name a group.
std::string group_label(Group group);

// An orbit started at a chosen point of the torus, 0 <= theta, p < 2 pi (singles).
struct Start {
    float theta = 0, p = 0;
    bool operator==(const Start&) const = default;
};

// The format's version: the line may begin with v=1, and every printed line does.
inline constexpr int scene_version = 1;

// The limits of the keys; the refusals quote them.
inline constexpr float kick_limit = 10;
inline constexpr long long max_pixels = 100'000'000; // of the strip, and of its tile
inline constexpr int min_height = 4;
inline constexpr int max_width = 1'000'000;
inline constexpr double min_step = 0.0001;
inline constexpr int max_length = 10000;
inline constexpr int max_orbits = 1000;
inline constexpr int min_tile = 8, max_tile = 264; // the window's tile, 3 x 264 < 800 wide
inline constexpr double min_window = 1e-6;         // the narrowest window onto the plane
// The widest row of 32-bit pixels an SDL 1.2 surface holds (its pitch has 16 bits): the tile's
// limit, as the portrait is drawn into a surface.
inline constexpr int widest_surface = 65535 / 4;

struct Scene {
    float kick = 0.9f;                   // K, single precision
    Group group = Group::p2mm;           //
    unsigned palette = 1;                // the seed of the random palette
    int width = 2400;                    // the strip's size in pixels (size=WxH)
    int height = 200;                    //
    double theta_from = 0;               // the window onto the plane the tile shows: theta across,
    double theta_to = 6.283185307179586; // p upwards (theta=FROM:TO p=FROM:TO)
    double p_from = 0;                   //
    double p_to = 6.283185307179586;     //
    double step = 0.001;       // the seed line: p = s, theta = 0, s += step while s < 2 pi
    int length = 1000;         // points plotted per orbit
    std::vector<Start> orbits; // further orbits, drawn over the seed line's
    int keep = 0;              // which fundamental region of the tile is kept (mod the group's)
    int tile = 176;            // the tile's height in the window
    bool operator==(const Scene&) const = default;
};

// The scene as one line, every key given, v=1 first.
std::string print_scene(const Scene& scene);

// Reads a line: keys not given keep their defaults. On a bad key or value, returns nothing and
// sets `error` to one line naming the key, the value given and what is allowed.
std::optional<Scene> parse_scene(std::string_view line, std::string& error);

// Sets one key from its text, as the line would (for --sweep and the window's keys); returns
// the refusal, if any.
std::optional<std::string> set_key(Scene& scene, std::string_view key, std::string_view value);

// The keys whose values are numbers that can be swept.
inline constexpr std::array<std::string_view, 4> sweep_keys{"kick", "palette", "step", "length"};

// Shortest decimal forms that read back to the same value.
std::string number_text(double value);
std::string number_text(float value);

// The studio's name, in its messages, titles and files.
inline constexpr const char* program_name = "explore";
// The keyword of the text chunk that carries a picture's scene line.
inline constexpr const char* scene_keyword = "Scene";

// The text chunks every studio PNG carries, on the desktop and in the page alike: the program and
// its version, and the scene line.
std::vector<kit::PngText> scene_texts(const Scene& scene);

} // namespace explore
