#include "studio.hpp"

#include "command_line.hpp"
#include "export.hpp"
#include "kit/canvas.hpp"
#include "kit/program.hpp"
#include "kit/raster.hpp"
#include "picture.hpp"
#include "platform.hpp"
#include "runs.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string_view>

namespace explore {
namespace {

// The window is the slide shows' 800x600; kit's window code opens it.
const kit::Program window_program{.name = program_name};

std::string usage() {
    return std::string(
               "usage: explore [--scene LINE | --scene-from FILE.png] [--scale N | --fullscreen]\n"
               "       explore [--scene LINE | --scene-from FILE.png] --export FILE.png\n"
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
           "keep tile)\n"
           "  --scene-from FILE   the scene of a PNG the studio wrote\n"
           "  --export FILE       no window: write the strip to FILE, a PNG, at the scene's size\n"
           "  --sweep KEY=FROM:TO:COUNT  with --export DIR: DIR/frame-0001.png ... for COUNT "
           "evenly\n"
           "                      spaced values of kick, palette, step or length\n"
           "  --tour              the scene in each of the seven groups, a key for the next\n"
           "  --scale N           a window N times 800x600 (N = 1 to " +
           std::to_string(kit::max_scale) +
           ")\n"
           "  --fullscreen        the picture as large as the screen allows\n"
           "  --version, --help\n"
           "In the window:\n"
           "  click on the portrait   start an orbit there\n"
           "  [ ]                     kick down / up by 0.01\n"
           "  Page Down / Page Up     kick down / up by 0.1\n"
           "  1 to 7, g               the group: p1 p11g p1m1 p2 p2mg p11m p2mm; g the next one\n"
           "  k                       keep the next part of the tile\n"
           "  arrows                  pan the window onto the plane\n"
           "  + -                     zoom in / out\n"
           "  c                       the next palette\n"
           "  u, Backspace            undo the last orbit\n"
           "  r                       reset to the scene the studio started with\n"
           "  s                       save the strip as a new PNG here; prints its name and "
           "scene\n"
           "  p                       print the scene line\n"
           "  q, Esc                  quit\n";
}

// "explore: ..." on standard error, for the exit status returned with it.
int complain(int status, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program_name, message.c_str());
    return status;
}

int export_strip(const Scene& scene, const std::string& path) {
    std::error_code code;
    if (std::filesystem::is_directory(path, code))
        return complain(1, kit::shown(path) + " is a folder: give --export a file name, "
                                              "such as strip.png");
    kit::install_software_screen();
    auto strip = render_strip(scene);
    if (!strip) {
        kit::release_screen();
        return complain(1, "not enough memory for a " + std::to_string(scene.width) + "x" +
                               std::to_string(scene.height) + " strip: give a smaller size=");
    }
    const kit::TemporaryFileGuard guard;
    const auto texts = scene_texts(scene);
    auto error = kit::write_slide(path, strip->image(), texts);
    strip.reset();
    kit::release_screen();
    if (error) return complain(1, *error);
    std::printf("%s: wrote %s (%dx%d): %s\n", program_name, kit::shown(path).c_str(), scene.width,
                scene.height, print_scene(scene).c_str());
    return 0;
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

int export_sweep(Scene scene, const Sweep& sweep, const std::string& dir) {
    // Every frame's scene is checked before anything is written.
    std::vector<Scene> frames;
    for (int i = 0; i < sweep.count; ++i) {
        Scene frame = scene;
        if (auto refused = set_key(frame, sweep.key, sweep_value(sweep, i)))
            return complain(2, "--sweep: frame " + std::to_string(i + 1) + ": " + *refused);
        frames.push_back(frame);
    }
    std::error_code code;
    std::filesystem::create_directories(dir, code);
    if (code)
        return complain(1,
                        "cannot create export folder " + kit::shown(dir) + ": " + code.message());
    const int folder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return complain(1, "cannot use export folder " + kit::shown(dir) + ": " +
                               std::strerror(errno));
    kit::install_software_screen();
    const kit::TemporaryFileGuard guard;
    int status = 0;
    for (int i = 0; i < sweep.count && status == 0; ++i) {
        const auto strip = render_strip(frames[i]);
        if (!strip) {
            status = complain(1, "not enough memory for the strip: give a smaller size=");
            break;
        }
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04d.png", i + 1);
        const auto texts = scene_texts(frames[i]);
        if (auto failure =
                kit::write_png_file(folder, name, strip->image(), texts, kit::Replace::existing))
            status = complain(1, "cannot write " + kit::shown(dir) + "/" + name + ": " +
                                     failure->reason);
    }
    if (status == 0)
        if (auto failure = kit::sync_folder(folder))
            status = complain(1, "cannot write " + kit::shown(dir) + ": " + failure->reason);
    close(folder);
    kit::release_screen();
    if (status == 0)
        std::printf("%s: %d frames written to %s, %s from %s to %s\n", program_name, sweep.count,
                    kit::shown(dir).c_str(), sweep.key.c_str(), sweep_value(sweep, 0).c_str(),
                    sweep_value(sweep, sweep.count - 1).c_str());
    return status;
}

// The window: the portrait's tile at the top with its kept part outlined, the strip below it.
struct Studio {
    Scene scene;
    Scene start;
    Surface portrait;
    int left = 0, top = 24; // where the portrait stands on the screen
    Uint32 background = 0, outline = 0;
};

int strip_top(const Studio& studio) {
    return studio.top + studio.portrait->h + 32;
}

void set_title(const Studio& studio, const std::string& prefix = "") {
    const std::string title = prefix + "explore - kick " + number_text(studio.scene.kick) + " - " +
                              group_label(studio.scene.group);
    SDL_WM_SetCaption(title.c_str(), program_name);
}

// Draws the whole screen for the scene and puts it on view.
void redraw(Studio& studio) {
    const Scene& scene = studio.scene;
    const int height = scene.tile, width = tile_width_for(height);
    if (!studio.portrait || studio.portrait->w != width || studio.portrait->h != height) {
        studio.portrait.reset(new_surface(width, height));
        if (!studio.portrait) throw kit::Failure("not enough memory for the tile");
        studio.left = (kit::screen_width - width) / 2;
    }
    studio.background = kit::map_rgb(224, 224, 224);
    studio.outline = kit::map_rgb(255, 0, 0);
    kit::clear_screen(studio.background);
    SDL_Surface* portrait = studio.portrait.get();
    // The strip stands below the portrait and its outline.
    draw_scene(scene, portrait, pixels_of(kit::screen), strip_top(studio));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            kit::put_pixel(studio.left + x, studio.top + y,
                           reinterpret_cast<Uint32*>(static_cast<Uint8*>(portrait->pixels) +
                                                     y * portrait->pitch)[x]);
    // The kept part outlined just outside it, so that every kept pixel stays in view.
    const Rect kept = kept_part(scene.group, scene.keep, width, height);
    const int x0 = studio.left + kept.left - 1, y0 = studio.top + kept.top - 1;
    const int x1 = studio.left + kept.left + kept.width, y1 = studio.top + kept.top + kept.height;
    kit::draw_line_clipped(x0, y0, x1, y0, studio.outline);
    kit::draw_line_clipped(x1, y0, x1, y1, studio.outline);
    kit::draw_line_clipped(x1, y1, x0, y1, studio.outline);
    kit::draw_line_clipped(x0, y1, x0, y0, studio.outline);
    set_title(studio);
    kit::platform::flip_screen();
}

// Saves the strip under a name no file has yet: explore-GROUP-kick-K.png, then -2, -3, ...
void save(const Studio& studio) {
    const Scene& scene = studio.scene;
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        complain(1, std::string("cannot save here: ") + std::strerror(errno));
        return;
    }
    const auto strip = render_strip(scene);
    if (!strip) {
        close(folder);
        complain(1, "not enough memory for the strip: give a smaller size=");
        return;
    }
    const kit::TemporaryFileGuard guard;
    const auto texts = scene_texts(scene);
    const std::string stem = std::string("explore-") + names_of(scene.group).short_name + "-kick-" +
                             number_text(scene.kick);
    for (int n = 1; n < 10000; ++n) {
        std::string name = stem;
        if (n > 1) name += '-' + std::to_string(n);
        name += ".png";
        const auto failure =
            kit::write_png_file(folder, name, strip->image(), texts, kit::Replace::never);
        if (failure && failure->code == EEXIST) continue;
        if (failure)
            complain(1, "cannot save " + name + ": " + failure->reason);
        else
            std::printf("%s: saved %s: %s\n", program_name, name.c_str(),
                        print_scene(scene).c_str());
        break;
    }
    kit::sync_folder(folder);
    close(folder);
    std::fflush(stdout);
}

// Steps the kick by `hundredths`, staying on the grid of hundredths and within the limit.
void step_kick(Scene& scene, int hundredths) {
    const double value = std::round(static_cast<double>(scene.kick) * 100) + hundredths;
    const double limited = std::clamp(value, -100.0 * kick_limit, 100.0 * kick_limit);
    scene.kick = static_cast<float>(limited / 100);
}

// Moves the window by a fraction of its size, kept on the torus.
void pan(double& from, double& to, double fraction) {
    constexpr double two_pi = 6.283185307179586;
    const double size = to - from;
    const double shift = std::clamp(size * fraction, -from, two_pi - to);
    from += shift;
    to = from + size;
    if (to > two_pi) to = two_pi;
}

void zoom(double& from, double& to, double factor) {
    constexpr double two_pi = 6.283185307179586;
    const double size = std::clamp((to - from) * factor, min_window, two_pi);
    const double centre = (from + to) / 2;
    from = std::clamp(centre - size / 2, 0.0, two_pi - size);
    to = from + size;
}

enum class Action { none, redraw, quit };

Action on_key(Studio& studio, const SDL_keysym& key) {
    Scene& scene = studio.scene;
    switch (key.sym) {
    case SDLK_q:
    case SDLK_ESCAPE:
        return Action::quit;
    case SDLK_RIGHTBRACKET:
        step_kick(scene, 1);
        break;
    case SDLK_LEFTBRACKET:
        step_kick(scene, -1);
        break;
    case SDLK_PAGEUP:
        step_kick(scene, 10);
        break;
    case SDLK_PAGEDOWN:
        step_kick(scene, -10);
        break;
    case SDLK_g:
        scene.group = static_cast<Group>((static_cast<int>(scene.group) + 1) % group_count);
        break;
    case SDLK_k:
        scene.keep = (scene.keep + 1) % part_count(scene.group);
        break;
    case SDLK_LEFT:
        pan(scene.theta_from, scene.theta_to, -0.125);
        break;
    case SDLK_RIGHT:
        pan(scene.theta_from, scene.theta_to, 0.125);
        break;
    case SDLK_UP:
        pan(scene.p_from, scene.p_to, 0.125);
        break;
    case SDLK_DOWN:
        pan(scene.p_from, scene.p_to, -0.125);
        break;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS:
        zoom(scene.theta_from, scene.theta_to, 0.5);
        zoom(scene.p_from, scene.p_to, 0.5);
        break;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
        zoom(scene.theta_from, scene.theta_to, 2);
        zoom(scene.p_from, scene.p_to, 2);
        break;
    case SDLK_c:
        ++scene.palette;
        break;
    case SDLK_u:
    case SDLK_BACKSPACE:
        if (scene.orbits.empty()) return Action::none;
        scene.orbits.pop_back();
        break;
    case SDLK_r:
        scene = studio.start;
        break;
    case SDLK_s:
        save(studio);
        return Action::none;
    case SDLK_p:
        std::printf("%s\n", print_scene(scene).c_str());
        std::fflush(stdout);
        return Action::none;
    default:
        if (key.sym >= SDLK_1 && key.sym <= SDLK_7) {
            scene.group = static_cast<Group>(key.sym - SDLK_1);
            break;
        }
        return Action::none;
    }
    return Action::redraw;
}

Action on_click(Studio& studio, int x, int y) {
    const Pixel pixel{x - studio.left, y - studio.top};
    SDL_Surface* portrait = studio.portrait.get();
    if (pixel.x < 0 || pixel.y < 0 || pixel.x >= portrait->w || pixel.y >= portrait->h)
        return Action::none;
    if (static_cast<int>(studio.scene.orbits.size()) >= max_orbits) return Action::none;
    studio.scene.orbits.push_back(start_at(studio.scene, portrait->w, portrait->h, pixel));
    return Action::redraw;
}

// Handles every event waiting (so that a held key does not fall behind), then redraws once.
// Returns false when the studio should end.
bool handle_events(Studio& studio) {
    SDL_Event event;
    if (SDL_WaitEvent(&event) == 0)
        throw kit::Failure(std::string("waiting for input failed: ") + SDL_GetError());
    bool draw = false, show = false;
    do {
        Action action = Action::none;
        if (event.type == SDL_QUIT) return false;
        if (event.type == SDL_KEYDOWN) action = on_key(studio, event.key.keysym);
        if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT)
            action = on_click(studio, event.button.x, event.button.y);
        if (event.type == SDL_VIDEOEXPOSE || event.type == SDL_VIDEORESIZE) show = true;
        if (action == Action::quit) return false;
        if (action == Action::redraw) draw = true;
    } while (SDL_PollEvent(&event));
    if (draw)
        redraw(studio);
    else if (show)
        kit::platform::flip_screen();
    return true;
}

// Blocks until a key press (true) or a quit request or q / Esc (false).
bool next_slide() {
    SDL_Event event;
    for (;;) {
        if (SDL_WaitEvent(&event) == 0)
            throw kit::Failure(std::string("waiting for input failed: ") + SDL_GetError());
        if (event.type == SDL_QUIT) return false;
        if (event.type == SDL_KEYDOWN)
            return event.key.keysym.sym != SDLK_q && event.key.keysym.sym != SDLK_ESCAPE;
        if (event.type == SDL_VIDEOEXPOSE || event.type == SDL_VIDEORESIZE)
            kit::platform::flip_screen();
    }
}

int run_window(const Scene& scene, const kit::platform::WindowSettings& settings, bool tour) {
    if (auto error = kit::platform::open_window(window_program, settings))
        return complain(1, *error);
    SDL_EnableKeyRepeat(SDL_DEFAULT_REPEAT_DELAY, 30);
    int status = 0;
    try {
        Studio studio{.scene = scene, .start = scene, .portrait = nullptr};
        if (tour) {
            for (int g = 0; g < group_count; ++g) {
                studio.scene.group = static_cast<Group>(g);
                redraw(studio);
                set_title(studio, "tour " + std::to_string(g + 1) + " of " +
                                      std::to_string(group_count) + " - ");
                if (!next_slide()) break;
            }
        } else {
            redraw(studio);
            while (handle_events(studio)) {
            }
        }
    } catch (const kit::Failure& failure) {
        status = complain(1, failure.what());
    }
    kit::platform::close_window();
    return status;
}

} // namespace

