// explore's engine as a WebAssembly module: C functions for the page's scripts (web/explore/).
// The page's thread edits a scene with one instance (the editor's operations, each answered with
// the scene's record as JSON: engine/record.hpp); drawing workers draw lines with others. The
// pictures are drawn in the canvas's pixel layout (bytes R, G, B, A), which an ImageData takes as
// it is. Every text and every pointer handed back stays valid until the next call.
#include "axes.hpp"
#include "dynamics.hpp"
#include "editor.hpp"
#include "kit/png.hpp"
#include "picture.hpp"
#include "png_texts.hpp"
#include "record.hpp"
#include "scene.hpp"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace explore;

// The instance's state: the scene being edited (on the page's thread), the pictures last drawn
// and the file last made (in a worker), and the last text handed back.
Editor editor;
kit::PixelBuffer portrait, strip;
// A split picture's marks: this worker's share and the other's (explore_draw_share).
kit::PixelBuffer own_last, foreign_last;
std::vector<std::uint32_t> own_colours, foreign_colours;
kit::PngParts png;
std::string answer;

const char* give(std::string text) {
    answer = std::move(text);
    return answer.c_str();
}

const char* record(const std::optional<std::string>& refusal = {}) {
    return give(scene_record(editor, refusal));
}

const char* no_memory() {
    return give("{\"refusal\":\"there is not memory enough for a picture this large\"}");
}

// The strip drawn for the page: at most `tiles` tiles of it, never wider than the widest tile.
int strip_width(const Scene& scene, int tiles) {
    const long long most = std::min<long long>(
        static_cast<long long>(tile_width_for(scene.height)) * tiles, widest_tile);
    return static_cast<int>(std::min<long long>(scene.width, std::max(most, 1LL)));
}

// What explore_draw answers of a picture drawn.
const char* drawn(const Scene& scene, int width) {
    return give("{\"line\":" + json_string(print_scene(scene)) + ",\"width\":" +
                std::to_string(width) + ",\"height\":" + std::to_string(scene.height) +
                ",\"tile_width\":" + std::to_string(tile_width_for(scene.height)) + "}");
}

Gesture gesture_of(int continues) {
    return continues ? Gesture::continues : Gesture::starts;
}

// The scene of a line, or the refusal in `error`.
std::optional<Scene> scene_of(const char* line, std::string& error) {
    return parse_scene(line, error);
}

} // namespace

