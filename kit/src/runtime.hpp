// How the current run presents its slides; shared by the canvas and the runner.
#pragma once

#include "kit/program.hpp"

#include <atomic>
#include <stdexcept>

namespace kit {

enum class Mode { window, headless };

struct Runtime {
    Mode mode = Mode::headless;
    SlideObserver on_slide;
    std::atomic<int> slides_shown{0};
};

extern Runtime runtime;

// A failure that ends the program with a message and exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace kit
