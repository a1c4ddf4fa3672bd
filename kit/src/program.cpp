#include "kit/program.hpp"

#include "command_line.hpp"
#include "platform.hpp"
#include "runs.hpp"

#include <cstdio>

namespace kit {

int run(int argc, char** argv, const Program& program) {
    Options options;
    if (auto error = parse_options(argc, argv, program, options)) {
        std::fprintf(stderr, "%s: %s\n%s", program.name, error->c_str(), usage(program).c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usage(program).c_str(), stdout);
        return 0;
    }
    if (options.export_dir)
        return platform::export_slides(program, *options.export_dir, options.seed);
    return run_in_window(program, options);
}

} // namespace kit
