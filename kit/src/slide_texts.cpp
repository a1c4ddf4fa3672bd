#include "slide_texts.hpp"

#include "kit/version.hpp"

namespace kit {

std::vector<PngText> slide_texts(const Program& program, int slide, std::optional<unsigned> seed) {
    std::vector<PngText> texts{
        {.keyword = "Software", .text = std::string(program.name) + " " + project_version()},
        {.keyword = "Program", .text = program.name},
        {.keyword = "Slide", .text = std::to_string(slide)},
        {.keyword = "Description", .text = caption(program, slide)},
    };
    if (seed) texts.push_back({.keyword = "Seed", .text = std::to_string(*seed)});
    return texts;
}

} // namespace kit
