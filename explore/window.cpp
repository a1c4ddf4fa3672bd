// explore's window: the portrait's tile at the top with its kept part outlined and its axes in
// the margins, the strip below it, the readouts and a status line around them, every change an
// operation of the engine's editor.
//
// The pictures are drawn on a thread of their own (a Painter) and the saves on another (a
// Saver), each into pixels of its own: the main thread alone touches SDL and the window's
// surface, composing the frame from the newest picture and the margins. So keys, clicks and q
// are taken at once however long a picture takes, a newer change abandons the drawing it
// overtakes (whose picture is never shown), and the help, the readouts and the status line come
// and go without a picture being drawn again.
#include "axes.hpp"
#include "desktop.hpp"
#include "dynamics.hpp"
#include "editor.hpp"
#include "kit/canvas.hpp"
#include "kit/files.hpp"
#include "kit/raster.hpp"
#include "kit/text.hpp"
#include "picture.hpp"
#include "png_texts.hpp"
#include "save_names.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace explore {
namespace {

// The program's record for the kit's window: its name.
const kit::Program window_program{.name = program_name};

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------------
// The keys and gestures, for the help over the window, the start-up line and --help.

struct KeyHelp {
    const char* keys;
    const char* does;
};

constexpr KeyHelp studio_keys[] = {
    {"click on the portrait", "start an orbit there"},
    {"drag on the portrait", "move the window onto the plane"},
    {"wheel on the portrait", "zoom in / out about the pointer"},
    {"[  ]", "kick down / up by 0.01"},
    {"Page Down, Page Up", "kick down / up by 0.1"},
    {"1 to 7, g", "group p1 p11g p1m1 p2 p2mg p11m p2mm; g the next"},
    {"k", "keep the next part of the tile"},
    {"arrows", "move the window by an eighth of it"},
    {"+  -", "zoom in / out by two"},
    {"c", "the next palette"},
    {"o", "the next colouring: by start, chaos, density"},
    {"u, Ctrl+Z, Backspace", "undo the last change (any change)"},
    {"Shift+U, Ctrl+Shift+Z, Ctrl+Y", "redo what was undone"},
    {"r", "reset to the starting scene (undo brings it back)"},
    {"s", "save the strip at the scene's size as a new PNG here"},
    {"S", "save what the window shows (800 x tile) likewise"},
    {"p", "print the scene line on the terminal"},
    {"h, ?, F1", "this help; the same key, Esc or a click closes it"},
    {"q, Esc, closing the window", "quit (at once, also while drawing)"},
};

constexpr KeyHelp tour_keys[] = {
    {"Right, Space, Page Down", "the next group (after the seventh: the end)"},
    {"Left, Page Up, Backspace", "the group before"},
    {"Home, End", "the first group, the last"},
    {"any other key", "the next group"},
    {"h, ?, F1", "this help; the same key, Esc or a click closes it"},
    {"q, Esc, closing the window", "quit"},
};

// The start-up line on the terminal: the help key, then the keys in short.
void tell_keys(bool tour) {
    if (tour)
        std::printf("%s: h, ? or F1: help; Right, Space: next group; Left: back; Home, End: "
                    "first, last; q or Esc: quit\n",
                    program_name);
    else
        std::printf("%s: h, ? or F1: help with every key; click: an orbit; drag: pan; wheel: "
                    "zoom; [ ] PageUp PageDown: kick; 1-7 g: group; k: part; c: palette; o: "
                    "colouring; u Ctrl+Z: undo; Shift+U Ctrl+Y: redo; r: reset; s S: save; p: "
                    "print; q: quit\n",
                    program_name);
    std::fflush(stdout);
}

// ---------------------------------------------------------------------------------------------
// Drawing in the background.

// A picture of a scene as the window shows it: the portrait's tile and the strip's first rows,
// as wide as the window.
struct Picture {
    Scene scene;
    kit::PixelBuffer portrait, strip;
    std::uint64_t number = 0; // of the request it answers (0: none yet)
};

// Draws the newest scene asked for, on a thread of its own, into pictures of its own. A request
// overtakes the drawing in progress: it is abandoned within a run of orbits, and its picture
// never shown.
class Painter {
  public:
    Painter(Drawing drawing, kit::PixelLayout layout)
        : drawing_(drawing), layout_(layout), thread_([this] { run(); }) {}
    ~Painter() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    // Asks for the scene's picture; returns at once.
    void request(const Scene& scene) {
        {
            const std::lock_guard lock(mutex_);
            waiting_ = scene;
            waiting_number_ = ++newest_;
        }
        wake_.notify_one();
    }
    std::uint64_t newest() const { return newest_; }

    // The newest picture, when it is done and nothing has overtaken it: swapped into `shown`.
    bool take(Picture& shown) {
        const std::lock_guard lock(mutex_);
        if (!done_ready_) return false;
        done_ready_ = false;
        if (done_.number != newest_) return false;
        std::swap(done_, shown);
        return true;
    }

