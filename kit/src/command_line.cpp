#include "command_line.hpp"

#include "kit/version.hpp"

#include <cstdio>
#include <string_view>
#include <vector>

namespace kit {

std::optional<std::string> parse_options(int argc, char** argv, const Program& program,
                                         Options& options) {
    bool scale_given = false;
    // The last option given that only means something for a window.
    std::string_view window_option;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        auto take = [&](std::string_view option) {
            return take_option(argc, argv, i, option, value);
        };
        Match match;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--fullscreen") {
            options.fullscreen = true;
            window_option = arg;
        } else if ((match = take("--export")) != Match::no) {
            if (match == Match::missing_value || value.empty())
                return std::string("--export needs a folder: --export DIR");
            options.export_dir = std::string(value);
        } else if ((match = take("--seed")) != Match::no) {
            if (match == Match::missing_value)
                return std::string("--seed needs a number: --seed N");
            if (!program.uses_palette)
                return std::string("--seed would change nothing: the colours are fixed");
            options.seed = parse_number(value, 0, 0xffffffffU);
            if (!options.seed)
                return "bad seed '" + shown(value) + "': give a whole number from 0 to 4294967295";
        } else if ((match = take("--scale")) != Match::no) {
            if (match == Match::missing_value)
                return std::string("--scale needs a number: --scale N");
            const auto scale = parse_number(value, 1, max_scale);
            if (!scale)
                return "bad scale '" + shown(value) + "': give a whole number from 1 to " +
                       std::to_string(max_scale);
            options.scale = static_cast<int>(*scale);
            scale_given = true;
            window_option = "--scale";
        } else if ((match = take("--start")) != Match::no) {
            if (match == Match::missing_value)
                return std::string("--start needs a slide number: --start N");
            const auto start = parse_number(value, 1, static_cast<unsigned>(program.slide_count));
            if (!start)
                return "bad slide '" + shown(value) + "' for --start: " +
                       (program.slide_count == 1
                            ? std::string("there is only slide 1")
                            : "give a number from 1 to " + std::to_string(program.slide_count));
            options.start = static_cast<int>(*start);
            window_option = "--start";
        } else {
            return "unknown option " + shown(arg);
        }
    }
    if (scale_given && options.fullscreen)
        return std::string("--scale and --fullscreen exclude each other: choose one");
    if (options.export_dir && !window_option.empty())
        return std::string(window_option) +
               " is for the window: --export writes every slide, at 800x600, without one";
    return std::nullopt;
}

std::string usage(const Program& program) {
    const std::string name = program.name;
    const std::string count = std::to_string(program.slide_count);
    const bool several = program.slide_count > 1;
    const std::string seed = program.uses_palette ? " [--seed N]" : "";
    std::string text = "usage: " + name + " [--scale N | --fullscreen]" +
                       (several ? " [--start N]" : "") + seed + "\n       " + name +
                       " --export DIR" + seed + "\n";
    text += several ? "Shows " + name + "'s " + count +
                          " slides in an 800x600 window. The keys:\n"
                          "  Right, PageDown, Space, Enter, any key not named here, or closing "
                          "the window:\n"
                          "  the next slide (after the last one the program ends). Left, "
                          "PageUp, Backspace:\n"
                          "  the previous slide. Home: the first. End: the last. Esc or q: "
                          "quit.\n"
                    : "Shows " + name +
                          "'s picture in an 800x600 window. Right, PageDown, Space,\n"
                          "Enter, Esc, q, most other keys, or closing the window end the "
                          "program; Left,\n"
                          "PageUp, Backspace, Home and End (which move between slides) do "
                          "nothing.\n";
    text += "  i: the slide number and caption below the picture in full screen, or not (a\n"
            "  window's title names them). b or .: a black screen, w or ,: a white one, until\n"
            "  the next key, which only brings the slide back.\n"
            "  Shift, Ctrl, Alt, Super or Caps Lock alone, keys pressed with Ctrl, Alt or\n"
            "  Super held, and F5 or Shift+F5 (a remote's \"start the show\") do nothing.\n"
            "  --scale N      a window N times as large (N = 1 to " +
            std::to_string(max_scale) +
            "), each pixel an NxN block\n"
            "  --fullscreen   the picture as large as the screen allows, with sharp pixels and\n"
            "                 black bars where the screen is wider or taller\n";
    if (several)
        text += "  --start N      begin at slide N (1 to " + count +
                "); the slides before it are drawn unseen\n";
    if (program.uses_palette)
        text +=
            program.seeds_from_clock
                ? "  --seed N       draw the random colours from seed N (0 to 4294967295); "
                  "without\n"
                  "                 it the clock picks the seed, shown in the window title and\n"
                  "                 by --export\n"
                : "  --seed N       draw other random colours, from seed N (0 to 4294967295);\n"
                  "                 without it they are the same on every run\n";
    text +=
        several
            ? "  --export DIR   no window: save each slide as DIR/slide-01.png, slide-02.png, ...\n"
            : "  --export DIR   no window: save the picture as DIR/slide-01.png\n";
    text += "                 (800x600; DIR and its parents are created if missing)\n"
            "  --version      show the version\n"
            "  --help         show this help\n";
    return text;
}

std::string help(const Program& program) {
    std::string text = usage(program);
    if (program.captions.empty()) return text;
    text += program.slide_count > 1 ? "The slides:\n" : "The picture:\n";
    for (int slide = 1; slide <= program.slide_count; ++slide) {
        const std::string number = std::to_string(slide);
        text +=
            std::string(4 - number.size(), ' ') + number + "  " + caption(program, slide) + "\n";
    }
    return text;
}

std::string version_line(const Program& program) {
    return std::string(program.name) + " " + project_version() + "\n";
}

} // namespace kit
