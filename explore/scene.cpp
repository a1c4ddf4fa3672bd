#include "scene.hpp"

#include "command_line.hpp"
#include "decimal.hpp"
#include "picture.hpp"

#include <charconv>
#include <cmath>

namespace explore {
namespace {

constexpr double two_pi = 6.283185307179586;

constexpr std::array<GroupNames, group_count> group_names{{
    {"p1", "p111", "hop"},
    {"p11g", "p11g", "step"},
    {"p1m1", "p1m1", "sidle"},
    {"p2", "p211", "spinning-hop"},
    {"p2mg", "p2mg", "spinning-sidle"},
    {"p11m", "p11m", "jump"},
    {"p2mm", "p2mm", "spinning-jump"},
}};

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

// The whole text as a number of type T, or nothing (no sign '+', no spaces, nothing left over).
template <typename T> std::optional<T> number(std::string_view text) {
    if constexpr (std::is_same_v<T, double>) {
        return read_double(text);
    } else if constexpr (std::is_same_v<T, float>) {
        return read_float(text);
    } else {
        T value{};
        const char* end = text.data() + text.size();
        const auto result = std::from_chars(text.data(), end, value);
        if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
        return value;
    }
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

// The largest strip height whose tile stays within the pixel limit and within a surface's row.
int max_height() {
    int h = 1;
    while (static_cast<long long>(tile_width_for(h + 1)) * (h + 1) <= max_pixels &&
           tile_width_for(h + 1) <= widest_surface)
        ++h;
    return h;
}

std::optional<std::string> set_window(double& from, double& to, std::string_view key,
                                      std::string_view value) {
    const std::string allowed = "give FROM:TO with 0 <= FROM < TO <= 6.283185307179586 (2 pi), at "
                                "least " +
                                number_text(min_window) + " apart";
    const auto parts = pair_of(value, ':');
    if (!parts) return refusal(key, value, allowed);
    const auto a = number<double>(parts->first), b = number<double>(parts->second);
    if (!a || !b || !(*a >= 0 && *b <= two_pi && *b - *a >= min_window))
        return refusal(key, value, allowed);
    from = *a;
    to = *b;
    return std::nullopt;
}

} // namespace

const GroupNames& names_of(Group group) {
    return group_names[static_cast<int>(group)];
}

std::string group_label(Group group) {
    const GroupNames& names = names_of(group);
    return std::string(names.short_name) + " (" + names.descriptive + ")";
}

std::string number_text(double value) {
    return shortest_text(value);
}

std::string number_text(float value) {
    return shortest_text(value);
}

std::optional<std::string> set_key(Scene& scene, std::string_view key, std::string_view value) {
    if (key == "v") {
        if (number<int>(value) != scene_version)
            return refusal(key, value,
                           "this explore reads scenes of version " + std::to_string(scene_version) +
                               " (v=" + std::to_string(scene_version) + ")");
    } else if (key == "kick") {
        const auto kick = number<float>(value);
        if (!kick || !(std::fabs(*kick) <= kick_limit))
            return refusal(key, value, "give a decimal number from -10 to 10");
        scene.kick = *kick;
    } else if (key == "group") {
        for (int g = 0; g < group_count; ++g) {
            const GroupNames& names = group_names[g];
            if (same_name(value, names.short_name) || same_name(value, names.long_name) ||
                same_name(value, names.descriptive)) {
                scene.group = static_cast<Group>(g);
                return std::nullopt;
            }
        }
        return refusal(key, value, groups_allowed());
    } else if (key == "palette") {
        const auto seed = number<unsigned>(value);
        if (!seed) return refusal(key, value, "give a whole number from 0 to 4294967295");
        scene.palette = *seed;
    } else if (key == "size") {
        const int highest = max_height();
        const std::string allowed = "give WxH, W from 1 and H from " + std::to_string(min_height) +
                                    " to " + std::to_string(highest) +
                                    " (the tile is about 3H x H), at most " +
                                    std::to_string(max_pixels) + " pixels in all";
        const auto parts = pair_of(value, 'x');
        if (!parts) return refusal(key, value, allowed);
        const auto w = number<int>(parts->first), h = number<int>(parts->second);
        if (!w || !h || *w < 1 || *w > max_width || *h < min_height || *h > highest ||
            static_cast<long long>(*w) * *h > max_pixels)
            return refusal(key, value, allowed);
        scene.width = *w;
        scene.height = *h;
    } else if (key == "theta") {
        return set_window(scene.theta_from, scene.theta_to, key, value);
    } else if (key == "p") {
        return set_window(scene.p_from, scene.p_to, key, value);
    } else if (key == "step") {
        const auto step = number<double>(value);
        if (!step || !(*step >= min_step && *step <= two_pi))
            return refusal(key, value,
                           "give a number from " + number_text(min_step) +
                               " to 6.283185307179586 (2 pi)");
        scene.step = *step;
    } else if (key == "length") {
        const auto length = number<int>(value);
        if (!length || *length < 1 || *length > max_length)
            return refusal(key, value,
                           "give a whole number from 1 to " + std::to_string(max_length));
        scene.length = *length;
    } else if (key == "orbit") {
        const std::string allowed = "give THETA,P, each from 0 to below 6.283185307179586 (2 pi)";
        const auto parts = pair_of(value, ',');
        if (!parts) return refusal(key, value, allowed);
        const auto theta = number<float>(parts->first), p = number<float>(parts->second);
        if (!theta || !p || !(*theta >= 0 && *theta < two_pi && *p >= 0 && *p < two_pi))
            return refusal(key, value, allowed);
        if (static_cast<int>(scene.orbits.size()) >= max_orbits)
            return refusal(key, value, "at most " + std::to_string(max_orbits) + " orbits");
        scene.orbits.push_back({*theta, *p});
    } else if (key == "keep") {
        const auto keep = number<int>(value);
        if (!keep || *keep < 0 || *keep > 3)
            return refusal(key, value,
                           "give 0, 1, 2 or 3: which part of the tile is kept (counted modulo "
                           "the group's parts)");
        scene.keep = *keep;
    } else if (key == "tile") {
        const auto tile = number<int>(value);
        if (!tile || *tile < min_tile || *tile > max_tile)
            return refusal(key, value,
                           "give the tile's height in the window, " + std::to_string(min_tile) +
                               " to " + std::to_string(max_tile) + " pixels");
        scene.tile = *tile;
    } else {
        return "unknown key " + quoted(key) + " (given " + quoted(value) +
               "): the keys are v, kick, group, palette, size, theta, p, step, length, orbit, "
               "keep and tile";
    }
    return std::nullopt;
}

std::string print_scene(const Scene& scene) {
    std::string line = "v=" + std::to_string(scene_version);
    line += " kick=" + number_text(scene.kick);
    line += std::string(" group=") + names_of(scene.group).short_name;
    line += " palette=" + std::to_string(scene.palette);
    line += " size=" + std::to_string(scene.width) + "x" + std::to_string(scene.height);
    line += " theta=" + number_text(scene.theta_from) + ":" + number_text(scene.theta_to);
    line += " p=" + number_text(scene.p_from) + ":" + number_text(scene.p_to);
    line += " step=" + number_text(scene.step);
    line += " length=" + std::to_string(scene.length);
    line += " keep=" + std::to_string(scene.keep);
    line += " tile=" + std::to_string(scene.tile);
    for (const Start& start : scene.orbits)
        line += " orbit=" + number_text(start.theta) + "," + number_text(start.p);
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

std::vector<kit::PngText> scene_texts(const Scene& scene) {
    return {{.keyword = "Software", .text = std::string(program_name) + " " + FIGURES_VERSION},
            {.keyword = "Program", .text = program_name},
            {.keyword = scene_keyword, .text = print_scene(scene)}};
}

} // namespace explore
