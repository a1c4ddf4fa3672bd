// The kit on a desktop: a window of SDL 1.2's, and the process's signals around it.
#include "command_line.hpp"
#include "failure.hpp"
#include "keys.hpp"
#include "kit/canvas.hpp"
#include "platform.hpp"
#include "presenter.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {
namespace {

// The window driver SDL picked. Without a display SDL quietly falls back to an invisible
// window, and the show would wait for keys that nobody can press.
bool is_invisible_driver() {
    char name[64] = {};
    if (!SDL_VideoDriverName(name, sizeof name)) return false;
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

// SDL answers SIGINT and SIGTERM by queueing a quit request, and a quit request only ends the
// current wait: a viewer's Ctrl+C, or a system stopping the program, would have to be repeated
// once per slide. The two signals keep what they did before SDL started: end the program (killed
// by the signal, the status a shell reports as 130 or 143), or stay ignored when the program was
// started with them ignored (nohup, a background job). SDL 2 (under sdl12-compat) is asked not
// to install its handlers; the original SDL 1.2 has no such switch, so the signals' actions are
// put back once the start-up is over. Across the start-up the two signals are blocked: one that
// arrives meanwhile waits, and ends the program as soon as the start-up is over, instead of
// meeting SDL's handler.
struct StopSignals {
    struct sigaction interrupt, terminate;
    sigset_t mask;
};

StopSignals hold_stop_signals() {
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    StopSignals saved{};
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, &saved.mask);
    sigaction(SIGINT, nullptr, &saved.interrupt);
    sigaction(SIGTERM, nullptr, &saved.terminate);
    return saved;
}

void release_stop_signals(const StopSignals& saved) {
    sigaction(SIGINT, &saved.interrupt, nullptr);
    sigaction(SIGTERM, &saved.terminate, nullptr);
    pthread_sigmask(SIG_SETMASK, &saved.mask, nullptr);
}

// What SDL and the libraries under it print on standard error while looking for a display
// (Wayland's "XDG_RUNTIME_DIR is invalid or not set", say) is held back in an unnamed file: when
// no window opens, the program's own message says what went wrong, and the noise is dropped;
// when one does, it is passed on.
struct HeldErrors {
    std::FILE* file = nullptr;
    int saved = -1;
};

HeldErrors hold_errors() {
    HeldErrors held;
    std::fflush(stderr);
    held.file = std::tmpfile();
    if (held.file) held.saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (held.saved < 0 || dup2(fileno(held.file), STDERR_FILENO) < 0) {
        if (held.saved >= 0) close(held.saved);
        if (held.file) std::fclose(held.file);
        return {};
    }
    return held;
}

void release_errors(HeldErrors& held, bool pass_on) {
    if (!held.file) return;
    std::fflush(stderr);
    dup2(held.saved, STDERR_FILENO);
    close(held.saved);
    if (pass_on) {
        std::rewind(held.file);
        char buffer[4096];
        size_t size;
        while ((size = std::fread(buffer, 1, sizeof buffer, held.file)) > 0)
            std::fwrite(buffer, 1, size, stderr);
    }
    std::fclose(held.file);
    held.file = nullptr;
}

// The display a window was looked for on, for the message when none answered.
std::string displays_tried() {
    std::string tried;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        tried += (tried.empty() ? "" : " nor ") + std::string(variable) + "=" + shown(value);
    }
    return tried.empty() ? "no display to open a window on: DISPLAY is not set"
                         : "no display to open a window on: nothing answers at " + tried;
}

// Debian's SDL 1.2 (and most systems' today) is sdl12-compat, a layer over SDL 2 that numbers
// itself 1.2.50 and up. It puts the 800x600 surface on view through a renderer that can enlarge
// it: SDL12COMPAT_WINDOW_SCALING makes the window that many times larger, a full-screen mode is
// enlarged to the screen with bars where the shapes differ, and SDL12COMPAT_SCALE_METHOD chooses
// the filter. The original SDL 1.2 enlarges nothing.
bool can_enlarge() {
    const SDL_version* version = SDL_Linked_Version();
    return version->major == 1 && version->minor == 2 && version->patch >= 50;
}

// Nearest neighbour keeps every pixel a sharp block of one colour (the default blurs them), also
// when the window manager enlarges the window. A method the user chose stays.
void ask_for_sharp_pixels(int scale) {
    setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
    if (scale > 1) setenv("SDL12COMPAT_WINDOW_SCALING", std::to_string(scale).c_str(), 1);
}

