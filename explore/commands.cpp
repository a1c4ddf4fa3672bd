#include "desktop.hpp"
#include "kit/arguments.hpp"
#include "kit/files.hpp"
#include "kit/version.hpp"
#include "picture.hpp"
#include "png_texts.hpp"
#include "tables.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <pthread.h>
#include <signal.h>
#include <string_view>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace explore {
namespace {

// The most threads --threads takes.
constexpr int most_threads = 64;

std::string usage() {
    return std::string(
               "usage: explore [--scene LINE | --scene-from FILE.png] [--scale N | --fullscreen]\n"
               "       explore [--scene LINE | --scene-from FILE.png] --export FILE.png\n"
               "       explore [--scene LINE | --scene-from FILE.png] --orbits FILE.csv "
               "[--export FILE.png]\n"
               "       explore [--scene LINE] --sweep KEY=FROM:TO:COUNT --export DIR\n"
               "       explore [--scene LINE] --tour [--scale N | --fullscreen]\n") +
           "The frieze studio: a portrait of the kicked map p' = p + K sin(theta), theta' = theta "
           "+ p',\n"
           "its tile cut to a fundamental region of one of the seven frieze groups, and the "
           "strip\n"
           "rebuilt from it by the group's mirrors, glide reflections and half-turns.\n"
           "  --scene LINE        start from a scene: key=value pairs, e.g. \"kick=0.9 "
           "group=p2mm\"\n"
           "                      (keys: v kick group palette size theta p step length orbit "
           "keep tile colour)\n"
           "  --scene-from FILE   the scene of a PNG explore wrote\n"
           "  --export FILE       no window: write the strip to FILE, a PNG, at the scene's size\n"
           "                      (- for standard output; a device or FIFO is written in place)\n"
           "  --orbits FILE       no window: write a table of every orbit the scene draws to "
           "FILE\n"
           "                      (CSV: index,theta,p,lyapunov,kind; - for standard output;\n"
           "                      with --export as well)\n"
           "  --sweep KEY=FROM:TO:COUNT  with --export DIR: DIR/frame-0001.png ... for COUNT "
           "evenly\n"
           "                      spaced values of kick, palette, step or length\n"
           "  --replace           with --sweep: remove the frames of another sweep from DIR (a\n"
           "                      folder holding any is refused without it)\n"
           "  --yes               with --export or --orbits: go on with work of more than a minute "
           "(it is\n"
           "                      refused without), such as step=0.0001 length=10000\n"
           "  --tour              the scene in each of the seven groups, a key for the next\n"
           "  --threads N         draw on N threads, 1 to " +
           std::to_string(most_threads) +
           " (the default: as many as\n"
           "                      the processor runs at once); the pixels are the same for any N\n"
           "  --scale N           a window N times 800x600 (N = 1 to " +
           std::to_string(kit::max_scale) +
           ")\n"
           "  --fullscreen        the picture as large as the screen allows\n"
           "  --version, --help\n" +
           window_keys_text();
}

// How long a scene takes here, for the warnings and the progress line: the map's steps (every
// orbit's points) and the strip's pixels (the strip rebuilt, then compressed into a PNG), at
// rates measured on a 2-core machine of 2026 with other work running. A tile of millions of
// pixels takes its points slower than a small one: they scatter over more memory than a cache
// holds.
double seconds_for(const Scene& scene, const Drawing& drawing) {
    const double seeds = std::ceil(two_pi / scene.step);
    const double steps = (seeds + static_cast<double>(scene.orbits.size())) * scene.length;
    const double tile_pixels = static_cast<double>(tile_width_for(scene.height)) * scene.height;
    const double steps_per_second =
        (tile_pixels > 4e6 ? 40e6 : 150e6) * std::min(drawing.threads, kit::hardware_threads());
    const double pixels = static_cast<double>(scene.width) * scene.height + tile_pixels;
    return steps / steps_per_second + pixels / 60e6;
}

// The work of more than this many seconds is far beyond anything interactive: it is asked for
// with --yes.
constexpr double most_seconds_unasked = 60;

// "about 3 minutes": a duration as a person says it.
std::string duration_text(double seconds) {
    auto about = [](double value, const char* unit) {
        const long long n = std::max(1LL, std::llround(value));
        return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
    };
    if (seconds < 90) return about(seconds, "second");
    if (seconds < 90 * 60) return about(seconds / 60, "minute");
    if (seconds < 36 * 3600) return about(seconds / 3600, "hour");
    return about(seconds / 86400, "day");
}

// The refusal of work far beyond anything interactive, unless asked for: `what` is "this
// export" or "this sweep of N frames".
std::optional<std::string> too_long(double seconds, const std::string& what, bool asked) {
    if (asked || seconds <= most_seconds_unasked) return std::nullopt;
    return what + " would take about " + duration_text(seconds) + " here (more than " +
           duration_text(most_seconds_unasked) +
           " of the map's steps and the strip's pixels): give --yes to go on, or a larger step=, "
           "a smaller length= or size=";
}

// A line on a terminal saying how far long work has come: from a second into it, redrawn every
// quarter of a second on standard error (when that is a terminal; nothing otherwise), the frames
// done and the time left. The line is gone when the object is.
class Progress {
  public:
    Progress(int frames, double estimate) : frames_(frames), estimate_(estimate) {
        if (!isatty(STDERR_FILENO)) return;
        // The handlers that remove a killed export's files run on the thread that writes them.
        thread_ = kit::thread_taking_no_signal([this] { run(); });
    }
    ~Progress() { finish(); }
    // The line gone, before what follows is printed.
    void finish() {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void frame_done() { done_.fetch_add(1); }

  private:
    void run() {
        using namespace std::chrono;
        const auto start = steady_clock::now();
        bool shown = false;
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, milliseconds(250), [this] { return stop_; })) {
            const double elapsed = duration<double>(steady_clock::now() - start).count();
            if (elapsed < 1) continue;
            const int done = done_.load();
            // The frames so far tell the rate best; before the first, the estimate does.
            const double left =
                done > 0 ? elapsed / done * (frames_ - done) : std::max(0.0, estimate_ - elapsed);
            std::string line = std::string(program_name) + ": ";
            if (frames_ > 1)
                line += "frame " + std::to_string(std::min(done + 1, frames_)) + " of " +
                        std::to_string(frames_) + ", ";
            else
                line += "drawing, ";
            line += std::to_string(std::llround(elapsed)) + " s so far, ";
            line += done == 0 && elapsed > estimate_
                        ? "longer than estimated"
                        : "about " +
                              (left < 90 ? std::to_string(std::llround(left)) + " s"
                                         : duration_text(left)) +
                              " left";
            std::fprintf(stderr, "\r%s\033[K", line.c_str());
            std::fflush(stderr);
            shown = true;
        }
        if (shown) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
    }

