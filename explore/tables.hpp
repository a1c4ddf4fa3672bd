// The table of a scene's orbits as a file (explore --orbits FILE.csv).
#pragma once

#include "scene.hpp"

#include <string>

namespace explore {

// Writes orbit_table(scene) to `path` as --export writes a picture (checked first; a file under a
// temporary name renamed into place; "-", a device or a FIFO as a stream) and says so; returns
// the exit status, 1 with a message on failure.
int write_orbit_table(const Scene& scene, const std::string& path, int threads);

} // namespace explore