// What a window needs around its picture: the window manager's frame (a title bar and borders)
// and the desktop's panels. SDL 1.2 tells the screen's size only, not the frame nor the area the
// panels leave, so room is kept for them: a title bar and a panel of about 32 pixels each, and
// borders at the sides.
constexpr int frame_width = 16;
constexpr int frame_height = 64;

// Why a window `scale` times 800x600 cannot be shown, before one is opened.
std::optional<std::string> scale_problem(int scale) {
    if (scale == 1) return std::nullopt;
    if (!can_enlarge()) {
        const SDL_version* version = SDL_Linked_Version();
        return "--scale needs SDL 1.2 as sdl12-compat provides it, which can enlarge the window; "
               "this is SDL " +
               std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
               std::to_string(version->patch) + ". --fullscreen may work instead.";
    }
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (!info || info->current_w <= 0 || info->current_h <= 0) return std::nullopt;
    const int room_w = info->current_w - frame_width, room_h = info->current_h - frame_height;
    const int width = screen_width * scale, height = screen_height * scale;
    if (width <= room_w && height <= room_h) return std::nullopt;
    const int fits = std::min(room_w / screen_width, room_h / screen_height);
    return "a " + std::to_string(width) + "x" + std::to_string(height) + " window (--scale " +
           std::to_string(scale) + ") with its frame does not fit the " +
           std::to_string(info->current_w) + "x" + std::to_string(info->current_h) + " screen: " +
           (fits >= 2 ? "--scale " + std::to_string(fits) + " is the largest that fits, "
                      : std::string()) +
           "--fullscreen fills it";
}

// The title names the program, the slide on view and what it shows, and the seed where the clock
// chose the colours, so that a palette someone liked can be shown again with --seed. It is plain
// ASCII (so are the captions): SDL hands it to X11 in the C library's "C" locale, where a dash
// outside ASCII arrives garbled in WM_NAME and leaves _NET_WM_NAME unset.
struct Title {
    const Program* program = nullptr;
    std::optional<unsigned> clock_seed;
};
Title title;

void show_title(int slide) {
    std::string text = title.program->name;
    if (slide > 0) {
        text += " - slide " + std::to_string(slide) + " of " +
                std::to_string(title.program->slide_count);
        if (const char* words = kit::caption(*title.program, slide); *words)
            text += std::string(": ") + words;
    }
    if (title.clock_seed) text += " - seed " + std::to_string(*title.clock_seed);
    SDL_WM_SetCaption(text.c_str(), title.program->name);
}

// Drawing writes the pixels directly: the surface stays locked where SDL needs that, except
// while it is put on view.
void lock_screen() {
    if (SDL_MUSTLOCK(screen)) SDL_LockSurface(screen);
}

void unlock_screen() {
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
}

// The window's flags, for setting its size again.
Uint32 video_flags = 0;

// What is on view. The studio draws straight into the window's surface: it is the screen. A
// slide show draws into an 800x600 surface of its own, in the window's pixel format, which the
// flip copies onto the window's: so the blank screens, and in full screen the band with the
// slide number and caption, never touch the slide's pixels, and the scripts draw, clip and
// export exactly as before. In full screen the window's surface is the whole screen at its own
// size, the picture enlarged into it here (presenter.hpp) rather than by the layer, which has
// no room beside the picture that a program could draw in: it enlarges one surface to the
// screen, with bars it paints itself.
struct Display {
    SDL_Surface* video = nullptr; // the window's surface
    bool own_screen = false;      // a slide show's: the screen is a surface of its own
    bool full = false;            // and the window's surface is the whole screen
    View view;
    int slide = 0;           // the slide the band names (0: none)
    std::string info;        // what the band says: "3/13 · the caption"
    FullScreenLayout layout; // of the whole screen, with the band while view.info is set
};
Display display;

PixelLayout pixel_layout(const SDL_PixelFormat* format) {
    return {.red_shift = format->Rshift,
            .green_shift = format->Gshift,
            .blue_shift = format->Bshift,
            .opaque = format->Amask};
}

Image image_of(SDL_Surface* surface) {
    return {static_cast<std::uint32_t*>(surface->pixels), surface->w, surface->h,
            static_cast<size_t>(surface->pitch) / 4, pixel_layout(surface->format)};
}

void lay_out_screen() {
    if (!display.full) return;
    display.layout = lay_out(display.video->w, display.video->h,
                             display.view.info ? std::string_view(display.info) : "");
}

