// What every PNG of explore says about itself, on the desktop and in the page alike: the program
// and its version, and the scene line, so that the picture can be made again from the file alone.
#pragma once

#include "scene.hpp"

#include "kit/png.hpp"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace explore {

// The keyword of the text chunk that carries a picture's scene line.
inline constexpr const char* scene_keyword = "Scene";

std::vector<kit::PngText> picture_texts(const Scene& scene);

// The scene a picture's text chunks hold, or the reason there is none, naming the picture as
// `picture` (for a file: its name, shown safely): none, two Scene chunks (which one is meant is
// unclear), a NUL in the scene (no PNG text may hold one: the file is damaged), or a refused line.
std::optional<Scene> scene_of_texts(std::span<const kit::PngText> texts, const std::string& picture,
                                    std::string& error);

} // namespace explore