  private:
    static bool go_on(void* self) {
        const auto& painter = *static_cast<const Painter*>(self);
        return painter.newest_ == painter.drawing_number_ && !painter.stopping_;
    }

    void run() {
        for (;;) {
            Scene scene;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stopping_ || waiting_; });
                if (stopping_) return;
                scene = *waiting_;
                drawing_number_ = waiting_number_;
                waiting_.reset();
            }
            const int height = scene.tile, width = tile_width_for(height);
            // The tile is at most 792x264: no window lacks the memory for it.
            if (!work_.portrait.resize(width, height, layout_) ||
                !work_.strip.resize(kit::screen_width, height, layout_))
                continue;
            Drawing drawing = drawing_;
            drawing.go_on = go_on;
            drawing.context = this;
            draw_scene(scene, scene_colours(scene, layout_), work_.portrait.image(),
                       work_.strip.image(), drawing);
            if (!go_on(this)) continue;
            const std::lock_guard lock(mutex_);
            work_.scene = scene;
            work_.number = drawing_number_;
            std::swap(work_, done_);
            done_ready_ = true;
        }
    }

    const Drawing drawing_;
    const kit::PixelLayout layout_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Scene> waiting_;
    std::uint64_t waiting_number_ = 0;
    std::atomic<std::uint64_t> newest_{0}, drawing_number_{0};
    std::atomic<bool> stopping_{false};
    Picture work_, done_;
    bool done_ready_ = false;
    std::thread thread_; // last: it starts once everything above is made
};

// What a save said: the line for the status line.
struct SaveReport {
    std::string words;
};

// Writes the saves asked for, one after the other, on a thread of its own. Each has its name
// before it is drawn; the file is drawn, encoded and written once, under a temporary name renamed
// into place without replacing anything.
class Saver {
  public:
    struct Job {
        Scene scene;      // at the size to save
        std::string stem; // of the names of its series
        std::string name; // the first free one when it was asked for
    };

    Saver(Drawing drawing, int folder)
        : drawing_(drawing), folder_(folder),
          thread_(kit::thread_taking_no_signal([this] { run(); })) {}
    // A save being drawn is abandoned (and says so); one being written is finished.
    ~Saver() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
        for (const Job& job : jobs_)
            complain(1, job.name + " was not saved: the window closed before its turn");
    }
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;

    void request(Job job) {
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

    bool busy() {
        const std::lock_guard lock(mutex_);
        return !jobs_.empty() || working_;
    }

    // The names saves asked for hold or will hold, besides those the folder has.
    std::vector<std::string> names_taken() {
        const std::lock_guard lock(mutex_);
        std::vector<std::string> names = done_names_;
        for (const Job& job : jobs_) names.push_back(job.name);
        if (working_) names.push_back(current_name_);
        return names;
    }

    std::vector<SaveReport> take_reports() {
        const std::lock_guard lock(mutex_);
        return std::exchange(reports_, {});
    }

    // The names of the entries of the folder saved into.
    std::vector<std::string> folder_names() const { return kit::names_in(folder_); }

  private:
    static bool go_on(void* self) { return !static_cast<const Saver*>(self)->stopping_; }

    void report(std::string words) {
        const std::lock_guard lock(mutex_);
        reports_.push_back({std::move(words)});
    }

    void run() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
                if (stopping_) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
                working_ = true;
                current_name_ = job.name;
            }
            save(job);
            const std::lock_guard lock(mutex_);
            working_ = false;
        }
    }

    void save(const Job& job) {
        const Scene& scene = job.scene;
        const std::string size = std::to_string(scene.width) + "x" + std::to_string(scene.height);
        kit::PixelBuffer strip;
        Drawing drawing = drawing_;
        drawing.go_on = go_on;
        drawing.context = this;
        if (!render_strip(scene, kit::xrgb_layout, strip, drawing)) {
            complain(1, "cannot save " + job.name + ": not enough memory for a " + size +
                            " strip: give a smaller size=");
            report("not saved: no memory for a " + size + " strip");
            return;
        }
        if (stopping_) {
            complain(1, job.name + " was not saved: the window closed while it was drawn");
            return;
        }
        std::string name = job.name;
        const auto texts = picture_texts(scene);
        // What a killed save of this series left here goes first (its name is free again).
        kit::remove_abandoned_temporaries(
            folder_, [&](std::string_view found) { return found.starts_with(job.stem); });
        auto failure =
            kit::write_png_file(folder_, name, strip.image(), texts, kit::Replace::never);
        // Someone else took the name meanwhile: the next free one, written again.
        for (int tries = 0; failure && failure->code == EEXIST && tries < 100; ++tries) {
            name = free_save_name(job.stem, folder_names());
            failure = kit::write_png_file(folder_, name, strip.image(), texts, kit::Replace::never);
        }
        if (failure) {
            complain(1, "cannot save " + name + ": " + failure->reason);
            report("could not save " + name + ": " + failure->reason);
            return;
        }
        kit::sync_folder(folder_);
        std::printf("%s: saved %s: %s\n", program_name, name.c_str(), print_scene(scene).c_str());
        std::fflush(stdout);
        {
            const std::lock_guard lock(mutex_);
            done_names_.push_back(name);
        }
        report("saved " + name + " (" + size + ")");
    }

  private:
    const Drawing drawing_;
    const int folder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool working_ = false;
    std::string current_name_;
    std::vector<std::string> done_names_;
    std::vector<SaveReport> reports_;
    std::atomic<bool> stopping_{false};
    std::thread thread_; // last: it starts once everything above is made
};