    const int frames_;
    const double estimate_;
    std::atomic<int> done_{0};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};

// Standard output's last words: a line that cannot be written (a full disk, a closed stream)
// is a failure, said on standard error.
int finish_output(int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    const int reason = errno;
    complain(1, std::string("cannot write to standard output: ") +
                    (reason ? std::strerror(reason) : "output error"));
    return 1;
}

int export_strip(const Scene& scene, const std::string& path, bool yes, Drawing drawing) {
    const double estimate = seconds_for(scene, drawing);
    if (auto refused = too_long(estimate, "this export", yes)) return complain(1, *refused);
    // From the start: a signal that arrives while the target is probed removes the probe too.
    const kit::TemporaryFileGuard guard(program_name);
    // The target is checked before anything is drawn.
    kit::ExportFile target;
    if (auto refused = target.open(path)) return complain(1, *refused);
    Progress progress(1, estimate);
    kit::PixelBuffer strip;
    if (!render_strip(scene, kit::xrgb_layout, strip, drawing))
        return complain(1, "not enough memory for a " + std::to_string(scene.width) + "x" +
                               std::to_string(scene.height) + " strip: give a smaller size=");
    const auto texts = picture_texts(scene);
    if (auto error = target.write(
            [&](std::FILE* file) { return kit::write_png(file, strip.image(), texts); }))
        return complain(1, *error);
    progress.finish();
    // The picture may be standard output: then the line goes to standard error.
    std::FILE* report = target.to_standard_output() ? stderr : stdout;
    std::fprintf(report, "%s: wrote %s (%dx%d): %s\n", program_name,
                 path == "-" ? "standard output" : kit::shown(path).c_str(), scene.width,
                 scene.height, print_scene(scene).c_str());
    return finish_output(0);
}

struct Sweep {
    std::string key;
    double from = 0, to = 0;
    int count = 0;
};

std::string sweep_refusal(std::string_view text, const std::string& allowed) {
    std::string out = "--sweep '";
    out += kit::shown(text, 40);
    out += "': ";
    return out + allowed;
}

