#include "picture.hpp"

#include "kit/canvas.hpp"
#include "random.hpp"

#include <algorithm>
#include <array>

namespace explore {
namespace {

using Columns = TileMap::Columns;

// The maps of each group, identity first. With S the shift by half a tile, M the mirror
// x -> T - 1 - x, Q the quarter mirror x -> T/2 - 1 - x and F the row flip y -> H - 1 - y:
// p11g's glide is S F, p2's half-turn M F, p2mg has Q, the half-turn M F and their product, the
// glide S F; p11m has F and p2mm has M, F and M F.
constexpr TileMap identity{Columns::same, false};
constexpr std::array<TileMap, 1> maps_p1{identity};
constexpr std::array<TileMap, 2> maps_p11g{identity, TileMap{Columns::shift, true}};
constexpr std::array<TileMap, 2> maps_p1m1{identity, TileMap{Columns::mirror, false}};
constexpr std::array<TileMap, 2> maps_p2{identity, TileMap{Columns::mirror, true}};
constexpr std::array<TileMap, 4> maps_p2mg{identity, TileMap{Columns::quarter_mirror, false},
                                           TileMap{Columns::mirror, true},
                                           TileMap{Columns::shift, true}};
constexpr std::array<TileMap, 2> maps_p11m{identity, TileMap{Columns::same, true}};
constexpr std::array<TileMap, 4> maps_p2mm{identity, TileMap{Columns::mirror, false},
                                           TileMap{Columns::same, true},
                                           TileMap{Columns::mirror, true}};

// Palette entries: the seed line's orbits take entries 7 to 38 by their starting momentum, as the
// slide shows' portraits do; the scene's own orbits count down from entry 255.
constexpr double colour_scale = 5, colour_offset = 7;

Uint32* row_of(const SDL_Surface* surface, int y) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                     static_cast<std::ptrdiff_t>(y) * surface->pitch);
}

} // namespace

int part_count(Group group) {
    switch (group) {
    case Group::p1:
        return 1;
    case Group::p2mg:
    case Group::p2mm:
        return 4;
    default:
        return 2;
    }
}

Rect kept_part(Group group, int keep, int width, int height) {
    const int part = keep % part_count(group);
    const int half = width / 2, quarter = width / 4;
    // Row halves share the middle row when the height is odd: the flip maps it onto itself.
    const Rect top_rows{0, 0, width, (height + 1) / 2};
    const Rect bottom_rows{0, height / 2, width, height - height / 2};
    switch (group) {
    case Group::p1:
        return {0, 0, width, height};
    case Group::p2mg:
        return {part * quarter, 0, quarter, height};
    case Group::p11m:
        return part == 0 ? top_rows : bottom_rows;
    case Group::p2mm: {
        const Rect rows = part < 2 ? top_rows : bottom_rows;
        return {(part % 2) * half, rows.top, half, rows.height};
    }
    default:
        return {part * half, 0, half, height};
    }
}

std::span<const TileMap> tile_maps(Group group) {
    switch (group) {
    case Group::p1:
        return maps_p1;
    case Group::p11g:
        return maps_p11g;
    case Group::p1m1:
        return maps_p1m1;
    case Group::p2:
        return maps_p2;
    case Group::p2mg:
        return maps_p2mg;
    case Group::p11m:
        return maps_p11m;
    default:
        return maps_p2mm;
    }
}

Pixel apply(const TileMap& map, Pixel pixel, int width, int height) {
    int x = pixel.x;
    switch (map.columns) {
    case Columns::same:
        break;
    case Columns::mirror:
        x = width - 1 - x;
        break;
    case Columns::shift:
        x = (x + width / 2) % width;
        break;
    case Columns::quarter_mirror:
        x = (width / 2 - 1 - x + width) % width;
        break;
    }
    return {x, map.flip_rows ? height - 1 - pixel.y : pixel.y};
}

