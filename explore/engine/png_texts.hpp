// What every PNG of explore says about itself, on the desktop and in the page alike: the program
// and its version, and the scene line, so that the picture can be made again from the file alone.
#pragma once

#include "scene.hpp"

#include "kit/png.hpp"

#include <vector>

namespace explore {

// The keyword of the text chunk that carries a picture's scene line.
inline constexpr const char* scene_keyword = "Scene";

std::vector<kit::PngText> picture_texts(const Scene& scene);

} // namespace explore
