#include "record.hpp"

#include "axes.hpp"
#include "dynamics.hpp"
#include "picture.hpp"

#include <cstdio>

namespace explore {
namespace {

const char* kind_name(KeyKind kind) {
    switch (kind) {
    case KeyKind::version:
        return "version";
    case KeyKind::single:
        return "single";
    case KeyKind::real:
        return "real";
    case KeyKind::whole:
        return "whole";
    case KeyKind::group:
        return "group";
    case KeyKind::size:
        return "size";
    case KeyKind::window:
        return "window";
    case KeyKind::point:
        return "point";
    case KeyKind::choice:
        return "choice";
    }
    return "";
}

// A number as JSON reads it back: the scene's shortest decimal form, which JSON's grammar takes
// ("1e-06" included).
std::string json_number(double value) {
    return number_text(value);
}

std::string ticks_json(const std::vector<Tick>& ticks) {
    std::string out = "[";
    for (const Tick& tick : ticks)
        out += std::string(out.size() > 1 ? "," : "") + "{\"at\":" + json_number(tick.at) +
               ",\"label\":" + json_string(tick.label) +
               ",\"end\":" + (tick.end ? "true" : "false") + "}";
    return out + "]";
}

// {"title", "colours": ["#rrggbb", ...], "marks": [{"at", "label"}]}, or null.
std::string legend_json(const Scene& scene) {
    const auto legend = colour_legend(scene);
    if (!legend) return "null";
    std::string out = "{\"title\":" + json_string(legend->title) + ",\"colours\":[";
    for (std::size_t i = 0; i < legend->colours.size(); ++i) {
        const kit::Rgb c = legend->colours[i];
        char hex[16];
        std::snprintf(hex, sizeof hex, "\"#%02x%02x%02x\"", c.r, c.g, c.b);
        out += std::string(i == 0 ? "" : ",") + hex;
    }
    out += "],\"marks\":[";
    for (std::size_t i = 0; i < legend->marks.size(); ++i)
        out += std::string(i == 0 ? "" : ",") + "{\"at\":" + json_number(legend->marks[i].at) +
               ",\"label\":" + json_string(legend->marks[i].label) +
               ",\"boundary\":" + (legend->marks[i].boundary ? "true" : "false") + "}";
    return out + "]}";
}

} // namespace

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string describe_rules() {
    const Scene defaults;
    std::string out = "{\"program\":" + json_string(program_name) +
                      ",\"version\":" + std::to_string(newest_version) + ",\"versions\":[";
    for (int v = oldest_version; v <= newest_version; ++v) {
        if (v != oldest_version) out += ',';
        out += std::to_string(v);
    }
    out += "],\"keys\":[";
    bool first = true;
    for (const KeyRule& rule : key_rules()) {
        if (!first) out += ',';
        first = false;
        out += "{\"name\":" + json_string(rule.name) +
               ",\"kind\":" + json_string(kind_name(rule.kind)) +
               ",\"default\":" + json_string(key_value(defaults, rule.name)) +
               ",\"low\":" + json_number(rule.low) + ",\"high\":" + json_number(rule.high) +
               ",\"about\":" + json_string(rule.about) + ",\"since\":" + std::to_string(rule.since);
        if (!rule.names.empty()) {
            out += ",\"names\":[";
            for (std::size_t i = 0; i < rule.names.size(); ++i)
                out += std::string(i == 0 ? "" : ",") + json_string(rule.names[i]);
            out += "]";
        }
        out += "}";
    }
    out += "],\"groups\":[";
    for (int g = 0; g < group_count; ++g) {
        const GroupNames& names = names_of(static_cast<Group>(g));
        out += std::string(g == 0 ? "" : ",") + "{\"short\":" + json_string(names.short_name) +
               ",\"long\":" + json_string(names.long_name) +
               ",\"descriptive\":" + json_string(names.descriptive) +
               ",\"label\":" + json_string(group_label(static_cast<Group>(g))) +
               ",\"parts\":" + std::to_string(part_count(static_cast<Group>(g))) + "}";
    }
    out += "],\"limits\":{\"max_width\":" + std::to_string(max_width) +
           ",\"min_height\":" + std::to_string(min_height) +
           ",\"max_pixels\":" + std::to_string(max_pixels) +
           ",\"max_orbits\":" + std::to_string(max_orbits) +
           ",\"min_window\":" + json_number(min_window) +
           ",\"widest_tile\":" + std::to_string(widest_tile) +
           ",\"history\":" + std::to_string(history_limit) + "}}";
    return out;
}

std::string scene_record(const Editor& editor, const std::optional<std::string>& refusal) {
    const Scene& scene = editor.scene();
    const int width = tile_width_for(scene.height);
    const Rect kept = kept_part(scene.group, scene.keep, width, scene.height);
    std::string out = "{\"line\":" + json_string(print_scene(scene)) +
                      ",\"version\":" + std::to_string(scene.version) + ",\"values\":{";
    bool first = true;
    for (const KeyRule& rule : key_rules()) {
        if (rule.kind == KeyKind::point) continue;
        out += std::string(first ? "" : ",") + json_string(rule.name) + ":" +
               json_string(key_value(scene, rule.name));
        first = false;
    }
    out += "},\"orbits\":[";
    for (size_t i = 0; i < scene.orbits.size(); ++i)
        out += std::string(i == 0 ? "" : ",") + "[" + number_text(scene.orbits[i].theta) + "," +
               number_text(scene.orbits[i].p) + "]";
    const GroupNames& names = names_of(scene.group);
    out += "],\"group\":{\"short\":" + json_string(names.short_name) +
           ",\"long\":" + json_string(names.long_name) +
           ",\"label\":" + json_string(group_label(scene.group)) + "}";
    out += ",\"tile\":{\"width\":" + std::to_string(width) +
           ",\"height\":" + std::to_string(scene.height) + "}";
    out += ",\"parts\":" + std::to_string(part_count(scene.group));
    out += ",\"kept\":{\"left\":" + std::to_string(kept.left) +
           ",\"top\":" + std::to_string(kept.top) + ",\"width\":" + std::to_string(kept.width) +
           ",\"height\":" + std::to_string(kept.height) + "}";
    out += ",\"axes\":{\"theta\":" + ticks_json(theta_ticks(scene)) +
           ",\"p\":" + ticks_json(p_ticks(scene)) + "}";
    out += std::string(",\"undo\":") + (editor.can_undo() ? "true" : "false");
    out += std::string(",\"redo\":") + (editor.can_redo() ? "true" : "false");
    const auto facts = last_orbit_report(scene);
    out += ",\"facts\":" + (facts ? json_string(orbit_words(scene, *facts)) : std::string("null"));
    out += ",\"legend\":" + legend_json(scene);
    out += ",\"refusal\":" + (refusal ? json_string(*refusal) : std::string("null")) + "}";
    return out;
}

} // namespace explore
