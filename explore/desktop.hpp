// explore on the desktop: its command line and files (commands.cpp) and its window (window.cpp),
// around the engine (engine/).
#pragma once

#include "kit/window.hpp"
#include "picture.hpp"
#include "scene.hpp"

#include <cstdio>
#include <optional>
#include <string>

namespace explore {

// explore's whole main; returns the exit status (0 done, 1 failure, 2 bad command line).
int run_explore(int argc, char** argv);

// The scene line a PNG of explore carries, or the reason there is none.
std::optional<Scene> scene_from_png(const std::string& path, std::string& error);

// The window from `scene` on (with `tour`, the scene in each group, a key for the next), each
// picture drawn as `drawing` says; returns the exit status.
int run_window(const Scene& scene, const kit::platform::WindowSettings& settings, bool tour,
               Drawing drawing);

// The window's keys and gestures, for --help: "In the window:" and a line for each.
std::string window_keys_text();

// "explore: MESSAGE" on standard error; returns `status`.
inline int complain(int status, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program_name, message.c_str());
    return status;
}

} // namespace explore