// ---------------------------------------------------------------------------------------------
// The layout of the 800x600 window.

constexpr int line_height = kit::text_cell_height + 2;
constexpr int tick_length = 4;

// Where everything stands. The picture's regions (the portrait and the strip) hold only the
// picture's pixels (and the kept part's outline, just outside it); everything else is drawn
// around them.
struct Layout {
    int tile_width = 0, tile_height = 0;
    int portrait_left = 0, portrait_top = 0;
    int strip_top = 0, strip_rows = 0;
    int readout_y = 0;     // above the portrait: the kick, the group, the pointer's (theta, p)
    int theta_ticks_y = 0; // under the portrait's outline: theta's ticks, then their labels
    int theta_labels_y = 0;
    bool p_beside = false; // p's labels fit left of the portrait (else the readouts say its range)
    int last_orbit_y = 0;  // under the strip: what is known of the last planted orbit
    int legend_y = 0;      // the colours' legend
    int status_y = 0;      // what the window is doing and what it did
};

int widest_label(const std::vector<Tick>& ticks) {
    int widest = 0;
    for (const Tick& tick : ticks) widest = std::max(widest, kit::text_width(tick.label));
    return widest;
}

// The room left of the portrait that p's labels need: the widest, a gap, the tick and the
// outline.
int p_room(const Scene& scene) {
    return widest_label(p_ticks(scene)) + 4 + tick_length + 2;
}

Layout lay_out(const Scene& scene) {
    Layout layout;
    const int height = scene.tile, width = tile_width_for(height);
    layout.tile_width = width;
    layout.tile_height = height;
    layout.readout_y = 2;
    layout.portrait_top = layout.readout_y + line_height + 1;
    const int centred = (kit::screen_width - width) / 2, room = p_room(scene);
    layout.p_beside = kit::screen_width - width >= room;
    layout.portrait_left = layout.p_beside ? std::max(centred, room) : centred;
    layout.theta_ticks_y = layout.portrait_top + height + 1;
    layout.theta_labels_y = layout.theta_ticks_y + tick_length + 1;
    layout.strip_top = layout.theta_labels_y + kit::text_cell_height + 2;
    // Three rows under the strip; a strip too tall for them loses its last rows on the screen
    // (never in what is saved).
    const int rows_top = kit::screen_height - 3 * line_height;
    layout.strip_rows = std::clamp(rows_top - 2 - layout.strip_top, 0, height);
    layout.last_orbit_y = std::min(layout.strip_top + layout.strip_rows + 3, rows_top);
    layout.legend_y = layout.last_orbit_y + line_height;
    layout.status_y = layout.legend_y + line_height;
    return layout;
}

// ---------------------------------------------------------------------------------------------
// The studio: its editor, its drawings and what the window shows besides the picture.

// A press of the left button on the portrait: a click until it moves, then a drag.
struct Press {
    int x = 0, y = 0;      // where it went down (screen pixels)
    bool dragging = false; // it moved further than a click's slack
    bool moved = false;    // the drag has changed the scene (its next steps join that change)
};

// Pointer moves shorter than this (pixels) are still a click, as on the page.
constexpr int click_slack = 6;

// A wheel notch zooms by the cube root of two, as the page's wheel does for one notch.
constexpr double wheel_zoom = 1.2599210498948732;

// How long a drawing runs before the window says it is drawing.
constexpr auto drawing_patience = std::chrono::milliseconds(150);

struct Studio {
    Studio(Editor start, Painter& painter_, Saver& saver_)
        : editor(std::move(start)), painter(painter_), saver(saver_) {}
    Editor editor;
    Painter& painter;
    Saver& saver;
    std::string folder_problem; // why saves cannot go into the current folder, if they cannot
    bool tour = false;
    int tour_group = 0;

    Picture shown; // the picture on view (number 0: none yet)
    Layout layout; // of the picture on view
    Scene asked;   // the scene last asked for
    Clock::time_point asked_at;
    bool says_drawing = false;
    std::optional<std::pair<int, int>> pointer; // on the screen, while over the window
    std::optional<Press> press;
    std::string status;
    bool help = false;
};

