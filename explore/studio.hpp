// The studio program: its command line, its exports and its window.
#pragma once

#include "scene.hpp"

#include "png.hpp"

#include <SDL.h>

#include <optional>
#include <string>
#include <vector>

namespace explore {

// The strip of a scene at the scene's size, in the screen's pixel format (a screen must be
// installed). Returns null when the memory for it cannot be had.
SDL_Surface* render_strip(const Scene& scene);

// The text chunks every studio PNG carries: the program and its version, and the scene line.
std::vector<kit::PngText> scene_texts(const Scene& scene);

// The scene line a studio PNG carries, or the reason there is none.
std::optional<Scene> scene_from_png(const std::string& path, std::string& error);

// explore's whole main; returns the exit status (0 done, 1 failure, 2 bad command line).
int run_studio(int argc, char** argv);

} // namespace explore
