// The project's version, set once (the project() line of the top CMakeLists.txt), for every
// program's --version and the Software chunk of every picture it saves.
#pragma once

namespace kit {

// "1.0.0"
const char* project_version();

} // namespace kit
