#include "scene.hpp"

#include "decimal.hpp"
#include "kit/arguments.hpp"

#include <charconv>
#include <cmath>

namespace explore {
namespace {

constexpr std::array<GroupNames, group_count> group_names{{
    {"p1", "p111", "hop"},
    {"p11g", "p11g", "step"},
    {"p1m1", "p1m1", "sidle"},
    {"p2", "p211", "spinning-hop"},
    {"p2mg", "p2mg", "spinning-sidle"},
    {"p11m", "p11m", "jump"},
    {"p2mm", "p2mm", "spinning-jump"},
}};

constexpr std::string_view colouring_names[colouring_count] = {"start", "chaos", "density"};

// The rulebook, in the order a printed line gives the keys (the orbits last, as they repeat).
constexpr KeyRule rules[] = {
    {"v", KeyKind::version, oldest_version, newest_version,
     "The version of the scene format: a line of a version draws the same picture forever."},
    {"kick", KeyKind::single, -kick_limit, kick_limit,
     "K, the strength of the kick: each step of the map adds K sin(theta) to the momentum p, "
     "then p to the angle theta."},
    {"group", KeyKind::group, 0, group_count - 1,
     "The frieze group whose mirrors, glide reflections and half-turns rebuild the whole strip "
     "from the kept part of the tile."},
    {"palette", KeyKind::whole, 0, 4294967295.0,
     "The seed of the random colours: each seed gives its own 256 colours."},
    {"size", KeyKind::size, 1, max_width,
     "The strip's width and height in pixels, as it is saved; its tile is about three times as "
     "wide as it is high."},
    {"theta", KeyKind::window, 0, two_pi,
     "The angles theta the tile shows across it, FROM:TO: the window onto the plane."},
    {"p", KeyKind::window, 0, two_pi, "The momenta p the tile shows up it, FROM:TO."},
    {"step", KeyKind::real, min_step, two_pi,
     "The seed line's step: an orbit starts at theta = 0 for every p = 0, step, 2 step, ... "
     "below 2 pi, each in the colour of where it starts."},
    {"length", KeyKind::whole, 1, max_length,
     "The points drawn of every orbit: longer orbits fill in more of the chaotic sea, and take "
     "longer to draw."},
    {"keep", KeyKind::whole, 0, 3,
     "Which part of the tile is kept, outlined over the portrait (counted modulo the group's "
     "parts): the group's mirrors and half-turns make the rest of the tile, and the whole strip, "
     "from that part alone."},
    {"tile", KeyKind::whole, min_tile, max_tile,
     "The tile's height in the desktop window, in pixels."},
    {"colour", KeyKind::choice, 0, colouring_count - 1,
     "What colours the points: start (the seed line's orbits by starting momentum, the scene's "
     "own one colour each), chaos (each orbit by its Lyapunov exponent, from regular and cool to "
     "chaotic and warm) or density (each pixel by how many points fell in it, on a log scale).",
     colouring_names, 2},
    {"orbit", KeyKind::point, 0, two_pi,
     "A further orbit started at THETA,P, drawn over the seed line's in a colour of its own; the "
     "key may repeat."},
};

// The value as the user gave it, safe to print on one line, cut to 40 characters.
std::string quoted(std::string_view value) {
    std::string out(1, '\'');
    out += kit::shown(value, 40);
    out += '\'';
    return out;
}

std::string refusal(std::string_view key, std::string_view value, const std::string& allowed) {
    return std::string(key) + ": " + quoted(value) + " is not allowed: " + allowed;
}

// A limit as the refusals write it: 2 pi named as such.
std::string limit_text(double value) {
    if (value == two_pi) return number_text(value) + " (2 pi)";
    return number_text(value);
}

// A whole number of type T (no sign '+', no spaces, nothing left over), or nothing.
template <typename T> std::optional<T> whole(std::string_view text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

// "A:B" or "A,B" split at the separator.
std::optional<std::pair<std::string_view, std::string_view>> pair_of(std::string_view text,
                                                                     char separator) {
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) return std::nullopt;
    return std::pair{text.substr(0, at), text.substr(at + 1)};
}

std::string groups_allowed() {
    std::string text = "one of";
    for (const GroupNames& g : group_names) {
        text += std::string(" ") + g.short_name + " (";
        if (std::string_view(g.long_name) != g.short_name) text += std::string(g.long_name) + ", ";
        text += std::string(g.descriptive) + ")";
        if (&g != &group_names.back()) text += ",";
    }
    return text;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char lower = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (lower != b[i]) return false;
    }
    return true;
}

// "100,000,000": a limit written as people read it.
std::string grouped(long long value) {
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') out += ',';
        out += digits[i];
    }
    return out;
}