kit::PixelImage Strip::image() const {
    return {.pixels = pixels.data(),
            .width = width,
            .height = height,
            .pitch = static_cast<size_t>(width) * 4,
            .format = kit::screen->format};
}

std::optional<Strip> render_strip(const Scene& scene) {
    Surface portrait{new_surface(tile_width_for(scene.height), scene.height)};
    if (!portrait) return std::nullopt;
    Strip strip;
    try {
        strip.pixels.resize(static_cast<size_t>(scene.width) * static_cast<size_t>(scene.height));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    strip.width = scene.width;
    strip.height = scene.height;
    draw_scene(scene, portrait.get(),
               {strip.pixels.data(), strip.width, strip.height, static_cast<size_t>(strip.width)},
               0);
    return strip;
}

std::optional<Scene> scene_from_png(const std::string& path, std::string& error) {
    std::string reason;
    const auto texts = kit::read_png_texts(path, reason);
    if (!texts) {
        error = "cannot read " + kit::shown(path) + ": " + reason;
        return std::nullopt;
    }
    const kit::PngText* found = nullptr;
    for (const kit::PngText& chunk : *texts) {
        if (chunk.keyword != scene_keyword) continue;
        if (found) {
            error = kit::shown(path) + " holds more than one " + scene_keyword +
                    " text chunk, so which scene it shows is unclear: give the one you mean "
                    "with --scene";
            return std::nullopt;
        }
        found = &chunk;
    }
    if (!found) {
        error = kit::shown(path) + " holds no scene: only pictures the studio wrote do";
        return std::nullopt;
    }
    if (found->text.find('\0') != std::string::npos) {
        error = "the scene in " + kit::shown(path) +
                " holds a NUL byte, which no PNG text may: the file is damaged";
        return std::nullopt;
    }
    std::string refused;
    auto scene = parse_scene(found->text, refused);
    if (!scene) error = "the scene in " + kit::shown(path) + ": " + refused;
    return scene;
}

int run_studio(int argc, char** argv) {
    std::optional<std::string> scene_line, scene_file, export_path, sweep_text;
    bool tour = false, fullscreen = false, help = false, version = false;
    int scale = 1;
    bool scale_given = false;
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
        } else if ((match = take("--sweep")) != kit::Match::no) {
            if (match == kit::Match::missing_value)
                return bad("--sweep needs KEY=FROM:TO:COUNT, e.g. kick=0.5:1.5:100");
            sweep_text = std::string(value);
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
        std::printf("%s %s\n", program_name, FIGURES_VERSION);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (scene_line && scene_file) return bad("--scene and --scene-from exclude each other");
    if (scale_given && fullscreen) return bad("--scale and --fullscreen exclude each other");
    if (sweep_text && !export_path) return bad("--sweep writes frames: add --export DIR");
    if (tour && export_path) return bad("--tour is a slide show: it does not go with --export");
    if (export_path && (scale_given || fullscreen))
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
        return export_sweep(scene, *sweep, *export_path);
    }
    if (export_path) return export_strip(scene, *export_path);
    return run_window(
        scene, {.scale = scale, .fullscreen = fullscreen, .clock_seed = {}, .seed = {}}, tour);
}

} // namespace explore
