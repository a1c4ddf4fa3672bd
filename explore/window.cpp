// explore's window: the portrait's tile at the top with its kept part outlined, the strip below
// it, every change an operation of the engine's editor.
#include "desktop.hpp"
#include "editor.hpp"
#include "kit/canvas.hpp"
#include "kit/files.hpp"
#include "kit/raster.hpp"
#include "picture.hpp"
#include "png_texts.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace explore {
namespace {

// The program's record for the kit's window: its name.
const kit::Program window_program{.name = program_name};

struct Window {
    Editor editor;
    kit::PixelBuffer portrait; // the tile at the window's height
    int left = 0, top = 24;    // where the portrait stands on the screen
    Drawing drawing;           // the threads a redraw takes
};

int strip_top(const Window& window) {
    return window.top + window.portrait.image().height + 32;
}

void set_title(const Window& window, const std::string& prefix = "") {
    const Scene& scene = window.editor.scene();
    const std::string title =
        prefix + "explore - kick " + number_text(scene.kick) + " - " + group_label(scene.group);
    SDL_WM_SetCaption(title.c_str(), program_name);
}

// Draws the whole screen for the scene and puts it on view.
void redraw(Window& window) {
    const Scene& scene = window.editor.scene();
    const int height = scene.tile, width = tile_width_for(height);
    const kit::Image screen = kit::screen_image();
    if (!window.portrait.resize(width, height, screen.layout))
        throw std::runtime_error("not enough memory for the tile");
    window.left = (kit::screen_width - width) / 2;
    kit::clear_screen(kit::map_rgb(224, 224, 224));
    const kit::Image& portrait = window.portrait.image();
    // The strip stands below the portrait and its outline.
    const int top = strip_top(window);
    draw_scene(scene, scene_colours(scene, screen.layout), portrait,
               screen.rows(top, std::min(height, screen.height - top)), window.drawing);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            kit::put_pixel(window.left + x, window.top + y, portrait.row(y)[x]);
    // The kept part outlined just outside it, so that every kept pixel stays in view.
    const Uint32 outline = kit::map_rgb(255, 0, 0);
    const Rect kept = kept_part(scene.group, scene.keep, width, height);
    const int x0 = window.left + kept.left - 1, y0 = window.top + kept.top - 1;
    const int x1 = window.left + kept.left + kept.width, y1 = window.top + kept.top + kept.height;
    kit::draw_line_clipped(x0, y0, x1, y0, outline);
    kit::draw_line_clipped(x1, y0, x1, y1, outline);
    kit::draw_line_clipped(x1, y1, x0, y1, outline);
    kit::draw_line_clipped(x0, y1, x0, y0, outline);
    set_title(window);
    kit::platform::flip_screen();
}

// Saves the strip under a name no file has yet: explore-GROUP-kick-K.png, then -2, -3, ...
void save(const Scene& scene) {
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        complain(1, std::string("cannot save here: ") + std::strerror(errno));
        return;
    }
    kit::PixelBuffer strip;
    if (!render_strip(scene, kit::xrgb_layout, strip)) {
        close(folder);
        complain(1, "not enough memory for the strip: give a smaller size=");
        return;
    }
    const kit::TemporaryFileGuard guard;
    const auto texts = picture_texts(scene);
    const std::string stem = std::string("explore-") + names_of(scene.group).short_name + "-kick-" +
                             number_text(scene.kick);
    for (int n = 1; n < 10000; ++n) {
        std::string name = stem;
        if (n > 1) name += '-' + std::to_string(n);
        name += ".png";
        const auto failure =
            kit::write_png_file(folder, name, strip.image(), texts, kit::Replace::never);
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

enum class Action { none, redraw, quit };

Action on_key(Window& window, const SDL_keysym& key) {
    Editor& editor = window.editor;
    const bool control = key.mod & KMOD_CTRL, shift = key.mod & KMOD_SHIFT;
    const Scene before = editor.scene();
    switch (key.sym) {
    case SDLK_q:
    case SDLK_ESCAPE:
        return Action::quit;
    case SDLK_RIGHTBRACKET:
        editor.step_kick(1);
        break;
    case SDLK_LEFTBRACKET:
        editor.step_kick(-1);
        break;
    case SDLK_PAGEUP:
        editor.step_kick(10);
        break;
    case SDLK_PAGEDOWN:
        editor.step_kick(-10);
        break;
    case SDLK_g:
        editor.next_group();
        break;
    case SDLK_k:
        editor.next_part();
        break;
    case SDLK_LEFT:
        editor.step_window(-1, 0);
        break;
    case SDLK_RIGHT:
        editor.step_window(1, 0);
        break;
    case SDLK_UP:
        editor.step_window(0, 1);
        break;
    case SDLK_DOWN:
        editor.step_window(0, -1);
        break;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS:
        editor.zoom_in();
        break;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
        editor.zoom_out();
        break;
    case SDLK_c:
        editor.next_palette();
        break;
    case SDLK_u:
        if (shift)
            editor.redo();
        else
            editor.undo();
        break;
    case SDLK_z:
        if (!control) return Action::none;
        if (shift)
            editor.redo();
        else
            editor.undo();
        break;
    case SDLK_y:
        if (!control) return Action::none;
        editor.redo();
        break;
    case SDLK_BACKSPACE:
        editor.undo();
        break;
    case SDLK_r:
        editor.reset();
        break;
    case SDLK_s:
        save(editor.scene());
        return Action::none;
    case SDLK_p:
        std::printf("%s\n", print_scene(editor.scene()).c_str());
        std::fflush(stdout);
        return Action::none;
    default:
        if (key.sym >= SDLK_1 && key.sym <= SDLK_7) {
            editor.set_group(static_cast<Group>(key.sym - SDLK_1));
            break;
        }
        return Action::none;
    }
    return editor.scene() == before ? Action::none : Action::redraw;
}

Action on_click(Window& window, int x, int y) {
    const kit::Image& portrait = window.portrait.image();
    return window.editor.plant({x - window.left, y - window.top}, portrait.width, portrait.height)
               ? Action::redraw
               : Action::none;
}

// Handles every event waiting (so that a held key does not fall behind), then redraws once.
// Returns false when the window should close.
bool handle_events(Window& window) {
    SDL_Event event;
    if (SDL_WaitEvent(&event) == 0)
        throw std::runtime_error(std::string("waiting for input failed: ") + SDL_GetError());
    bool draw = false, show = false;
    do {
        Action action = Action::none;
        if (event.type == SDL_QUIT) return false;
        if (event.type == SDL_KEYDOWN) action = on_key(window, event.key.keysym);
        if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT)
            action = on_click(window, event.button.x, event.button.y);
        if (event.type == SDL_VIDEOEXPOSE || event.type == SDL_VIDEORESIZE) show = true;
        if (action == Action::quit) return false;
        if (action == Action::redraw) draw = true;
    } while (SDL_PollEvent(&event));
    if (draw)
        redraw(window);
    else if (show)
        kit::platform::flip_screen();
    return true;
}

// Blocks until a key press (true) or a quit request or q / Esc (false).
bool next_slide() {
    SDL_Event event;
    for (;;) {
        if (SDL_WaitEvent(&event) == 0)
            throw std::runtime_error(std::string("waiting for input failed: ") + SDL_GetError());
        if (event.type == SDL_QUIT) return false;
        if (event.type == SDL_KEYDOWN)
            return event.key.keysym.sym != SDLK_q && event.key.keysym.sym != SDLK_ESCAPE;
        if (event.type == SDL_VIDEOEXPOSE || event.type == SDL_VIDEORESIZE)
            kit::platform::flip_screen();
    }
}

} // namespace

int run_window(const Scene& scene, const kit::platform::WindowSettings& settings, bool tour,
               Drawing drawing) {
    if (auto error = kit::platform::open_window(window_program, settings))
        return complain(1, *error);
    SDL_EnableKeyRepeat(SDL_DEFAULT_REPEAT_DELAY, 30);
    int status = 0;
    try {
        Window window{.editor = Editor(scene), .portrait = {}, .drawing = drawing};
        if (tour) {
            for (int g = 0; g < group_count; ++g) {
                window.editor.set_group(static_cast<Group>(g));
                redraw(window);
                set_title(window, "tour " + std::to_string(g + 1) + " of " +
                                      std::to_string(group_count) + " - ");
                if (!next_slide()) break;
            }
        } else {
            redraw(window);
            while (handle_events(window)) {
            }
        }
    } catch (const std::exception& failure) {
        status = complain(1, failure.what());
    }
    kit::platform::close_window();
    return status;
}

} // namespace explore
