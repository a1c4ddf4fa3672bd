// explore's engine as a WebAssembly module: C functions for the page's scripts (web/explore/).
// The page's thread edits a scene with one instance (the editor's operations, each answered with
// the scene's record as JSON: engine/record.hpp); drawing workers draw lines with others. The
// pictures are drawn in the canvas's pixel layout (bytes R, G, B, A), which an ImageData takes as
// it is. Every text and every pointer handed back stays valid until the next call.
#include "axes.hpp"
#include "editor.hpp"
#include "kit/png.hpp"
#include "picture.hpp"
#include "png_texts.hpp"
#include "record.hpp"
#include "scene.hpp"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace explore;

// The instance's state: the scene being edited (on the page's thread), the pictures last drawn
// and the file last made (in a worker), and the last text handed back.
Editor editor;
kit::PixelBuffer portrait, strip;
kit::PngParts png;
std::string answer;

const char* give(std::string text) {
    answer = std::move(text);
    return answer.c_str();
}

const char* record(const std::optional<std::string>& refusal = {}) {
    return give(scene_record(editor, refusal));
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
    const long long most =
        std::min<long long>(static_cast<long long>(tile_width) * tiles, widest_tile);
    const int width = static_cast<int>(std::min<long long>(scene->width, std::max(most, 1LL)));
    if (!portrait.resize(tile_width, scene->height, kit::rgba_layout) ||
        !strip.resize(width, scene->height, kit::rgba_layout))
        return give("{\"refusal\":\"there is not memory enough for a picture this large\"}");
    draw_scene(*scene, scene_colours(*scene, kit::rgba_layout), portrait.image(), strip.image());
    return give("{\"line\":" + json_string(print_scene(*scene)) + ",\"width\":" +
                std::to_string(width) + ",\"height\":" + std::to_string(scene->height) +
                ",\"tile_width\":" + std::to_string(tile_width) + "}");
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