// The largest strip height whose tile stays within the pixel limit and within a surface's row.
int max_height() {
    int h = 1;
    while (static_cast<long long>(tile_width_for(h + 1)) * (h + 1) <= max_pixels &&
           tile_width_for(h + 1) <= widest_tile)
        ++h;
    return h;
}

const KeyRule* rule_of(std::string_view key) {
    for (const KeyRule& rule : rules)
        if (rule.name == key) return &rule;
    return nullptr;
}

std::string key_names() {
    std::string text;
    for (size_t i = 0; i < std::size(rules); ++i) {
        if (i > 0) text += i + 1 == std::size(rules) ? " and " : ", ";
        text += rules[i].name;
    }
    return text;
}

std::string versions_allowed() {
    std::string text = "this explore reads scenes of version";
    for (int v = oldest_version; v <= newest_version; ++v) {
        text += v == oldest_version ? " " : v == newest_version ? " and " : ", ";
        text += std::to_string(v);
    }
    return text;
}

std::optional<std::string> set_size(Scene& scene, std::string_view key, std::string_view value) {
    const int highest = max_height();
    const std::string allowed = "give WxH, W from 1 to " + grouped(max_width) + " and H from " +
                                std::to_string(min_height) + " to " + grouped(highest) +
                                " (the tile is about 3H x H), at most " + grouped(max_pixels) +
                                " pixels in all";
    const auto parts = pair_of(value, 'x');
    if (!parts) return refusal(key, value, allowed);
    const auto w = whole<int>(parts->first), h = whole<int>(parts->second);
    // The limit that decided, first: a size may keep every other one.
    std::string decided;
    if (w && (*w < 1 || *w > max_width))
        decided =
            "W " + std::to_string(*w) + " is beyond the width limit, " + grouped(max_width) + "; ";
    else if (h && *h < min_height)
        decided = "H " + std::to_string(*h) + " is below the height limit, " +
                  std::to_string(min_height) + "; ";
    else if (h && *h > highest)
        decided =
            "H " + std::to_string(*h) + " is beyond the height limit, " + grouped(highest) + "; ";
    else if (w && h && static_cast<long long>(*w) * *h > max_pixels)
        decided = std::to_string(*w) + "x" + std::to_string(*h) + " is " +
                  grouped(static_cast<long long>(*w) * *h) + " pixels, beyond the limit of " +
                  grouped(max_pixels) + "; ";
    if (!w || !h || !decided.empty()) return refusal(key, value, decided + allowed);
    scene.width = *w;
    scene.height = *h;
    return std::nullopt;
}

std::optional<std::string> set_window(double& from, double& to, std::string_view key,
                                      std::string_view value) {
    const std::string allowed = "give FROM:TO with 0 <= FROM < TO <= " + limit_text(two_pi) +
                                ", at least " + number_text(min_window) + " apart";
    const auto parts = pair_of(value, ':');
    if (!parts) return refusal(key, value, allowed);
    const auto a = read_double(parts->first), b = read_double(parts->second);
    if (!a || !b || !(*a >= 0 && *b <= two_pi && *b - *a >= min_window))
        return refusal(key, value, allowed);
    from = *a;
    to = *b;
    return std::nullopt;
}

