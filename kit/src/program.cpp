#include "kit/program.hpp"

#include "command_line.hpp"
#include "export.hpp"
#include "runs.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace kit {
namespace {

// The help or the version on standard output, which may be closed or full: a text that did not
// arrive is a failure, reported on standard error (status 1).
int print(const Program& program, const std::string& text, const char* what) {
    errno = 0;
    if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return 0;
    std::fprintf(stderr, "%s: cannot write the %s: %s\n", program.name, what,
                 errno ? std::strerror(errno) : "output error");
    return 1;
}

} // namespace

const char* caption(const Program& program, int slide) {
    const auto index = static_cast<size_t>(slide - 1);
    return index < program.captions.size() ? program.captions[index] : "";
}

int run(int argc, char** argv, const Program& program) {
    Options options;
    if (auto error = parse_options(argc, argv, program, options)) {
        std::fprintf(stderr, "%s: %s\n%s", program.name, error->c_str(), usage(program).c_str());
        return 2;
    }
    if (options.help) return print(program, help(program), "help");
    if (options.version) return print(program, version_line(program), "version");
    if (options.export_dir) return export_slides(program, *options.export_dir, options.seed);
    return run_in_window(program, options);
}

} // namespace kit