bool is_drawing(const Studio& studio) {
    return studio.shown.number != studio.painter.newest();
}

std::string title_of(const Studio& studio) {
    const Scene& scene = studio.editor.scene();
    std::string title =
        "explore - kick " + number_text(scene.kick) + " - " + group_label(scene.group);
    if (studio.tour)
        title = "tour " + std::to_string(studio.tour_group + 1) + " of " +
                std::to_string(group_count) + " - " + title;
    return title;
}

// Asks for the editor's scene, if it is not the one asked for last.
void ask(Studio& studio) {
    if (studio.editor.scene() == studio.asked && studio.painter.newest() != 0) return;
    studio.asked = studio.editor.scene();
    studio.asked_at = Clock::now();
    studio.painter.request(studio.asked);
    const std::string title = title_of(studio);
    SDL_WM_SetCaption(title.c_str(), program_name);
}

// The text cut to `cells` characters (UTF-8), its end an ellipsis where it was cut.
std::string fit(std::string_view text, int cells) {
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xc0) == 0x80) continue;
        if (++count == cells && cells > 0) {
            std::size_t end = i + 1;
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
                ++end;
            if (end < text.size()) return std::string(text.substr(0, i)) + "\xe2\x80\xa6";
        }
    }
    return std::string(text);
}

std::string group_words(Group group) {
    const GroupNames& names = names_of(group);
    std::string words = names.short_name;
    if (std::strcmp(names.long_name, names.short_name) != 0)
        words += std::string(" / ") + names.long_name;
    return words + " (" + names.descriptive + ")";
}

// ---------------------------------------------------------------------------------------------
// The frame.

constexpr kit::Rgb margin_colour{224, 224, 224}, ink{24, 24, 24}, quiet{90, 90, 90},
    status_ink{0, 40, 150}, help_paper{250, 250, 240}, help_edge{60, 60, 60};

void text(int x, int y, std::string_view words, kit::Rgb colour) {
    kit::draw_text(kit::screen_image(), x, y, words, colour);
}

void fill_box(int x, int y, int w, int h, kit::Rgb colour) {
    const kit::Image screen = kit::screen_image();
    const std::uint32_t pixel = screen.layout.pack(colour);
    for (int row = std::max(0, y); row < std::min(screen.height, y + h); ++row)
        for (int column = std::max(0, x); column < std::min(screen.width, x + w); ++column)
            screen.row(row)[column] = pixel;
}

// Labels along an axis, each centred on its place and kept on the screen: the window's ends
// first, then the multiples of pi/2 where they leave room.
struct Placed {
    int from, to;
};
bool clashes(const std::vector<Placed>& placed, Placed span) {
    for (const Placed& p : placed)
        if (span.from < p.to + 6 && p.from < span.to + 6) return true;
    return false;
}

void draw_theta_axis(const Scene& scene, const Layout& layout) {
    const std::vector<Tick> ticks = theta_ticks(scene);
    const int left = layout.portrait_left, width = layout.tile_width;
    std::vector<Placed> placed;
    const auto place = [&](const Tick& tick, bool force) {
        const int x = left + std::min(width - 1, static_cast<int>(tick.at * width));
        fill_box(x, layout.theta_ticks_y, 1, tick_length, ink);
        const int w = kit::text_width(tick.label);
        const int from = std::clamp(x - w / 2, 0, kit::screen_width - w);
        if (!force && clashes(placed, {from, from + w})) return;
        placed.push_back({from, from + w});
        text(from, layout.theta_labels_y, tick.label, ink);
    };
    place(ticks.front(), true);
    place(ticks.back(), true);
    for (std::size_t i = 1; i + 1 < ticks.size(); ++i) place(ticks[i], false);
    // The axis's name past its right end, where there is room.
    const int name_x = placed[1].to + 12;
    if (name_x + 2 * kit::text_cell_width <= kit::screen_width)
        text(name_x, layout.theta_labels_y, "θ", quiet);
}

void draw_p_axis(const Scene& scene, const Layout& layout) {
    const std::vector<Tick> ticks = p_ticks(scene);
    const int top = layout.portrait_top, height = layout.tile_height;
    const int tick_x = layout.portrait_left - 2 - tick_length;
    std::vector<Placed> placed;
    const auto place = [&](const Tick& tick, bool force) {
        const int y = top + std::min(height - 1, static_cast<int>(tick.at * height));
        fill_box(tick_x, y, tick_length, 1, ink);
        if (!layout.p_beside) return;
        const int h = kit::text_cell_height;
        const int from = std::clamp(y - h / 2, top, top + height - h);
        if (!force && clashes(placed, {from, from + h})) return;
        placed.push_back({from, from + h});
        text(tick_x - 4 - kit::text_width(tick.label), from, tick.label, ink);
    };
    place(ticks.front(), true);
    place(ticks.back(), true);
    for (std::size_t i = 1; i + 1 < ticks.size(); ++i) place(ticks[i], false);
    // The axis's name halfway up, left of its labels, where there is room.
    const int name_x = tick_x - 4 - widest_label(ticks) - 3 * kit::text_cell_width;
    if (layout.p_beside && name_x >= 0)
        text(name_x, top + (height - kit::text_cell_height) / 2, "p", quiet);
}