std::string names_allowed(const KeyRule& rule) {
    std::string text = "one of";
    for (std::string_view name : rule.names) {
        text += " ";
        text += name;
        if (name != rule.names.back()) text += ",";
    }
    return text;
}

// A key that lines of older versions do not take: refused there unless it is its default.
std::string too_new(const KeyRule& rule, std::string_view value, int version) {
    return refusal(rule.name, value,
                   "lines of version " + std::to_string(version) + " do not take " +
                       std::string(rule.name) + "= (version " + std::to_string(rule.since) +
                       " does): give v=" + std::to_string(rule.since) + " or leave v= out");
}

std::optional<std::string> add_orbit(Scene& scene, std::string_view key, std::string_view value) {
    const std::string allowed = "give THETA,P, each from 0 to below " + limit_text(two_pi);
    const auto parts = pair_of(value, ',');
    if (!parts) return refusal(key, value, allowed);
    const auto theta = read_float(parts->first), p = read_float(parts->second);
    if (!theta || !p || !(*theta >= 0 && *theta < two_pi && *p >= 0 && *p < two_pi))
        return refusal(key, value, allowed);
    if (static_cast<int>(scene.orbits.size()) >= max_orbits)
        return refusal(key, value, "at most " + std::to_string(max_orbits) + " orbits");
    scene.orbits.push_back({*theta, *p});
    return std::nullopt;
}

} // namespace

std::string_view colouring_name(Colouring colouring) {
    return colouring_names[static_cast<int>(colouring)];
}

const GroupNames& names_of(Group group) {
    return group_names[static_cast<int>(group)];
}

std::string group_label(Group group) {
    const GroupNames& names = names_of(group);
    return std::string(names.short_name) + " (" + names.descriptive + ")";
}

std::span<const KeyRule> key_rules() {
    return rules;
}

std::string number_text(double value) {
    return shortest_text(value);
}

std::string number_text(float value) {
    return shortest_text(value);
}

std::optional<std::string> set_key(Scene& scene, std::string_view key, std::string_view value) {
    const KeyRule* rule = rule_of(key);
    if (!rule)
        return "unknown key " + quoted(key) + " (given " + quoted(value) + "): the keys are " +
               key_names();
    const auto limit = [rule](double value) {
        return rule->kind == KeyKind::whole ? std::to_string(static_cast<long long>(value))
                                            : limit_text(value);
    };
    const std::string range = "from " + limit(rule->low) + " to " + limit(rule->high);
    switch (rule->kind) {
    case KeyKind::version: {
        const auto version = whole<int>(value);
        if (!version || *version < oldest_version || *version > newest_version)
            return refusal(key, value, versions_allowed());
        for (const KeyRule& newer : rules)
            if (newer.since > *version &&
                key_value(scene, newer.name) != key_value(Scene{}, newer.name))
                return too_new(newer, key_value(scene, newer.name), *version);
        scene.version = *version;
        return std::nullopt;
    }
    case KeyKind::single: {
        const auto number = read_float(value);
        if (!number || !(*number >= rule->low && *number <= rule->high))
            return refusal(key, value, "give a decimal number " + range);
        scene.kick = *number;
        return std::nullopt;
    }
    case KeyKind::real: {
        const auto number = read_double(value);
        if (!number || !(*number >= rule->low && *number <= rule->high))
            return refusal(key, value, "give a number " + range);
        scene.step = *number;
        return std::nullopt;
    }
    case KeyKind::whole: {
        const auto number = whole<unsigned long long>(value);
        if (!number || *number < rule->low || *number > rule->high)
            return refusal(key, value, "give a whole number " + range);
        if (key == "palette") scene.palette = static_cast<unsigned>(*number);
        if (key == "length") scene.length = static_cast<int>(*number);
        if (key == "keep") scene.keep = static_cast<int>(*number);
        if (key == "tile") scene.tile = static_cast<int>(*number);
        return std::nullopt;
    }
    case KeyKind::group:
        for (int g = 0; g < group_count; ++g) {
            const GroupNames& names = group_names[g];
            if (same_name(value, names.short_name) || same_name(value, names.long_name) ||
                same_name(value, names.descriptive)) {
                scene.group = static_cast<Group>(g);
                return std::nullopt;
            }
        }
        return refusal(key, value, groups_allowed());
    case KeyKind::size:
        return set_size(scene, key, value);
    case KeyKind::window:
        return key == "theta" ? set_window(scene.theta_from, scene.theta_to, key, value)
                              : set_window(scene.p_from, scene.p_to, key, value);
    case KeyKind::point:
        return add_orbit(scene, key, value);
    case KeyKind::choice:
        for (std::size_t i = 0; i < rule->names.size(); ++i)
            if (same_name(value, rule->names[i])) {
                const auto chosen = static_cast<Colouring>(i);
                if (scene.version < rule->since && chosen != Scene{}.colour)
                    return too_new(*rule, value, scene.version);
                scene.colour = chosen;
                return std::nullopt;
            }
        return refusal(key, value, names_allowed(*rule));
    }
    return std::nullopt;
}

