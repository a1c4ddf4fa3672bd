// The picture of a scene: the portrait plotted into the tile, the kept part of it, and the strip
// rebuilt from that part by the group's mirrors, glide reflections and half-turns.
//
// Tile pixels are whole: a tile H pixels high is T = tile_width_for(H) wide, and every isometry
// of a group maps pixel (x, y) to a pixel by integer arithmetic alone. The mirrors and half-turns
// act as x -> T - 1 - x (a line or centre on the edge between two pixels, or on the middle of
// one where T is odd, which it never is), y -> H - 1 - y (the middle row's edge, or its centre
// where H is odd), and the glide shifts by T / 2 and p2mg's mirrors reflect about T / 4 edges,
// which T, a multiple of four, keeps whole. So the strip has no seams and its symmetry is exact.
#pragma once

#include "scene.hpp"

#include "kit/image.hpp"
#include "kit/orbits.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace explore {

struct Pixel {
    int x, y;
    bool operator==(const Pixel&) const = default;
};

struct Rect {
    int left, top, width, height;
    bool contains(Pixel p) const {
        return p.x >= left && p.x < left + width && p.y >= top && p.y < top + height;
    }
};

// The parts the group cuts the tile into: 1 (p1), 2 (column halves, or row halves for p11m) or
// 4 (column quarters for p2mg, quadrants for p2mm). Each is a fundamental region of the group
// acting on the tile: every pixel has an image in it.
int part_count(Group group);

// Part `keep` (counted modulo part_count) of a tile width x height.
Rect kept_part(Group group, int keep, int width, int height);

// A map of tile pixels onto tile pixels: an isometry of the group taken modulo the translation
// by the tile's width.
struct TileMap {
    enum class Columns { same, mirror, shift, quarter_mirror } columns;
    bool flip_rows;
};

// The group's maps of the tile, the identity first.
std::span<const TileMap> tile_maps(Group group);

Pixel apply(const TileMap& map, Pixel pixel, int width, int height);

// The orbit row that plots the scene's window onto the plane into a tile width x height: theta
// from theta_from to theta_to across, p from p_to at the top down to p_from.
kit::OrbitRow portrait_row(const Scene& scene, int width, int height);

// Where an orbit started at tile pixel (x, y) of that window begins: the pixel's centre.
Start start_at(const Scene& scene, int width, int height, Pixel pixel);

// The colours a scene is drawn in, as pixels of one layout: the scene's palette and the white of
// the background. The seed line's orbits take entries 7 to 38 by their starting momentum, as the
// slide shows' portraits do; the scene's own orbits count down from entry 255.
// With colour=chaos and colour=density the points take the fixed scale of order and chaos
// instead (kit::exponent_scale, coolest first): an orbit the colour of its exponent's place
// (kit::exponent_position), a pixel the colour of its count's (kit::count_position).
struct Colours {
    std::array<std::uint32_t, 256> palette;
    std::uint32_t white;
    std::array<std::uint32_t, 256> scale;
};
Colours scene_colours(const Scene& scene, kit::PixelLayout layout);

// How a picture is drawn: the threads its orbits are shared among (the pixels are the same for
// every count), and, for a drawing that a newer one may overtake (the desktop window's), what
// decides whether it goes on. The engine keeps no setting of its own: its callers say.
struct Drawing {
    int threads = 1;
    // Where given, the portrait is drawn in runs of orbits of a few milliseconds each, in the
    // order the plotter would draw them (the same pixels), and go_on(context) is asked before
    // each: false abandons the drawing there, the picture left part-drawn (the caller, who
    // answered false, knows it).
    bool (*go_on)(void* context) = nullptr;
    void* context = nullptr;
};

// The points a run of an abandonable drawing plots, at most: about ten milliseconds of one
// thread's work.
inline constexpr long long run_points = 500'000;

// The portrait of the scene's window onto the plane, into `tile` (any size): the tile turned
// white, the seed line's orbits, then the scene's own orbits.
void draw_portrait(const Scene& scene, const Colours& colours, const kit::Image& tile,
                   Drawing drawing = {});

// The portrait split among plotters that share no memory (the page's drawing workers): each marks
// its share of the orbits (kit::Marks: `last` of the tile's size, all zero, and colours for
// portrait_marks(scene) marks), and the tile takes them all merged on white, the same pixels as
// draw_portrait's. With colour=density a share's `last` holds its counts of points instead (its
// colours are not used), and the merge adds them up before the counts take their colours.
std::size_t portrait_marks(const Scene& scene);
void mark_portrait(const Scene& scene, const Colours& colours, kit::Share share,
                   const kit::Marks& marks);
void merge_portrait(const Scene& scene, const Colours& colours, std::span<const kit::Marks> shares,
                    const kit::Image& tile);
// The merge of a scene coloured by start or chaos (which merge alike).
void merge_portrait(const Colours& colours, std::span<const kit::Marks> shares,
                    const kit::Image& tile);

// The strip rebuilt from the kept part of the portrait (a tile W x H) into `strip`, every column
// of its rows (at most H): each pixel takes the colour of its image in the kept part, and column
// X shows tile column X mod W. Only the kept part of the portrait is read.
void build_strip(Group group, int keep, const kit::Image& portrait, const kit::Image& strip);

// What every view of a scene shows: its portrait drawn into `tile` (the tile at the strip's
// height) and the strip rebuilt from it into `strip`.
void draw_scene(const Scene& scene, const Colours& colours, const kit::Image& tile,
                const kit::Image& strip, Drawing drawing = {});

// The strip of a scene at the scene's size, in `layout`, into `strip` (its tile drawn into a
// buffer of its own); false, with `strip` holding nothing, when the memory cannot be had.
bool render_strip(const Scene& scene, kit::PixelLayout layout, kit::PixelBuffer& strip,
                  Drawing drawing = {});

} // namespace explore