std::optional<Sweep> parse_sweep(std::string_view text, std::string& error) {
    const size_t equals = text.find('=');
    const std::string allowed =
        "give KEY=FROM:TO:COUNT, KEY one of kick, palette, step, length, COUNT from 1 to 10000";
    Sweep sweep;
    if (equals == std::string_view::npos) {
        error = sweep_refusal(text, allowed);
        return std::nullopt;
    }
    sweep.key = std::string(text.substr(0, equals));
    if (std::find(sweep_keys.begin(), sweep_keys.end(), sweep.key) == sweep_keys.end()) {
        error = sweep_refusal(text, allowed);
        return std::nullopt;
    }
    const std::string values(text.substr(equals + 1));
    char from[64], to[64];
    int count = 0;
    char extra = 0;
    if (values.size() >= 64 ||
        std::sscanf(values.c_str(), "%63[^:]:%63[^:]:%d%c", from, to, &count, &extra) != 3 ||
        count < 1 || count > 10000) {
        error = sweep_refusal(text, allowed);
        return std::nullopt;
    }
    char* end = nullptr;
    sweep.from = std::strtod(from, &end);
    const bool from_ok = *end == 0 && std::isfinite(sweep.from);
    sweep.to = std::strtod(to, &end);
    if (!from_ok || *end != 0 || !std::isfinite(sweep.to)) {
        error = sweep_refusal(text, allowed);
        return std::nullopt;
    }
    // Each end is checked as it was given, against the key's limits: the frames between lie
    // within them too.
    const auto rule = std::find_if(key_rules().begin(), key_rules().end(),
                                   [&](const KeyRule& r) { return r.name == sweep.key; });
    for (const auto& [end_name, given, value] :
         {std::tuple{"FROM", from, sweep.from}, std::tuple{"TO", to, sweep.to}}) {
        if (value >= rule->low && value <= rule->high) continue;
        Scene probe;
        const auto refused = set_key(probe, sweep.key, given);
        error = sweep_refusal(text, std::string(end_name) + ": " +
                                        (refused ? *refused : sweep.key + " is out of its range"));
        return std::nullopt;
    }
    sweep.count = count;
    return sweep;
}

// The value of frame i (0 .. count - 1) as the key's text: whole numbers for the whole keys.
std::string sweep_value(const Sweep& sweep, int i) {
    const double value = sweep.count == 1
                             ? sweep.from
                             : sweep.from + (sweep.to - sweep.from) * i / (sweep.count - 1);
    if (sweep.key == "palette" || sweep.key == "length") return std::to_string(std::llround(value));
    return number_text(value);
}

// "frame-0007.png" for frame 7.
std::string frame_name(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.png", frame);
    return name;
}

// Whether a name is of frame_name's form.
bool is_frame_name(std::string_view name) {
    if (!name.starts_with("frame-") || !name.ends_with(".png")) return false;
    const std::string_view digits = name.substr(6, name.size() - 10);
    return digits.size() >= 4 && digits.size() <= 5 &&
           digits.find_first_not_of("0123456789") == std::string_view::npos;
}

// The frame number of a name of is_frame_name's form.
int frame_number(std::string_view name) {
    return std::atoi(std::string(name.substr(6, name.size() - 10)).c_str());
}

// The frames in the folder that are not this sweep's: numbered beyond it, or holding another
// scene than this sweep's frame of that number (or none that can be read). A frame of this sweep
// left by an earlier run of it, cut short, is its own.
std::vector<int> frames_of_others(const kit::ExportFolder& folder, const std::string& dir,
                                  const std::vector<Scene>& frames) {
    // Read through the folder open, wherever its path leads now.
    const std::string base = std::filesystem::exists("/proc/self/fd")
                                 ? "/proc/self/fd/" + std::to_string(folder.descriptor()) + "/"
                                 : dir + "/";
    std::vector<int> others;
    for (const std::string& name : folder.names()) {
        if (!is_frame_name(name)) continue;
        const int number = frame_number(name);
        bool ours = false;
        if (number >= 1 && number <= static_cast<int>(frames.size()) &&
            name == frame_name(number)) {
            std::string reason;
            const auto texts = kit::read_png_texts(base + name, reason);
            const std::string line = print_scene(frames[number - 1]);
            ours = texts && std::count_if(texts->begin(), texts->end(), [&](const auto& text) {
                                return text.keyword == scene_keyword && text.text == line;
                            }) == 1;
        }
        if (!ours) others.push_back(number);
    }
    return others;
}

