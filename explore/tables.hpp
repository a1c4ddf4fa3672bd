// The table of a scene's orbits as a file (explore --orbits FILE.csv).
#pragma once

#include "scene.hpp"

#include <string>

namespace explore {

// Writes orbit_table(scene) to `path`, safely (a temporary file of its own renamed into place)
// and says so on standard output; returns the exit status, 1 with a message on failure.
int write_orbit_table(const Scene& scene, const std::string& path, int threads);

} // namespace explore