std::string key_value(const Scene& scene, std::string_view key) {
    if (key == "v") return std::to_string(scene.version);
    if (key == "kick") return number_text(scene.kick);
    if (key == "group") return names_of(scene.group).short_name;
    if (key == "palette") return std::to_string(scene.palette);
    if (key == "size") return std::to_string(scene.width) + "x" + std::to_string(scene.height);
    if (key == "theta") return number_text(scene.theta_from) + ":" + number_text(scene.theta_to);
    if (key == "p") return number_text(scene.p_from) + ":" + number_text(scene.p_to);
    if (key == "step") return number_text(scene.step);
    if (key == "length") return std::to_string(scene.length);
    if (key == "keep") return std::to_string(scene.keep);
    if (key == "tile") return std::to_string(scene.tile);
    if (key == "colour") return std::string(colouring_name(scene.colour));
    if (key == "orbit") {
        std::string text;
        for (const Start& start : scene.orbits) {
            if (!text.empty()) text += ' ';
            text += number_text(start.theta) + "," + number_text(start.p);
        }
        return text;
    }
    return "";
}

std::string print_scene(const Scene& scene) {
    std::string line;
    for (const KeyRule& rule : rules) {
        if (rule.since > scene.version) continue;
        if (rule.kind == KeyKind::point) {
            for (const Start& start : scene.orbits)
                line += " orbit=" + number_text(start.theta) + "," + number_text(start.p);
            continue;
        }
        if (!line.empty()) line += ' ';
        line += std::string(rule.name) + "=" + key_value(scene, rule.name);
    }
    return line;
}

std::optional<Scene> parse_scene(std::string_view line, std::string& error) {
    Scene scene;
    std::vector<std::string_view> seen;
    size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ' || line[at] == '\t') {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        const std::string_view pair = line.substr(at, end - at);
        at = end;
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            error = quoted(pair) + " is not a setting: write key=value, separated by spaces";
            return std::nullopt;
        }
        const std::string_view key = pair.substr(0, equals), value = pair.substr(equals + 1);
        if (key != "orbit") {
            for (std::string_view other : seen)
                if (other == key) {
                    error = std::string(key) + ": given twice (" + quoted(value) +
                            " the second time): give each key once (orbit= may repeat)";
                    return std::nullopt;
                }
            seen.push_back(key);
        }
        if (auto refused = set_key(scene, key, value)) {
            error = *refused;
            return std::nullopt;
        }
    }
    return scene;
}

} // namespace explore