int export_sweep(Scene scene, const Sweep& sweep, const std::string& dir, bool replace, bool yes,
                 Drawing drawing) {
    // Every frame's scene is checked before anything is written.
    std::vector<Scene> frames;
    for (int i = 0; i < sweep.count; ++i) {
        Scene frame = scene;
        if (auto refused = set_key(frame, sweep.key, sweep_value(sweep, i)))
            return complain(2, "--sweep: frame " + std::to_string(i + 1) + ": " + *refused);
        frames.push_back(frame);
    }
    double estimate = 0;
    for (const Scene& frame : frames) estimate += seconds_for(frame, drawing);
    if (auto refused = too_long(estimate,
                                "this sweep of " + std::to_string(sweep.count) +
                                    (sweep.count == 1 ? " frame" : " frames"),
                                yes))
        return complain(1, *refused);
    // From the start: a signal that arrives while the folder is probed removes the probe too.
    const kit::TemporaryFileGuard guard(program_name);
    // A sweep into a folder another sweep writes now is refused at once: waiting for it would
    // only end in a folder of its frames and these mixed.
    kit::ExportFolder folder;
    if (auto error = folder.open(dir, program_name, is_frame_name, frame_name(sweep.count),
                                 std::chrono::milliseconds(0)))
        return complain(1, *error);
    const std::string shown_dir = kit::shown(dir);
    if (const auto others = frames_of_others(folder, dir, frames); !others.empty()) {
        const std::string named = kit::named_runs(others, frame_name);
        if (!replace)
            return complain(1, shown_dir + " holds frames of another sweep (" + named +
                                   "): give --replace to remove them, or choose another folder");
        for (int number : others)
            if (unlinkat(folder.descriptor(), frame_name(number).c_str(), 0) != 0 &&
                errno != ENOENT)
                return complain(1, "cannot remove " + shown_dir + "/" + frame_name(number) + ": " +
                                       std::strerror(errno));
        std::fprintf(stderr, "%s: removed %zu %s of another sweep from %s: %s\n", program_name,
                     others.size(), others.size() == 1 ? "frame" : "frames", shown_dir.c_str(),
                     named.c_str());
    }
    Progress progress(sweep.count, estimate);
    kit::PixelBuffer strip;
    for (int i = 0; i < sweep.count; ++i) {
        if (!render_strip(frames[i], kit::xrgb_layout, strip, drawing))
            return complain(1, "not enough memory for the strip: give a smaller size=");
        const std::string name = frame_name(i + 1);
        if (auto failure = kit::write_png_file(folder.descriptor(), name, strip.image(),
                                               picture_texts(frames[i]), kit::Replace::existing))
            return complain(1, "cannot write " + shown_dir + "/" + name + ": " + failure->reason);
        progress.frame_done();
    }
    if (auto failure = kit::sync_folder(folder.descriptor()))
        return complain(1,
                        "cannot flush export folder " + shown_dir + " to disk: " + failure->reason);
    progress.finish();
    std::printf("%s: %d frames written to %s, %s from %s to %s\n", program_name, sweep.count,
                shown_dir.c_str(), sweep.key.c_str(), sweep_value(sweep, 0).c_str(),
                sweep_value(sweep, sweep.count - 1).c_str());
    return finish_output(0);
}

} // namespace

std::optional<Scene> scene_from_png(const std::string& path, std::string& error) {
    std::string reason;
    const auto texts = kit::read_png_texts(path, reason);
    if (!texts) {
        error = "cannot read " + kit::shown(path) + ": " + reason;
        return std::nullopt;
    }
    return scene_of_texts(*texts, kit::shown(path), error);
}