// The pointer's place on the portrait, as fractions of it, or nothing off it.
std::optional<std::pair<double, double>> on_portrait(const Layout& layout, int x, int y) {
    const int px = x - layout.portrait_left, py = y - layout.portrait_top;
    if (px < 0 || py < 0 || px >= layout.tile_width || py >= layout.tile_height)
        return std::nullopt;
    return std::pair{(px + 0.5) / layout.tile_width, (py + 0.5) / layout.tile_height};
}

// The pointer's words: "θ 1.234  p 5.678".
std::string point_text(const Scene& scene, double across, double down) {
    const PointWords words = point_words(scene, across, down);
    return "θ " + words.theta + "  p " + words.p;
}

void draw_readouts(const Studio& studio) {
    const Layout& layout = studio.layout;
    const Scene& scene = studio.editor.scene();
    std::string left = "kick " + number_text(scene.kick) + " · group " + group_words(scene.group);
    if (studio.tour)
        left = "tour " + std::to_string(studio.tour_group + 1) + "/" + std::to_string(group_count) +
               " · " + left;
    if (part_count(scene.group) > 1)
        left += " · part " + std::to_string(scene.keep % part_count(scene.group) + 1) + "/" +
                std::to_string(part_count(scene.group));
    // The pointer's words keep their room at the right whether or not the pointer is on the
    // portrait (they are as long anywhere on it), so that nothing moves as it comes and goes.
    int point_room = 0;
    if (studio.shown.number != 0) {
        const Scene& shown = studio.shown.scene;
        if (!layout.p_beside) {
            const std::vector<Tick> ticks = p_ticks(shown);
            left += " · p " + ticks.back().label + " to " + ticks.front().label;
        }
        point_room = kit::text_width(point_text(shown, 0, 0)) + 2 * kit::text_cell_width;
        if (studio.pointer)
            if (const auto at =
                    on_portrait(layout, studio.pointer->first, studio.pointer->second)) {
                const std::string point = point_text(shown, at->first, at->second);
                text(kit::screen_width - 4 - kit::text_width(point), layout.readout_y, point,
                     status_ink);
            }
    }
    const int cells = (kit::screen_width - 8 - point_room) / kit::text_cell_width;
    text(4, layout.readout_y, fit(left, cells), ink);
}

// A legend in one row: its scale as a bar, the marks as ticks on it (the kinds' boundary
// taller), then in words what the scale shows and where its marks stand.
void draw_legend(const Legend& legend, int y, int cells) {
    if (legend.colours.empty()) return;
    constexpr int bar_width = 256, x = 4;
    const int bar_top = y + 2, bar_height = kit::text_cell_height - 4;
    const int size = static_cast<int>(legend.colours.size());
    for (int column = 0; column < bar_width; ++column)
        fill_box(x + column, bar_top, 1, bar_height,
                 legend.colours[static_cast<std::size_t>(column * size / bar_width)]);
    std::string marks;
    for (const LegendMark& mark : legend.marks) {
        const int at =
            x + std::clamp(static_cast<int>(mark.at * (bar_width - 1)), 0, bar_width - 1);
        fill_box(at, mark.boundary ? y : bar_top + bar_height / 2, 1,
                 mark.boundary ? bar_height + 4 : bar_height - bar_height / 2, ink);
        if (!mark.boundary) marks += (marks.empty() ? "" : ", ") + mark.label;
    }
    // The marks first: a title cut short at the window's edge loses less.
    std::string words = marks.empty() ? "" : "ticks " + marks + "; ";
    for (const LegendMark& mark : legend.marks)
        if (mark.boundary) words += "tall tick: " + mark.label + "; ";
    words += legend.title;
    const int left = x + bar_width + kit::text_cell_width;
    text(left, y, fit(words, cells - (left / kit::text_cell_width)), ink);
}

