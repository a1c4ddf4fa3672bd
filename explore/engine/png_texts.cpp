#include "png_texts.hpp"

#include "kit/version.hpp"

namespace explore {

std::vector<kit::PngText> picture_texts(const Scene& scene) {
    return {
        {.keyword = "Software", .text = std::string(program_name) + " " + kit::project_version()},
        {.keyword = "Program", .text = program_name},
        {.keyword = scene_keyword, .text = print_scene(scene)}};
}

} // namespace explore
