// The names the desktop window saves its pictures under, found before anything is drawn: one
// look at what the folder holds, however many earlier saves it holds, instead of a try per name.
#pragma once

#include "scene.hpp"

#include <span>
#include <string>
#include <string_view>

namespace explore {

// "explore-GROUP-kick-K", and with `with_size` "-WxH" after it (a save at the window's size).
std::string save_stem(const Scene& scene, bool with_size);

// The first of STEM.png, STEM-2.png, STEM-3.png, ... that is not among `taken` (the names a
// folder holds, in any order, any others among them).
std::string free_save_name(std::string_view stem, std::span<const std::string> taken);

} // namespace explore