void draw_status(const Studio& studio) {
    const Layout& layout = studio.layout;
    const int cells = kit::screen_width / kit::text_cell_width - 1;
    const std::string right = studio.says_drawing ? "drawing\xe2\x80\xa6" : "";
    const int room =
        cells - (right.empty() ? 0 : kit::text_width(right) / kit::text_cell_width + 2);
    if (!studio.status.empty()) text(4, layout.status_y, fit(studio.status, room), status_ink);
    if (!right.empty())
        text(kit::screen_width - 4 - kit::text_width(right), layout.status_y, right, status_ink);
    // The rows of what the picture on view tells of its dynamics: the last orbit planted (its
    // start, exponent and kind; a single orbit's worth of steps), and the legend of colourings
    // by chaos or density.
    if (studio.shown.number == 0) return;
    const Scene& shown = studio.shown.scene;
    if (const std::optional<OrbitReport> report = last_orbit_report(shown)) {
        // The kind first, where a cut at the window's edge cannot take it.
        char words[160];
        std::snprintf(words, sizeof words,
                      "last orbit: %s, exponent %.3g a step over %d; from θ %.4f, p %.4f",
                      kit::kind_name(report->kind), report->exponent, shown.length,
                      static_cast<double>(report->start.theta),
                      static_cast<double>(report->start.p));
        text(4, layout.last_orbit_y, fit(words, cells), ink);
    }
    if (const std::optional<Legend> legend = colour_legend(shown))
        draw_legend(*legend, layout.legend_y, cells);
}

void draw_help(bool tour) {
    const std::span<const KeyHelp> keys =
        tour ? std::span<const KeyHelp>(tour_keys) : std::span<const KeyHelp>(studio_keys);
    int keys_width = 0, does_width = 0;
    for (const KeyHelp& key : keys) {
        keys_width = std::max(keys_width, kit::text_width(key.keys));
        does_width = std::max(does_width, kit::text_width(key.does));
    }
    const std::string title = tour ? "explore's tour: its keys" : "explore: every key and gesture";
    const int pad = 12, gap = 18;
    const int w = std::min(kit::screen_width - 8, 2 * pad + keys_width + gap + does_width);
    const int h = 2 * pad + (static_cast<int>(keys.size()) + 2) * line_height;
    const int x = (kit::screen_width - w) / 2, y = (kit::screen_height - h) / 2;
    fill_box(x - 2, y - 2, w + 4, h + 4, help_edge);
    fill_box(x, y, w, h, help_paper);
    text(x + pad, y + pad, title, ink);
    int row = y + pad + 2 * line_height;
    for (const KeyHelp& key : keys) {
        text(x + pad, row, key.keys, status_ink);
        text(x + pad + keys_width + gap, row, key.does, ink);
        row += line_height;
    }
}

// Composes the whole frame from the picture on view and puts it on the screen.
void show(Studio& studio) {
    kit::clear_screen(kit::map_rgb(margin_colour.r, margin_colour.g, margin_colour.b));
    const Layout& layout = studio.layout;
    const Picture& picture = studio.shown;
    if (picture.number != 0) {
        const kit::Image& portrait = picture.portrait.image();
        const kit::Image screen = kit::screen_image();
        for (int y = 0; y < portrait.height; ++y)
            std::copy_n(portrait.row(y), portrait.width,
                        screen.row(layout.portrait_top + y) + layout.portrait_left);
        const kit::Image& strip = picture.strip.image();
        for (int y = 0; y < layout.strip_rows; ++y)
            std::copy_n(strip.row(y), strip.width, screen.row(layout.strip_top + y));
        // The kept part outlined just outside it, so that every kept pixel stays in view.
        const Scene& scene = picture.scene;
        const Uint32 outline = kit::map_rgb(255, 0, 0);
        const Rect kept = kept_part(scene.group, scene.keep, layout.tile_width, layout.tile_height);
        const int x0 = layout.portrait_left + kept.left - 1,
                  y0 = layout.portrait_top + kept.top - 1;
        const int x1 = layout.portrait_left + kept.left + kept.width,
                  y1 = layout.portrait_top + kept.top + kept.height;
        kit::draw_line_clipped(x0, y0, x1, y0, outline);
        kit::draw_line_clipped(x1, y0, x1, y1, outline);
        kit::draw_line_clipped(x1, y1, x0, y1, outline);
        kit::draw_line_clipped(x0, y1, x0, y0, outline);
        draw_theta_axis(scene, layout);
        draw_p_axis(scene, layout);
    }
    draw_readouts(studio);
    draw_status(studio);
    if (studio.help) draw_help(studio.tour);
    kit::platform::flip_screen();
}

// ---------------------------------------------------------------------------------------------
// Input.

// The folder's first free name for a save of `scene` (at its size), the folder looked at once.
void save(Studio& studio, Scene scene, bool window_size) {
    if (window_size) {
        scene.width = kit::screen_width;
        scene.height = scene.tile;
    }
    if (!studio.folder_problem.empty()) {
        complain(1, studio.folder_problem);
        studio.status = studio.folder_problem;
        return;
    }
    const std::string stem = save_stem(scene, window_size);
    std::vector<std::string> taken = studio.saver.folder_names();
    for (std::string& name : studio.saver.names_taken()) taken.push_back(std::move(name));
    const std::string name = free_save_name(stem, taken);
    studio.status = "saving " + name + " (" + std::to_string(scene.width) + "x" +
                    std::to_string(scene.height) + ")\xe2\x80\xa6";
    studio.saver.request({std::move(scene), stem, name});
}

