#include "kit/version.hpp"

namespace kit {

const char* project_version() {
    return FIGURES_VERSION;
}

} // namespace kit