// Puts on view what the viewer is to see: the screen (in full screen enlarged, with the band
// when asked for), or one colour while the slide is blanked.
void show() {
    if (!display.own_screen) {
        unlock_screen();
        SDL_Flip(screen);
        lock_screen();
        return;
    }
    SDL_Surface* video = display.video;
    if (SDL_MUSTLOCK(video)) SDL_LockSurface(video);
    const Image target = image_of(video);
    if (display.view.blank != Blank::none) {
        const Rgb colour = display.view.blank == Blank::white ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
        fill(target, target.layout.pack(colour));
    } else if (display.full) {
        compose(target, image_of(screen), display.layout);
    } else {
        for (int y = 0; y < std::min(target.height, screen->h); ++y)
            std::copy_n(pixel_address(0, y), std::min(target.width, screen->w), target.row(y));
    }
    if (SDL_MUSTLOCK(video)) SDL_UnlockSurface(video);
    SDL_Flip(video);
}

// The slide the band names; returns whether that changed what the band says.
bool name_slide(const Program& program, int slide) {
    if (slide == display.slide) return false;
    display.slide = slide;
    display.info.clear();
    if (slide > 0) {
        display.info = std::to_string(slide) + "/" + std::to_string(program.slide_count);
        // The captions are plain ASCII; the dot between is U+00B7 in UTF-8.
        if (const char* words = kit::caption(program, slide); *words)
            display.info += std::string(" \xc2\xb7 ") + words;
    }
    if (!display.view.info) return false;
    lay_out_screen();
    return display.full;
}

// A window made smaller than the picture would show it with whole rows and columns dropped
// (nearest-neighbour scaling keeps pixels sharp when enlarging, and loses them when shrinking):
// one-pixel lines would vanish. SDL 1.2 cannot set a smallest size, so a window shrunk below
// 800x600 is set back to 800x600, its picture kept.
void keep_whole_size(const SDL_ResizeEvent& resize) {
    if (display.full || (resize.w >= screen_width && resize.h >= screen_height)) return;
    if (display.own_screen) {
        SDL_Surface* again = SDL_SetVideoMode(screen_width, screen_height, 32, video_flags);
        if (!again)
            throw Failure(std::string("cannot set the window back to 800x600: ") + SDL_GetError());
        display.video = again;
        return;
    }
    std::vector<Uint32> picture(static_cast<size_t>(screen_width) * screen_height);
    for (int y = 0; y < screen_height; ++y)
        std::copy_n(pixel_address(0, y), screen_width, picture.data() + y * screen_width);
    unlock_screen();
    SDL_Surface* again = SDL_SetVideoMode(screen_width, screen_height, 32, video_flags);
    if (!again)
        throw Failure(std::string("cannot set the window back to 800x600: ") + SDL_GetError());
    screen = display.video = again;
    lock_screen();
    for (int y = 0; y < screen_height; ++y)
        std::copy_n(picture.data() + y * screen_width, screen_width, pixel_address(0, y));
}

// One line on the terminal as the show starts: the keys, and the seed the clock chose.
void tell_keys(const Program& program, std::optional<unsigned> clock_seed) {
    std::string line = std::string(program.name) + ": ";
    line += program.slide_count > 1
                ? "Right, PageDown, Space or any other key: next slide; Left, PageUp: back; "
                  "Home, End: first, last; "
                : "any key: end; ";
    line += "i: slide number and caption in full screen; b, w: black, white screen until a key; "
            "Esc or q: quit";
    if (clock_seed)
        line += "; seed " + std::to_string(*clock_seed) + " (--seed " +
                std::to_string(*clock_seed) + " draws these colours again)";
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// The size a slide show's full screen is drawn at: the screen's own, where SDL tells it and it
// holds the picture whole; otherwise 800x600, enlarged or shrunk by SDL as before.
std::pair<int, int> full_screen_size() {
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info && info->current_w >= screen_width && info->current_h >= screen_height)
        return {info->current_w, info->current_h};
    return {screen_width, screen_height};
}