// h, F1, and ? as the key that types it: Shift and the slash, or a keyboard's own ? key. (The
// key's typed character is not asked for: with it, SDL may report a second press for the text
// typed, and the help would open and close at once.)
bool is_help_key(const SDL_keysym& key) {
    return key.sym == SDLK_h || key.sym == SDLK_F1 || key.sym == SDLK_QUESTION ||
           (key.sym == SDLK_SLASH && (key.mod & KMOD_SHIFT));
}

enum class Action { none, quit };

// The tour's keys, as the slide shows take them.
Action on_tour_key(Studio& studio, const SDL_keysym& key) {
    const SDLKey sym = key.sym;
    const bool modifier = sym == SDLK_LSHIFT || sym == SDLK_RSHIFT || sym == SDLK_LCTRL ||
                          sym == SDLK_RCTRL || sym == SDLK_LALT || sym == SDLK_RALT ||
                          sym == SDLK_LMETA || sym == SDLK_RMETA || sym == SDLK_LSUPER ||
                          sym == SDLK_RSUPER || sym == SDLK_MODE || sym == SDLK_CAPSLOCK ||
                          sym == SDLK_NUMLOCK || sym == SDLK_SCROLLOCK;
    if (modifier || (key.mod & (KMOD_CTRL | KMOD_ALT | KMOD_META)) || sym == SDLK_F5)
        return Action::none;
    int& group = studio.tour_group;
    if (sym == SDLK_ESCAPE || sym == SDLK_q) return Action::quit;
    if (sym == SDLK_LEFT || sym == SDLK_PAGEUP || sym == SDLK_BACKSPACE)
        group = std::max(0, group - 1);
    else if (sym == SDLK_HOME)
        group = 0;
    else if (sym == SDLK_END)
        group = group_count - 1;
    else if (++group == group_count)
        return Action::quit;
    studio.editor.set_group(static_cast<Group>(group));
    // The title names the tour's place even where the group stays (Left on the first).
    const std::string title = title_of(studio);
    SDL_WM_SetCaption(title.c_str(), program_name);
    return Action::none;
}

Action on_key(Studio& studio, const SDL_keysym& key) {
    if (is_help_key(key) && !(key.mod & (KMOD_CTRL | KMOD_ALT))) {
        studio.help = !studio.help;
        return Action::none;
    }
    if (key.sym == SDLK_ESCAPE && studio.help) {
        studio.help = false;
        return Action::none;
    }
    if (studio.tour) return on_tour_key(studio, key);
    Editor& editor = studio.editor;
    const bool control = key.mod & KMOD_CTRL, shift = key.mod & KMOD_SHIFT;
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
    case SDLK_o:
        if (const auto refusal = editor.next_colouring()) studio.status = *refusal;
        break;
    case SDLK_u:
        if (!(shift ? editor.redo() : editor.undo()))
            studio.status = shift ? "nothing to redo" : "nothing to undo";
        break;
    case SDLK_z:
        if (control && !(shift ? editor.redo() : editor.undo()))
            studio.status = shift ? "nothing to redo" : "nothing to undo";
        break;
    case SDLK_y:
        if (control && !editor.redo()) studio.status = "nothing to redo";
        break;
    case SDLK_BACKSPACE:
        if (!editor.undo()) studio.status = "nothing to undo";
        break;
    case SDLK_r:
        editor.reset();
        break;
    case SDLK_s:
        if (!control) save(studio, editor.scene(), shift);
        break;
    case SDLK_p: {
        const std::string line = print_scene(editor.scene());
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        studio.status = "printed on the terminal: " + line;
        break;
    }
    default:
        if (key.sym >= SDLK_1 && key.sym <= SDLK_7)
            editor.set_group(static_cast<Group>(key.sym - SDLK_1));
        break;
    }
    return Action::none;
}

void on_press(Studio& studio, const SDL_MouseButtonEvent& button) {
    // A click on the help takes it away, and does nothing else.
    if (studio.help) {
        studio.help = false;
        return;
    }
    if (studio.tour) return;
    const Layout& layout = studio.layout;
    const auto at = on_portrait(layout, button.x, button.y);
    if (button.button == SDL_BUTTON_LEFT) {
        if (at) studio.press = Press{.x = button.x, .y = button.y};
    } else if ((button.button == SDL_BUTTON_WHEELUP || button.button == SDL_BUTTON_WHEELDOWN) &&
               at) {
        studio.editor.zoom(button.button == SDL_BUTTON_WHEELUP ? 1 / wheel_zoom : wheel_zoom,
                           at->first, at->second);
    }
}

