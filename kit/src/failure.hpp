// A failure that ends the program with a message and exit status 1.
#pragma once

#include <stdexcept>

namespace kit {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace kit
