// A scene: everything that decides a picture of explore, and its one line of text.
//
// The line is space-separated key=value pairs in any order, every key with a default, so that
// "kick=0.9 group=p2mm" is a whole scene. Printing a scene and reading the line back gives the
// same scene, bit for bit: numbers are printed in their shortest form that reads back exactly.
// The format is versioned (v=N, first in every printed line): a line of a version draws the same
// pixels forever, so a change to what a line means is a new version, and a scene keeps the
// version it was read in. docs/scene-format.md describes the format whole.
//
// The keys, their limits and the groups are one rulebook (key_rules, group_names): the refusals
// quote it, and describe_rules() gives it whole to the page.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace explore {

// The name of the program, its engine and its files.
inline constexpr const char* program_name = "explore";

inline constexpr double two_pi = 6.283185307179586;

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

// The versions of the format this engine reads; every new scene is of the newest. Version 1
// truncates points toward zero onto the tile, so that a point up to a pixel left of the window's
// theta or above its top p lands in column or row 0; version 2 draws only the points inside the
// window.
inline constexpr int oldest_version = 1, newest_version = 2;

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
// The widest tile: the desktop's window and the page put a tile into surfaces and canvases of
// SDL 1.2's widest 32-bit row (its pitch has 16 bits).
inline constexpr int widest_tile = 65535 / 4;

// The tile of a strip H pixels high: T = 3H wide, rounded down to a multiple of four (for p2mg's
// quarters), and H high.
constexpr int tile_width_for(int height) {
    return (3 * height) & ~3;
}

// What the orbits' points are coloured by: their start (the seed line's by starting momentum, the
// scene's own one colour each), each orbit's finite-time largest Lyapunov exponent on a fixed scale
// from regular (cool) to chaotic (warm), or each pixel by how many points fell in it (a logarithmic
// scale). Lines of version 1 colour by start only.
enum class Colouring { start, chaos, density };
inline constexpr int colouring_count = 3;

// "start", "chaos", "density": the key's values.
std::string_view colouring_name(Colouring colouring);

struct Scene {
    int version = newest_version;        // of the format the scene was read in
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
    Colouring colour = Colouring::start; // what the points are coloured by (version 2 on)
    bool operator==(const Scene&) const = default;
};

// What kind of value a key takes.
enum class KeyKind {
    version, // a whole number among the versions read
    single,  // a decimal number, rounded to single precision
    real,    // a decimal number, kept in double precision
    whole,   // a whole number
    group,   // a frieze group by any of its three names
    size,    // WxH
    window,  // FROM:TO within [0, 2 pi]
    point,   // THETA,P on the torus; the key may repeat
    choice,  // one of the names the rule lists (low and high: 0 and the last name's number)
};

// One key of the rulebook: its name, its kind, its limits (low and high, inclusive; a point's
// coordinates stay below high), and a sentence of plain words on what it does.
struct KeyRule {
    std::string_view name;
    KeyKind kind;
    double low, high;
    std::string_view about;
    std::span<const std::string_view> names = {}; // a choice's names, in order
    int since = oldest_version;                   // the first version whose lines take the key
};

// Every key, in the order a printed line gives them.
std::span<const KeyRule> key_rules();

// The scene as one line, every key its version takes given, its version first.
std::string print_scene(const Scene& scene);

// Reads a line: keys not given keep their defaults (v: the newest version). On a bad key or
// value, returns nothing and sets `error` to one line naming the key, the value given and what
// is allowed.
std::optional<Scene> parse_scene(std::string_view line, std::string& error);

// Sets one key from its text, as the line would; returns the refusal, if any (the scene then
// stays as it was).
std::optional<std::string> set_key(Scene& scene, std::string_view key, std::string_view value);

// The value of a key as the line prints it (for a point: every orbit, "THETA,P" each, separated
// by spaces); "" for a key the rulebook does not have.
std::string key_value(const Scene& scene, std::string_view key);

// The keys whose values are numbers that can be swept.
inline constexpr std::array<std::string_view, 4> sweep_keys{"kick", "palette", "step", "length"};

// Shortest decimal forms that read back to the same value.
std::string number_text(double value);
std::string number_text(float value);

} // namespace explore