kit::OrbitRow portrait_row(const Scene& scene, int width, int height) {
    const double x_scale = width / (scene.theta_to - scene.theta_from);
    const double y_scale = height / (scene.p_to - scene.p_from);
    return {.kick = scene.kick,
            .seed_step = scene.step,
            .orbit_length = scene.length,
            .x_scale = x_scale,
            .x_offset = -scene.theta_from * x_scale,
            .y_base = scene.p_to * y_scale,
            .y_scale = y_scale,
            .colour_scale = colour_scale,
            .colour_offset = colour_offset};
}

Start start_at(const Scene& scene, int width, int height, Pixel pixel) {
    const double theta =
        scene.theta_from + (pixel.x + 0.5) * (scene.theta_to - scene.theta_from) / width;
    const double p = scene.p_to - (pixel.y + 0.5) * (scene.p_to - scene.p_from) / height;
    // A start stays below 2 pi as a single, as the scene's orbits must.
    constexpr float below_two_pi = 6.2831850f;
    return {std::min(static_cast<float>(theta), below_two_pi),
            std::min(static_cast<float>(p), below_two_pi)};
}

void prepare_colours(const Scene& scene) {
    kit::seed_rand(scene.palette);
    kit::make_palette();
    kit::white = kit::map_rgb(255, 255, 255);
}

void draw_portrait(const Scene& scene, SDL_Surface* tile) {
    for (int y = 0; y < tile->h; ++y) std::fill_n(row_of(tile, y), tile->w, kit::white);
    const kit::OrbitRow row = portrait_row(scene, tile->w, tile->h);
    kit::plot_orbits(row, tile);
    // The scene's orbits a batch at a time, without allocating.
    constexpr size_t batch = 64;
    for (size_t first = 0; first < scene.orbits.size(); first += batch) {
        std::array<kit::OrbitStart, batch> starts;
        const size_t n = std::min(batch, scene.orbits.size() - first);
        for (size_t i = 0; i < n; ++i) {
            const Start& start = scene.orbits[first + i];
            starts[i] = {.p = start.p,
                         .theta = start.theta,
                         .colour = kit::palette[(255 - (first + i)) & 0xff]};
        }
        kit::plot_orbits_from(row, std::span(starts.data(), n), tile);
    }
}

Pixels pixels_of(SDL_Surface* surface) {
    return {static_cast<Uint32*>(surface->pixels), surface->w, surface->h,
            static_cast<size_t>(surface->pitch / 4)};
}

void build_strip(Group group, int keep, const SDL_Surface* portrait, const Pixels& out, int top) {
    const int width = portrait->w, height = portrait->h;
    const Rect kept = kept_part(group, keep, width, height);
    const std::span<const TileMap> maps = tile_maps(group);
    for (int y = 0; y < height; ++y) {
        if (top + y < 0 || top + y >= out.height) continue;
        Uint32* row = out.pixels + static_cast<size_t>(top + y) * out.stride;
        const int tile_columns = std::min(width, out.width);
        for (int x = 0; x < tile_columns; ++x)
            for (const TileMap& map : maps) {
                const Pixel from = apply(map, {x, y}, width, height);
                if (kept.contains(from)) {
                    row[x] = row_of(portrait, from.y)[from.x];
                    break;
                }
            }
        // Further tiles repeat the first; the last one is cut where the strip ends.
        for (int x = tile_columns; x < out.width; ++x) row[x] = row[x - width];
    }
}

void draw_scene(const Scene& scene, SDL_Surface* tile, const Pixels& out, int top) {
    prepare_colours(scene);
    draw_portrait(scene, tile);
    build_strip(scene.group, scene.keep, tile, out, top);
}

SDL_Surface* new_surface(int width, int height) {
    const SDL_PixelFormat* format = kit::screen->format;
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, format->Rmask, format->Gmask,
                                format->Bmask, 0);
}

} // namespace explore
