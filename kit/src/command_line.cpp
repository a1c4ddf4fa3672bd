#include "command_line.hpp"

#include <string_view>

namespace kit {
namespace {

bool parse_seed(std::string_view text, unsigned& seed) {
    if (text.empty() || text.size() > 10) return false;
    unsigned long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 0xffffffffULL) return false;
    seed = static_cast<unsigned>(value);
    return true;
}

} // namespace

std::optional<std::string> parse_options(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        // Both "--name value" and "--name=value".
        auto value_of = [&](std::string_view name, std::string_view& value) -> bool {
            if (arg == name) {
                if (i + 1 >= argc) return false;
                value = argv[++i];
                return true;
            }
            if (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                arg[name.size()] == '=') {
                value = arg.substr(name.size() + 1);
                return true;
            }
            return false;
        };
        std::string_view value;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg.substr(0, 8) == "--export") {
            if (!value_of("--export", value)) {
                if (arg == "--export") return std::string("--export needs a folder: --export DIR");
                return "unknown option " + std::string(arg);
            }
            if (value.empty()) return std::string("--export needs a folder: --export DIR");
            options.export_dir = std::string(value);
        } else if (arg.substr(0, 6) == "--seed") {
            if (!value_of("--seed", value)) {
                if (arg == "--seed") return std::string("--seed needs a number: --seed N");
                return "unknown option " + std::string(arg);
            }
            unsigned seed = 0;
            if (!parse_seed(value, seed))
                return "bad seed '" + std::string(value) +
                       "': give a whole number from 0 to 4294967295";
            options.seed = seed;
        } else {
            return "unknown option " + std::string(arg);
        }
    }
    return std::nullopt;
}

std::string usage(const Program& program) {
    const std::string name = program.name;
    return "usage: " + name + " [--export DIR] [--seed N] [--version]\n" + "Shows " + name + "'s " +
           std::to_string(program.slide_count) + (program.slide_count == 1 ? " slide" : " slides") +
           " in an 800x600 window: any key, or closing the window, advances one slide.\n"
           "  --export DIR  no window: save each slide as DIR/slide-01.png, slide-02.png, ...\n"
           "                (DIR and its parents are created if missing)\n"
           "  --seed N      seed the random colours with N (0 to 4294967295), so that the\n"
           "                palette is the same on every run with the same N\n"
           "  --version     show the version\n"
           "  --help        show this help\n";
}

std::string version_line(const Program& program) {
    return std::string(program.name) + " " + FIGURES_VERSION + "\n";
}

} // namespace kit
