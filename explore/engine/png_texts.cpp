#include "png_texts.hpp"

#include "kit/version.hpp"

namespace explore {

std::vector<kit::PngText> picture_texts(const Scene& scene) {
    return {
        {.keyword = "Software", .text = std::string(program_name) + " " + kit::project_version()},
        {.keyword = "Program", .text = program_name},
        {.keyword = scene_keyword, .text = print_scene(scene)}};
}

std::optional<Scene> scene_of_texts(std::span<const kit::PngText> texts, const std::string& picture,
                                    std::string& error) {
    const kit::PngText* found = nullptr;
    for (const kit::PngText& chunk : texts) {
        if (chunk.keyword != scene_keyword) continue;
        if (found) {
            error = picture + " holds more than one " + scene_keyword +
                    " text chunk, so which scene it shows is unclear: give the one you mean "
                    "with --scene";
            return std::nullopt;
        }
        found = &chunk;
    }
    if (!found) {
        error = picture + " holds no scene: only pictures explore wrote do";
        return std::nullopt;
    }
    if (found->text.find('\0') != std::string::npos) {
        error = "the scene in " + picture +
                " holds a NUL byte, which no PNG text may: the file is damaged";
        return std::nullopt;
    }
    std::string refused;
    auto scene = parse_scene(found->text, refused);
    if (!scene) error = "the scene in " + picture + ": " + refused;
    return scene;
}

} // namespace explore
