// What explore's engine tests share: a scene from its line, the line's refusal failing the test.
#pragma once

#include "scene.hpp"

#include <gtest/gtest.h>

#include <string>

namespace test {

inline explore::Scene scene_of(const std::string& line) {
    std::string error;
    const auto scene = explore::parse_scene(line, error);
    EXPECT_TRUE(scene) << line << ": " << error;
    return scene.value_or(explore::Scene{});
}

} // namespace test
