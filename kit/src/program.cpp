#include "kit/program.hpp"

#include "kit/canvas.hpp"
#include "kit/png.hpp"
#include "kit/random.hpp"
#include "platform.hpp"
#include "runtime.hpp"

#include <SDL.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <unistd.h>

namespace kit {

Runtime runtime;

namespace {

void seed_random(const Program& program, std::optional<unsigned> seed) {
    if (seed)
        seed_rand(*seed);
    else if (program.seeds_from_clock)
        seed_rand(static_cast<unsigned>(std::time(nullptr)));
    else
        // The state of a generator nobody seeded: a second run in the same process (tests,
        // benchmarks) then draws the same palette as a fresh process does.
        seed_rand(1);
}

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

// Makes the export folder (and its parents) and proves that a file can be created in it, so
// that a bad folder is reported before any drawing rather than after the first slide.
std::optional<std::string> prepare_export_dir(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) return "cannot create export folder " + dir + ": " + error.message();
    if (!std::filesystem::is_directory(dir, error))
        return "cannot use export folder " + dir + ": not a folder";
    std::string probe = dir + "/.figures-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) return "cannot write to export folder " + dir + ": " + std::strerror(errno);
    close(fd);
    std::remove(probe.c_str());
    return std::nullopt;
}

std::string slide_path(const std::string& dir, int slide) {
    char name[32];
    std::snprintf(name, sizeof name, "slide-%02d.png", slide);
    return dir + "/" + name;
}

// The window driver SDL picked. Without a display SDL quietly falls back to an invisible
// window, and the show would wait for keys that nobody can press.
bool is_invisible_driver() {
    char name[64] = {};
    if (!SDL_VideoDriverName(name, sizeof name)) return false;
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

// SDL answers SIGINT and SIGTERM by queueing a quit request, and a quit request only ends the
// current wait: a viewer's Ctrl+C, or a system stopping the program, would have to be repeated
// once per slide. The two signals get back what they did before SDL started: end the program
// (killed by the signal, the status a shell reports as 130 or 143), or stay ignored when the
// program was started with them ignored (nohup, a background job).
struct StopSignals {
    struct sigaction interrupt, terminate;
};

StopSignals save_stop_signals() {
    StopSignals saved{};
    sigaction(SIGINT, nullptr, &saved.interrupt);
    sigaction(SIGTERM, nullptr, &saved.terminate);
    return saved;
}

void restore_stop_signals(const StopSignals& saved) {
    sigaction(SIGINT, &saved.interrupt, nullptr);
    sigaction(SIGTERM, &saved.terminate, nullptr);
}

int show_in_window(const Program& program, std::optional<unsigned> seed) {
    const StopSignals stop_signals = save_stop_signals();
    const int started = SDL_Init(SDL_INIT_VIDEO);
    restore_stop_signals(stop_signals);
    if (started != 0) {
        std::fprintf(stderr, "%s: cannot start the video system: %s\n", program.name,
                     SDL_GetError());
        return 1;
    }
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    if (is_invisible_driver() && !(requested && *requested)) {
        SDL_Quit();
        std::fprintf(stderr,
                     "%s: no display to open a window on (is DISPLAY set?). Run it on a desktop, "
                     "or save the slides as images with --export DIR.\n",
                     program.name);
        return 1;
    }
    seed_random(program, seed);
    screen = SDL_SetVideoMode(screen_width, screen_height, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    // Opening the window may start further parts of SDL that install the handlers again.
    restore_stop_signals(stop_signals);
    if (!screen) {
        std::fprintf(stderr, "%s: cannot open an %dx%d window: %s\n", program.name, screen_width,
                     screen_height, SDL_GetError());
        SDL_Quit();
        return 1;
    }
    SDL_WM_SetCaption(program.name, program.name);
    page_show_started(program.name, program.slide_count);
    runtime.mode = Mode::window;
    runtime.on_slide = nullptr;
    runtime.slides_shown = 0;
    int status = 0;
    if (SDL_MUSTLOCK(screen)) SDL_LockSurface(screen);
    try {
        program.script();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", program.name, failure.what());
        status = 1;
    }
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
    screen = nullptr;
    SDL_Quit();
    return status;
}

int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed) {
    if (auto error = prepare_export_dir(dir)) {
        std::fprintf(stderr, "%s: %s\n", program.name, error->c_str());
        return 1;
    }
    try {
        run_headless(
            program,
            [&](int slide) {
                if (auto error = write_png(slide_path(dir, slide), screen)) throw Failure(*error);
            },
            seed);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", program.name, failure.what());
        return 1;
    }
    return 0;
}

} // namespace

void install_software_screen() {
    release_screen();
    // The same pixel layout the window gets: 32-bit words 0x00RRGGBB.
    screen = SDL_CreateRGBSurface(SDL_SWSURFACE, screen_width, screen_height, 32, 0x00ff0000,
                                  0x0000ff00, 0x000000ff, 0);
    if (!screen) throw Failure(std::string("cannot make a drawing surface: ") + SDL_GetError());
}

void release_screen() {
    if (screen) SDL_FreeSurface(screen);
    screen = nullptr;
}

void run_headless(const Program& program, const SlideObserver& on_slide,
                  std::optional<unsigned> seed) {
    install_software_screen();
    runtime.mode = Mode::headless;
    runtime.on_slide = on_slide;
    runtime.slides_shown = 0;
    seed_random(program, seed);
    try {
        program.script();
    } catch (...) {
        runtime.on_slide = nullptr;
        release_screen();
        throw;
    }
    runtime.on_slide = nullptr;
    release_screen();
}

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
    return "usage: " + name + " [--export DIR] [--seed N]\n" + "Shows " + name + "'s " +
           std::to_string(program.slide_count) + (program.slide_count == 1 ? " slide" : " slides") +
           " in an 800x600 window: any key, or closing the window, advances one slide.\n"
           "  --export DIR  no window: save each slide as DIR/slide-01.png, slide-02.png, ...\n"
           "                (DIR and its parents are created if missing)\n"
           "  --seed N      seed the random colours with N (0 to 4294967295), so that the\n"
           "                palette is the same on every run with the same N\n"
           "  --help        show this help\n";
}

int run(int argc, char** argv, const Program& program) {
    Options options;
    if (auto error = parse_options(argc, argv, options)) {
        std::fprintf(stderr, "%s: %s\n%s", program.name, error->c_str(), usage(program).c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usage(program).c_str(), stdout);
        return 0;
    }
    if (options.export_dir) return export_slides(program, *options.export_dir, options.seed);
    return show_in_window(program, options.seed);
}

} // namespace kit