// SDL's start-up, with the stop signals held and the start-up's own messages held back (see
// above); returns what went wrong.
std::optional<std::string> start_window(const platform::WindowSettings& settings, bool slide_show) {
    const int started = SDL_Init(SDL_INIT_VIDEO);
    if (started != 0) return std::string("cannot start the video system: ") + SDL_GetError();
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    if (is_invisible_driver() && !(requested && *requested)) {
        SDL_Quit();
        return displays_tried() +
               ". Run it on a desktop, or save the slides as images with --export DIR.";
    }
    if (auto problem = scale_problem(settings.scale)) {
        SDL_Quit();
        return problem;
    }
    // Where the layer enlarges, a window of the plain size may also be resized: the window
    // manager's full-screen and maximise then enlarge the picture (with bars) instead of leaving
    // it in a corner. The screen stays 800x600 either way. (The layer scales only windows of a
    // fixed size, and the original SDL 1.2 would leave the rest of a larger window empty.)
    const bool resizable = can_enlarge() && settings.scale == 1 && !settings.fullscreen;
    const Uint32 flags = SDL_HWSURFACE | SDL_DOUBLEBUF |
                         (settings.fullscreen ? SDL_FULLSCREEN : 0) |
                         (resizable ? SDL_RESIZABLE : 0);
    video_flags = flags;
    const auto [width, height] = slide_show && settings.fullscreen
                                     ? full_screen_size()
                                     : std::pair{screen_width, screen_height};
    SDL_Surface* video = SDL_SetVideoMode(width, height, 32, flags);
    std::string error;
    if (!video) {
        error = std::string(settings.fullscreen ? "cannot show the picture full screen: "
                                                : "cannot open an 800x600 window: ") +
                SDL_GetError();
    } else if (slide_show) {
        const SDL_PixelFormat* format = video->format;
        screen = SDL_CreateRGBSurface(SDL_SWSURFACE, screen_width, screen_height, 32, format->Rmask,
                                      format->Gmask, format->Bmask, 0);
        if (!screen) error = std::string("cannot make the picture's surface: ") + SDL_GetError();
    } else {
        screen = video;
    }
    if (!error.empty()) {
        screen = nullptr;
        SDL_Quit();
        return error;
    }
    display = Display{};
    display.video = video;
    display.own_screen = slide_show;
    display.full = slide_show && settings.fullscreen;
    lay_out_screen();
    return std::nullopt;
}

} // namespace

std::optional<std::string> platform::open_window(const Program& program,
                                                 const WindowSettings& settings) {
    // A slide show (a window with no slides is the studio's, which takes clicks and tells its own
    // keys): a picture of its own behind the window's, a projected picture without a pointer
    // over it (a pointer moved later shows again only where the layer allows; the keys do all
    // the work), and its keys on the terminal.
    const bool slide_show = settings.role == platform::WindowRole::slide_show;
    ask_for_sharp_pixels(settings.scale);
    const StopSignals stop_signals = hold_stop_signals();
    HeldErrors held = hold_errors();
    auto error = start_window(settings, slide_show);
    release_errors(held, !error);
    // Opening the window may have started parts of SDL that installed their handlers.
    release_stop_signals(stop_signals);
    if (error) return error;
    title = {.program = &program, .clock_seed = settings.clock_seed};
    show_title(0);
    // A slide show: a projected picture without a pointer over it (a pointer moved later shows
    // again only where the layer allows; the keys do all the work), and its keys on the terminal.
    if (slide_show) {
        if (settings.fullscreen) SDL_ShowCursor(SDL_DISABLE);
        tell_keys(program, settings.clock_seed);
    }
    lock_screen();
    return std::nullopt;
}

void platform::close_window() {
    unlock_screen();
    if (display.own_screen) SDL_FreeSurface(screen);
    screen = nullptr;
    display = {};
    SDL_Quit();
}

void platform::flip_screen() {
    show();
}

void platform::announce_slide(int slide) {
    show_title(slide);
    if (name_slide(*title.program, slide)) show();
}

// A window that was covered, minimised, unmapped or resized has lost its picture, and the window
// system reports it with expose (and resize) events; the wait shows the same slide again and
// goes on waiting. Exposures come in bursts (one for each uncovered part), so the slide is put
// back once, when the burst has been read. The presenter's keys change the view and go on
// waiting (keys.hpp: take_move).
Move platform::wait_for_move() {
    SDL_Event event;
    bool exposed = false;
    for (;;) {
        if (exposed && SDL_PollEvent(nullptr) == 0) {
            show();
            exposed = false;
        }
        if (SDL_WaitEvent(&event) == 0)
            throw Failure(std::string("waiting for a key press failed: ") + SDL_GetError());
        Move move = Move::none;
        if (event.type == SDL_KEYDOWN) move = key_move(event.key.keysym.sym, event.key.keysym.mod);
        if (event.type == SDL_QUIT) move = Move::forward;
        if (event.type == SDL_VIDEORESIZE) keep_whole_size(event.resize);
        if (event.type == SDL_VIDEOEXPOSE || event.type == SDL_VIDEORESIZE) exposed = true;
        const View before = display.view;
        move = take_move(display.view, move);
        if (display.view.info != before.info) lay_out_screen();
        // In a window the title bar names the slide and its caption already: i shows nothing
        // more there.
        if (display.view.blank != before.blank ||
            (display.full && display.view.info != before.info))
            show();
        if (move != Move::none) return move;
    }
}

void platform::moving_on(int next) {
    name_slide(*title.program, next);
}

} // namespace kit