int run_explore(int argc, char** argv) {
    std::optional<std::string> scene_line, scene_file, export_path, sweep_text, orbits_path;
    bool tour = false, fullscreen = false, help = false, version = false, replace = false,
         yes = false;
    int scale = 1;
    bool scale_given = false;
    Drawing drawing{.threads = kit::hardware_threads()};
    auto bad = [](const std::string& message) {
        std::fprintf(stderr, "%s: %s\n%s", program_name, message.c_str(), usage().c_str());
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        auto take = [&](std::string_view option) {
            return kit::take_option(argc, argv, i, option, value);
        };
        kit::Match match;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--tour") {
            tour = true;
        } else if (arg == "--fullscreen") {
            fullscreen = true;
        } else if (arg == "--replace") {
            replace = true;
        } else if (arg == "--yes") {
            yes = true;
        } else if ((match = take("--scene")) != kit::Match::no) {
            if (match == kit::Match::missing_value)
                return bad("--scene needs a scene line: --scene \"kick=0.9 group=p2mm\"");
            scene_line = std::string(value);
        } else if ((match = take("--scene-from")) != kit::Match::no) {
            if (match == kit::Match::missing_value)
                return bad("--scene-from needs a file: --scene-from FILE.png");
            scene_file = std::string(value);
        } else if ((match = take("--export")) != kit::Match::no) {
            if (match == kit::Match::missing_value || value.empty())
                return bad("--export needs a file (or with --sweep a folder): --export FILE.png");
            export_path = std::string(value);
        } else if ((match = take("--orbits")) != kit::Match::no) {
            if (match == kit::Match::missing_value || value.empty())
                return bad("--orbits needs a file: --orbits orbits.csv");
            orbits_path = std::string(value);
        } else if ((match = take("--sweep")) != kit::Match::no) {
            if (match == kit::Match::missing_value)
                return bad("--sweep needs KEY=FROM:TO:COUNT, e.g. kick=0.5:1.5:100");
            sweep_text = std::string(value);
        } else if ((match = take("--threads")) != kit::Match::no) {
            const auto n = match == kit::Match::missing_value
                               ? std::nullopt
                               : kit::parse_number(value, 1, most_threads);
            if (!n)
                return bad("bad thread count '" + kit::shown(value, 40) +
                           "': give a whole number from 1 to " + std::to_string(most_threads));
            drawing.threads = static_cast<int>(*n);
        } else if ((match = take("--scale")) != kit::Match::no) {
            const auto n = match == kit::Match::missing_value
                               ? std::nullopt
                               : kit::parse_number(value, 1, kit::max_scale);
            if (!n)
                return bad("bad scale '" + kit::shown(value, 40) +
                           "': give a whole number from 1 to " + std::to_string(kit::max_scale));
            scale = static_cast<int>(*n);
            scale_given = true;
        } else {
            return bad("unknown option " + kit::shown(arg, 60));
        }
    }
    if (help) {
        std::fputs(usage().c_str(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (version) {
        std::printf("%s %s\n", program_name, kit::project_version());
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (scene_line && scene_file) return bad("--scene and --scene-from exclude each other");
    if (scale_given && fullscreen) return bad("--scale and --fullscreen exclude each other");
    if (sweep_text && !export_path) return bad("--sweep writes frames: add --export DIR");
    if (yes && !export_path && !orbits_path)
        return bad("--yes is for --export and --orbits: the window draws at its own size");
    if (sweep_text && *export_path == "-")
        return bad("--sweep writes a folder of frames: give --export DIR, not -");
    if (replace && !sweep_text)
        return bad("--replace is for --sweep: it removes another sweep's frames from DIR");
    if (tour && export_path) return bad("--tour is a slide show: it does not go with --export");
    if (orbits_path && (sweep_text || tour))
        return bad("--orbits writes the table of one scene: it goes with --export FILE.png but "
                   "not with --sweep or --tour");
    if (orbits_path && export_path && *orbits_path == "-" && *export_path == "-")
        return bad("--orbits - and --export - would both write to standard output: give one "
                   "of them a file");
    if ((export_path || orbits_path) && (scale_given || fullscreen))
        return bad("--scale and --fullscreen are for the window: --export writes the strip "
                   "without one");
    Scene scene;
    std::string error;
    if (scene_line) {
        auto parsed = parse_scene(*scene_line, error);
        if (!parsed) return complain(2, "bad scene: " + error);
        scene = *parsed;
    } else if (scene_file) {
        auto read = scene_from_png(*scene_file, error);
        if (!read) return complain(1, error);
        scene = *read;
    }
    if (sweep_text) {
        auto sweep = parse_sweep(*sweep_text, error);
        if (!sweep) return bad(error);
        return export_sweep(scene, *sweep, *export_path, replace, yes, drawing);
    }
    if (orbits_path) {
        if (!export_path)
            if (auto refusal = too_long(seconds_for(scene, drawing), "this table of orbits", yes))
                return complain(1, *refusal);
        if (const int status = write_orbit_table(scene, *orbits_path, drawing.threads); status != 0)
            return status;
        if (!export_path) return 0;
    }
    if (export_path) return export_strip(scene, *export_path, yes, drawing);
    return run_window(scene,
                      {.scale = scale,
                       .fullscreen = fullscreen,
                       .clock_seed = {},
                       .seed = {},
                       .role = kit::platform::WindowRole::studio},
                      tour, drawing);
}

} // namespace explore
