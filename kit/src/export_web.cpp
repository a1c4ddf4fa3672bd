// The browser build has no files to export slides to.
#include "export.hpp"

#include <cstdio>

namespace kit {

int export_slides(const Program& program, const std::string&, std::optional<unsigned>) {
    std::fprintf(stderr,
                 "%s: the browser build saves no images; export the slides with the "
                 "desktop program\n",
                 program.name);
    return 2;
}

} // namespace kit
