// The studio's engine as the page calls it: the scene being edited and its picture, behind a few C
// functions for the page's scripts (web/studio.js edits the scene with them, web/studio_worker.js
// draws it in a worker). The page has no screen: the pictures are drawn into memory surfaces in
// the page's pixel format (bytes R, G, B, A: what emscripten's SDL_MapRGB gives and a canvas
// takes as it is). Every text handed back stays valid until the next call.
#include "kit/canvas.hpp"
#include "picture.hpp"
#include "png_memory.hpp"
#include "scene.hpp"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace explore;

Scene scene;
std::string text;

SDL_PixelFormat rgba_format() {
    SDL_PixelFormat format{};
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    format.Rmask = 0x000000ff;
    format.Gmask = 0x0000ff00;
    format.Bmask = 0x00ff0000;
    format.Amask = 0xff000000;
    format.Gshift = 8;
    format.Bshift = 16;
    format.Ashift = 24;
    return format;
}

SDL_PixelFormat format = rgba_format();
SDL_Surface format_holder{};

// Pixels of their own, grown as pictures grow and kept between drawings: the portrait's (a
// surface's rows: a tile is never wider than those) and the strip's (a downloaded strip may be far
// wider).
struct Buffer {
    void* pixels = nullptr;
    size_t capacity = 0;
    int width = 0, height = 0;
    bool resize(int w, int h) {
        const size_t needed = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
        if (needed > capacity) {
            std::free(pixels);
            pixels = std::malloc(needed);
            capacity = pixels ? needed : 0;
            if (!pixels) return false;
        }
        width = w;
        height = h;
        return true;
    }
    SDL_Surface surface() {
        SDL_Surface out{};
        out.format = &format;
        out.w = width;
        out.h = height;
        out.pitch = static_cast<Uint16>(width * 4);
        out.pixels = pixels;
        return out;
    }
    Pixels rows() {
        return {static_cast<Uint32*>(pixels), width, height, static_cast<size_t>(width)};
    }
};

Buffer portrait, strip;
std::vector<Uint8> png;

const char* refusal(const std::optional<std::string>& refused) {
    if (!refused) return nullptr;
    text = *refused;
    return text.c_str();
}

} // namespace

extern "C" {

// Replaces the scene by the one a line describes; returns null, or the refusal (and the scene
// stays as it was).
EMSCRIPTEN_KEEPALIVE const char* page_read(const char* line) {
    std::string error;
    auto read = parse_scene(line, error);
    if (!read) return refusal(error);
    scene = *read;
    return nullptr;
}

// Sets one key as the line would; returns null, or the refusal.
EMSCRIPTEN_KEEPALIVE const char* page_set(const char* key, const char* value) {
    return refusal(set_key(scene, key, value));
}

EMSCRIPTEN_KEEPALIVE const char* page_line() {
    text = print_scene(scene);
    return text.c_str();
}

// "p2mm (spinning-jump)" for group 0 to 6, or its long name (which 1) or its short one (which 0).
EMSCRIPTEN_KEEPALIVE const char* page_group_name(int group, int which) {
    const GroupNames& names = names_of(static_cast<Group>(group % group_count));
    text = which == 0   ? names.short_name
           : which == 1 ? names.long_name
                        : group_label(static_cast<Group>(group % group_count));
    return text.c_str();
}

// What the page lays out by: the tile's width (its height is the strip's), the group's number of
// parts, and the kept part's left, top, width and height in the tile (what 0 to 5).
EMSCRIPTEN_KEEPALIVE int page_layout(int what) {
    const int width = tile_width_for(scene.height);
    const Rect kept = kept_part(scene.group, scene.keep, width, scene.height);
    const int values[] = {width,      part_count(scene.group), kept.left, kept.top, kept.width,
                          kept.height};
    return what >= 0 && what < 6 ? values[what] : 0;
}

// Starts an orbit at pixel (x, y) of the portrait (the tile at the strip's height); returns 1 if
// it was added, 0 off the tile or with every orbit a scene may have taken.
EMSCRIPTEN_KEEPALIVE int page_add_orbit(int x, int y) {
    const int width = tile_width_for(scene.height);
    if (x < 0 || y < 0 || x >= width || y >= scene.height) return 0;
    if (static_cast<int>(scene.orbits.size()) >= max_orbits) return 0;
    scene.orbits.push_back(start_at(scene, width, scene.height, {x, y}));
    return 1;
}

// Takes back the last orbit; returns 0 when there was none.
EMSCRIPTEN_KEEPALIVE int page_undo() {
    if (scene.orbits.empty()) return 0;
    scene.orbits.pop_back();
    return 1;
}

// Draws the scene: the portrait (the tile at the strip's height) and the strip rebuilt from it,
// as the desktop's export does, but at most `max_width` columns of the strip: its columns do not
// depend on its width, so a narrower strip is the start of the wide one, and the page need not
// hold a strip of a hundred megapixels on view. Returns the strip's width, or -1 when there is no
// memory for the pictures.
EMSCRIPTEN_KEEPALIVE int page_draw(int max_width) {
    const int width = std::min(scene.width, std::max(max_width, 1));
    if (!portrait.resize(tile_width_for(scene.height), scene.height) ||
        !strip.resize(width, scene.height))
        return -1;
    format_holder.format = &format;
    kit::screen = &format_holder;
    SDL_Surface tile = portrait.surface();
    draw_scene(scene, &tile, strip.rows(), 0);
    return width;
}

// The widest strip the page puts on view: as wide as the widest tile can be. The rest repeats
// what is shown, and canvases far wider are refused by some browsers.
EMSCRIPTEN_KEEPALIVE int page_widest() {
    return widest_surface;
}

EMSCRIPTEN_KEEPALIVE void* page_portrait() {
    return portrait.pixels;
}

EMSCRIPTEN_KEEPALIVE void* page_strip() {
    return strip.pixels;
}

// The strip last drawn (drawn whole for this) as a PNG file with the text chunks of the desktop's:
// the program, its version and the scene line. Returns its bytes; page_png_size() their number.
EMSCRIPTEN_KEEPALIVE const Uint8* page_png() {
    const Pixels rows = strip.rows();
    png = kit::png_bytes(kit::PixelImage{.pixels = rows.pixels,
                                         .width = rows.width,
                                         .height = rows.height,
                                         .pitch = rows.stride * 4,
                                         .format = &format},
                         scene_texts(scene));
    return png.data();
}

EMSCRIPTEN_KEEPALIVE int page_png_size() {
    return static_cast<int>(png.size());
}

} // extern "C"
