// The engine's answers as JSON, for the page: the rulebook, read once at start, and a scene as a
// record after every change. The page builds and checks its controls from these and restates no
// limit or rule of its own.
#pragma once

#include "editor.hpp"
#include "scene.hpp"

#include <optional>
#include <string>

namespace explore {

// {"version": newest, "versions": [...], "keys": [{"name", "kind", "default", "low", "high",
// "about", "since" (the first version taking the key), "names" (a choice's)}], "groups": [{"short",
// "long", "descriptive", "label", "parts"}], "limits": {...}}
std::string describe_rules();

// {"line", "version", "values": {key: text}, "orbits": [[theta, p]...], "group": {...},
// "tile": {"width", "height"}, "parts", "kept": {"left", "top", "width", "height"}, "axes":
// {"theta": [{"at", "label", "end"}], "p": [...]}, "undo", "redo", "facts" (the words on the last
// planted orbit, or null), "legend" ({"title", "colours": ["#rrggbb", ...], "marks": [{"at",
// "label", "boundary"}]}, or null for colour=start), "refusal"}: the scene and what the page lays
// out by; `refusal` is the last change's refusal, or null.
std::string scene_record(const Editor& editor, const std::optional<std::string>& refusal = {});

// A text as a JSON string, quotes included.
std::string json_string(std::string_view text);

} // namespace explore