extern "C" {

// The rulebook: every key, its kind, default, limits and a sentence on it; the groups.
EMSCRIPTEN_KEEPALIVE const char* explore_rules() {
    return give(describe_rules());
}

// Starts editing from a line (the address's): the scene reset goes back to. A refused line leaves
// the default scene, and the record carries the refusal.
EMSCRIPTEN_KEEPALIVE const char* explore_start(const char* line) {
    std::string error;
    const auto scene = scene_of(line, error);
    editor = Editor(scene.value_or(Scene{}));
    return record(scene ? std::nullopt : std::optional(error));
}

EMSCRIPTEN_KEEPALIVE const char* explore_record() {
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_set(const char* key, const char* value, int continues) {
    return record(editor.set(key, value, gesture_of(continues)));
}

EMSCRIPTEN_KEEPALIVE const char* explore_step_kick(int hundredths) {
    editor.step_kick(hundredths);
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_next_group() {
    editor.next_group();
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_next_part() {
    editor.next_part();
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_next_palette() {
    editor.next_palette();
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_next_colouring() {
    return record(editor.next_colouring());
}

EMSCRIPTEN_KEEPALIVE const char* explore_pan(double right, double up, int continues) {
    editor.pan(right, up, gesture_of(continues));
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_zoom(double factor, double across, double down,
                                              int continues) {
    editor.zoom(factor, across, down, gesture_of(continues));
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_step_window(int right, int up) {
    editor.step_window(right, up);
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_zoom_in() {
    editor.zoom_in();
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_zoom_out() {
    editor.zoom_out();
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_whole_torus() {
    editor.whole_torus();
    return record();
}

// An orbit at fractions (across, down) of the portrait, which shows the tile at the strip's
// height: at the centre of the tile pixel there.
EMSCRIPTEN_KEEPALIVE const char* explore_plant(double across, double down) {
    const Scene& scene = editor.scene();
    const int width = tile_width_for(scene.height), height = scene.height;
    const int x = std::clamp(static_cast<int>(std::floor(across * width)), 0, width - 1);
    const int y = std::clamp(static_cast<int>(std::floor(down * height)), 0, height - 1);
    if (editor.plant({x, y}, width, height)) return record();
    return record("no more orbits: a scene holds at most " + std::to_string(max_orbits) +
                  "; undo one first");
}

EMSCRIPTEN_KEEPALIVE const char* explore_undo() {
    editor.undo();
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_redo() {
    editor.redo();
    return record();
}

EMSCRIPTEN_KEEPALIVE const char* explore_reset() {
    editor.reset();
    return record();
}

// The point at fractions (across, down) of the portrait, as the readouts show it:
// {"theta", "p"}.
EMSCRIPTEN_KEEPALIVE const char* explore_point(double across, double down) {
    const PointWords words = point_words(editor.scene(), across, down);
    return give("{\"theta\":" + json_string(words.theta) + ",\"p\":" + json_string(words.p) + "}");
}

// The table of every orbit the edited scene draws (engine/dynamics.hpp): {"rows", "table"}, the
// table the desktop's --orbits writes, as CSV text.
EMSCRIPTEN_KEEPALIVE const char* explore_orbit_table() {
    const Scene& scene = editor.scene();
    return give("{\"rows\":" + std::to_string(orbit_table_rows(scene)) +
                ",\"table\":" + json_string(orbit_table(scene)) + "}");
}

// The sizes the scene can be saved at: its own and its multiples while the scene's limits allow
// them, each with its line: [{"times", "size", "line"}].
EMSCRIPTEN_KEEPALIVE const char* explore_sizes() {
    std::string out = "[";
    for (int times : {1, 2, 3, 4, 6, 8, 12, 16}) {
        Scene scaled = editor.scene();
        const std::string size = std::to_string(static_cast<long long>(scaled.width) * times) +
                                 "x" +
                                 std::to_string(static_cast<long long>(scaled.height) * times);
        if (set_key(scaled, "size", size)) break;
        out += std::string(times == 1 ? "" : ",") + "{\"times\":" + std::to_string(times) +
               ",\"size\":" + json_string(size) + ",\"line\":" + json_string(print_scene(scaled)) +
               "}";
    }
    return give(out + "]");
}

// Draws a line's portrait (the tile at the strip's height) and its strip, at most `tiles` tiles of
// it and never wider than the widest tile: a strip's columns do not depend on its width, so a
// narrower strip is the start of the wide one, and the page need not hold a strip of a hundred
// megapixels on view (nor can some browsers' canvases). Answers {"line", "width", "height",
// "tile_width"} (the pixels at explore_portrait() and explore_strip()), or {"refusal"} for a
// refused line or a picture too large for the memory.
EMSCRIPTEN_KEEPALIVE const char* explore_draw(const char* line, int tiles) {
    std::string error;
    const auto scene = scene_of(line, error);
    if (!scene) return give("{\"refusal\":" + json_string(error) + "}");
    const int tile_width = tile_width_for(scene->height);
    const int width = strip_width(*scene, tiles);
    if (!portrait.resize(tile_width, scene->height, kit::rgba_layout) ||
        !strip.resize(width, scene->height, kit::rgba_layout))
        return no_memory();
    draw_scene(*scene, scene_colours(*scene, kit::rgba_layout), portrait.image(), strip.image());
    return drawn(*scene, width);
}

// A picture split between two workers (web/explore/worker.js): each draws its share of the
// portrait's orbits as marks (explore_draw_share); one hands its marks to the other, which copies
// them into the room explore_foreign_marks() gives and draws the picture from both
// (explore_draw_merged), the same pixels as explore_draw's.
//
// The share `part` of `parts` of a line's portrait: answers {"line", "tile_width", "height",
// "marks"} (the tile's marks at explore_marks_last(), tile_width x height words, and the colours
// of its orbits at explore_marks_colours(), `marks` words), or {"refusal"}.
EMSCRIPTEN_KEEPALIVE const char* explore_draw_share(const char* line, int part, int parts) {
    std::string error;
    const auto scene = scene_of(line, error);
    if (!scene) return give("{\"refusal\":" + json_string(error) + "}");
    const int tile_width = tile_width_for(scene->height);
    const std::size_t count = portrait_marks(*scene);
    if (!own_last.resize(tile_width, scene->height)) return no_memory();
    own_colours.assign(count, 0);
    kit::fill(own_last.image(), 0);
    mark_portrait(*scene, scene_colours(*scene, kit::rgba_layout), {.part = part, .parts = parts},
                  {.last = own_last.image(), .colours = own_colours});
    return give("{\"line\":" + json_string(print_scene(*scene)) + ",\"tile_width\":" +
                std::to_string(tile_width) + ",\"height\":" + std::to_string(scene->height) +
                ",\"marks\":" + std::to_string(count) + "}");
}

EMSCRIPTEN_KEEPALIVE const void* explore_marks_last() {
    return own_last.image().pixels;
}

EMSCRIPTEN_KEEPALIVE const void* explore_marks_colours() {
    return own_colours.data();
}

// Room for the other worker's marks of the line last shared here: {"last", "colours"}, the
// addresses to copy its tile of marks and its colours to.
EMSCRIPTEN_KEEPALIVE const char* explore_foreign_marks() {
    const kit::Image& own = own_last.image();
    if (!foreign_last.resize(own.width, own.height)) return no_memory();
    foreign_colours.assign(own_colours.size(), 0);
    return give("{\"last\":" +
                std::to_string(reinterpret_cast<std::uintptr_t>(foreign_last.image().pixels)) +
                ",\"colours\":" +
                std::to_string(reinterpret_cast<std::uintptr_t>(foreign_colours.data())) + "}");
}

// The line's portrait from this worker's marks and the other's, and its strip, as explore_draw
// draws them (the same answer; `line` is the one last shared here).
EMSCRIPTEN_KEEPALIVE const char* explore_draw_merged(const char* line, int tiles) {
    std::string error;
    const auto scene = scene_of(line, error);
    if (!scene) return give("{\"refusal\":" + json_string(error) + "}");
    const int tile_width = tile_width_for(scene->height);
    const int width = strip_width(*scene, tiles);
    if (!portrait.resize(tile_width, scene->height, kit::rgba_layout) ||
        !strip.resize(width, scene->height, kit::rgba_layout))
        return no_memory();
    const kit::Marks shares[] = {{.last = own_last.image(), .colours = own_colours},
                                 {.last = foreign_last.image(), .colours = foreign_colours}};
    merge_portrait(*scene, scene_colours(*scene, kit::rgba_layout), shares, portrait.image());
    build_strip(scene->group, scene->keep, portrait.image(), strip.image());
    return drawn(*scene, width);
}

EMSCRIPTEN_KEEPALIVE const void* explore_portrait() {
    return portrait.image().pixels;
}

EMSCRIPTEN_KEEPALIVE const void* explore_strip() {
    return strip.image().pixels;
}

// A line's strip, whole, as a PNG file with the desktop's text chunks but for its image data,
// and that data uncompressed (kit::png_parts), which the page deflates with the browser's own
// compressor (web/png.js). Answers {"line", "head", "scanlines"} (the byte counts; the bytes at
// explore_png_head() and explore_png_scanlines()), or {"refusal"}.
EMSCRIPTEN_KEEPALIVE const char* explore_png(const char* line) {
    std::string error;
    const auto scene = scene_of(line, error);
    if (!scene) return give("{\"refusal\":" + json_string(error) + "}");
    if (!render_strip(*scene, kit::rgba_layout, strip))
        return give("{\"refusal\":\"there is not memory enough for a picture this large\"}");
    png = kit::png_parts(strip.image(), picture_texts(*scene));
    strip.resize(0, 0);
    return give("{\"line\":" + json_string(print_scene(*scene)) +
                ",\"head\":" + std::to_string(png.head.size()) +
                ",\"scanlines\":" + std::to_string(png.scanlines.size()) + "}");
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* explore_png_head() {
    return png.head.data();
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* explore_png_scanlines() {
    return png.scanlines.data();
}

} // extern "C"
