// What explore's engine tests share: a scene from its line (the line's refusal failing the
// test), and a portrait as the page's workers draw it, split into shares and merged.
#pragma once

#include "picture.hpp"
#include "scene.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace test {

inline explore::Scene scene_of(const std::string& line) {
    std::string error;
    const auto scene = explore::parse_scene(line, error);
    EXPECT_TRUE(scene) << line << ": " << error;
    return scene.value_or(explore::Scene{});
}

// A picture's pixels as an image of the kit's, to draw into.
inline kit::Image image_of(Picture& picture) {
    return {picture.pixels.data(), picture.w, picture.h, static_cast<size_t>(picture.w),
            kit::xrgb_layout};
}

// The scene's portrait (a tile at its height) split into `parts` shares, each marked apart as a
// worker marks it, and merged.
inline Picture split_portrait_of(const explore::Scene& scene, int parts) {
    const int width = explore::tile_width_for(scene.height), height = scene.height;
    const explore::Colours colours = explore::scene_colours(scene, kit::xrgb_layout);
    std::vector<Picture> last(parts, {width, height, std::vector<Uint32>(width * height)});
    std::vector<std::vector<Uint32>> mark_colours(
        parts, std::vector<Uint32>(explore::portrait_marks(scene)));
    std::vector<kit::Marks> marks;
    for (int part = 0; part < parts; ++part) {
        marks.push_back({.last = image_of(last[part]), .colours = mark_colours[part]});
        explore::mark_portrait(scene, colours, {.part = part, .parts = parts}, marks.back());
    }
    Picture merged{width, height, std::vector<Uint32>(width * height)};
    explore::merge_portrait(scene, colours, marks, image_of(merged));
    return merged;
}

} // namespace test
