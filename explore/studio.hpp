// The studio program: its command line, its exports and its window.
#pragma once

#include "picture.hpp"
#include "scene.hpp"

#include "png.hpp"

#include <SDL.h>

#include <optional>
#include <string>
#include <vector>

namespace explore {

// A strip: pixels in the screen's format, row by row.
struct Strip {
    std::vector<Uint32> pixels;
    int width = 0, height = 0;
    // As the PNG writer takes it.
    kit::PixelImage image() const;
};

// The strip of a scene at the scene's size (a screen must be installed, for its pixel format).
// Nothing when the memory for it cannot be had.
std::optional<Strip> render_strip(const Scene& scene);

// The scene line a studio PNG carries, or the reason there is none.
std::optional<Scene> scene_from_png(const std::string& path, std::string& error);

// explore's whole main; returns the exit status (0 done, 1 failure, 2 bad command line).
int run_studio(int argc, char** argv);

} // namespace explore