void on_motion(Studio& studio, const SDL_MouseMotionEvent& motion) {
    studio.pointer = std::pair{static_cast<int>(motion.x), static_cast<int>(motion.y)};
    if (!studio.press) return;
    Press& press = *studio.press;
    const int dx = motion.x - press.x, dy = motion.y - press.y;
    if (!press.dragging && dx * dx + dy * dy > click_slack * click_slack) press.dragging = true;
    if (!press.dragging) return;
    // From where the drag started: the editor moves the window from where it stood then. A step
    // that changed nothing (the window at the torus's edge) leaves the drag to start afresh.
    const Scene before = studio.editor.scene();
    studio.editor.pan(static_cast<double>(-dx) / studio.layout.tile_width,
                      static_cast<double>(dy) / studio.layout.tile_height,
                      press.moved ? Gesture::continues : Gesture::starts);
    if (studio.editor.scene() != before) press.moved = true;
}

void on_release(Studio& studio, const SDL_MouseButtonEvent& button) {
    if (button.button != SDL_BUTTON_LEFT || !studio.press) return;
    const Press press = *studio.press;
    studio.press.reset();
    if (press.dragging) return;
    const Layout& layout = studio.layout;
    const Pixel pixel{button.x - layout.portrait_left, button.y - layout.portrait_top};
    if (!on_portrait(layout, button.x, button.y)) return;
    if (!studio.editor.plant(pixel, layout.tile_width, layout.tile_height))
        studio.status = "the scene holds " + std::to_string(max_orbits) +
                        " orbits, the most: undo one to start another";
}

// Handles every event waiting (so that a held key does not fall behind); false when the window
// is to close. Waits for one when nothing is being drawn or saved.
bool handle_events(Studio& studio, bool& changed) {
    SDL_Event event;
    if (is_drawing(studio) || studio.saver.busy()) {
        if (!SDL_PollEvent(&event)) {
            SDL_Delay(4);
            return true;
        }
    } else if (SDL_WaitEvent(&event) == 0) {
        throw std::runtime_error(std::string("waiting for input failed: ") + SDL_GetError());
    }
    do {
        changed = true;
        switch (event.type) {
        case SDL_QUIT:
            return false;
        case SDL_KEYDOWN:
            if (on_key(studio, event.key.keysym) == Action::quit) return false;
            break;
        case SDL_MOUSEBUTTONDOWN:
            on_press(studio, event.button);
            break;
        case SDL_MOUSEBUTTONUP:
            on_release(studio, event.button);
            break;
        case SDL_MOUSEMOTION:
            on_motion(studio, event.motion);
            break;
        case SDL_ACTIVEEVENT:
            if ((event.active.state & SDL_APPMOUSEFOCUS) && !event.active.gain)
                studio.pointer.reset();
            break;
        default:
            break;
        }
    } while (SDL_PollEvent(&event));
    return true;
}

void run_studio(Studio& studio) {
    ask(studio);
    studio.layout = lay_out(studio.editor.scene());
    show(studio);
    bool changed = false;
    while (handle_events(studio, changed)) {
        ask(studio);
        if (studio.painter.take(studio.shown)) {
            studio.layout = lay_out(studio.shown.scene);
            changed = true;
        }
        for (const SaveReport& report : studio.saver.take_reports()) {
            studio.status = report.words;
            changed = true;
        }
        const bool says = is_drawing(studio) && Clock::now() - studio.asked_at > drawing_patience;
        if (says != studio.says_drawing) {
            studio.says_drawing = says;
            changed = true;
        }
        if (changed) show(studio);
        changed = false;
    }
}

} // namespace

std::string window_keys_text() {
    std::string text = "In the window:\n";
    for (const KeyHelp& key : studio_keys) {
        std::string keys = std::string("  ") + key.keys;
        keys.resize(std::max<std::size_t>(keys.size() + 2, 32), ' ');
        text += keys + key.does + "\n";
    }
    return text;
}

int run_window(const Scene& scene, const kit::platform::WindowSettings& settings, bool tour,
               Drawing drawing) {
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string folder_problem =
        folder < 0 ? std::string("cannot save here: ") + std::strerror(errno) : "";
    if (auto error = kit::platform::open_window(window_program, settings)) {
        if (folder >= 0) close(folder);
        return complain(1, *error);
    }
    SDL_EnableKeyRepeat(SDL_DEFAULT_REPEAT_DELAY, 30);
    tell_keys(tour);
    int status = 0;
    try {
        // The signals that end the program first remove a save's temporary file.
        const kit::TemporaryFileGuard guard;
        Painter painter(drawing, kit::screen_image().layout);
        Saver saver(drawing, folder);
        Studio studio(Editor(scene), painter, saver);
        studio.tour = tour;
        if (tour) studio.editor.set_group(Group::p1);
        if (folder < 0) studio.folder_problem = folder_problem;
        studio.status = tour ? "h, ? or F1: the tour's keys" : "h, ? or F1: every key and gesture";
        run_studio(studio);
    } catch (const std::exception& failure) {
        status = complain(1, failure.what());
    }
    kit::platform::close_window();
    if (folder >= 0) close(folder);
    return status;
}

} // namespace explore
