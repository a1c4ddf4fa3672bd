#include "picture.hpp"

#include "kit/lyapunov.hpp"
#include "kit/palette.hpp"
#include "kit/truncate.hpp"

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

// Palette entries of the seed line's orbits: entry trunc(s * 5 + 7) for the orbit started at
// p = s.
constexpr double colour_scale = 5, colour_offset = 7;

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
            .colour_offset = colour_offset,
            .strict_edges = scene.version >= 2};
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

Colours scene_colours(const Scene& scene, kit::PixelLayout layout) {
    Colours colours{};
    const std::array<kit::Rgb, 256> palette = kit::random_palette(scene.palette);
    for (int i = 0; i < 256; ++i) colours.palette[i] = layout.pack(palette[i]);
    colours.white = layout.pack({255, 255, 255});
    for (int i = 0; i < 256; ++i) colours.scale[i] = layout.pack(kit::exponent_scale[i]);
    return colours;
}

namespace {

// The seed line's orbit started at p = s in palette entry trunc(s * 5 + 7); the scene's own
// orbits count down from entry 255.
struct PortraitColours {
    const Colours& colours;
    const kit::OrbitRow& row;
    std::uint32_t operator()(const kit::OrbitFacts& orbit) const {
        return colours
            .palette[kit::trunc_to_int(orbit.start.p * row.colour_scale + row.colour_offset) &
                     0xff];
    }
};

struct SceneOrbitColours {
    const Colours& colours;
    std::uint32_t operator()(const kit::OrbitFacts& orbit) const {
        return colours.palette[(255 - orbit.index) & 0xff];
    }
};

// colour=chaos: every orbit, the seed line's and the scene's own, by its exponent.
struct ChaosColours {
    const Colours& colours;
    std::uint32_t operator()(const kit::OrbitFacts& orbit) const {
        return colours.scale[kit::exponent_position(orbit.exponent)];
    }
};

// The colour rules of a scene's seed line and of its own orbits. The callables live here, as
// long as the rules that refer to them.
struct Rules {
    PortraitColours seed;
    SceneOrbitColours own;
    ChaosColours chaos;
    kit::ColourRule seed_rule, own_rule;
    Rules(const Scene& scene, const Colours& colours, const kit::OrbitRow& row)
        : seed{colours, row}, own{colours}, chaos{colours},
          seed_rule(scene.colour == Colouring::chaos ? kit::ColourRule(chaos)
                                                     : kit::ColourRule(seed)),
          own_rule(scene.colour == Colouring::chaos ? kit::ColourRule(chaos)
                                                    : kit::ColourRule(own)) {
        seed_rule.needs_exponent = own_rule.needs_exponent = scene.colour == Colouring::chaos;
    }
    Rules(const Rules&) = delete;
    Rules& operator=(const Rules&) = delete;
};

// A tile of counts turned into colours: white where no point fell.
void colour_counts(const Colours& colours, const kit::Image& tile) {
    for (int y = 0; y < tile.height; ++y) {
        std::uint32_t* row = tile.row(y);
        for (int x = 0; x < tile.width; ++x)
            row[x] = row[x] == 0 ? colours.white : colours.scale[kit::count_position(row[x])];
    }
}

// The scene's own orbits as the plotter takes them, without allocating.
struct SceneStarts {
    std::array<kit::OrbitStart, max_orbits> starts;
    std::size_t n = 0;
    explicit SceneStarts(const Scene& scene)
        : n(std::min<std::size_t>(scene.orbits.size(), max_orbits)) {
        for (std::size_t i = 0; i < n; ++i)
            starts[i] = {.p = scene.orbits[i].p, .theta = scene.orbits[i].theta};
    }
    std::span<const kit::OrbitStart> all() const { return std::span(starts.data(), n); }
};

// The portrait in runs of orbits, go_on asked before each. The seed line's orbits are its
// starts (theta = 0, p = s for each s of the line) plotted as the scene's own orbits are, one run
// after the other: each pixel keeps the colour of the last orbit there, as in one call.
bool draw_portrait_in_runs(const Scene& scene, const Colours& colours, const kit::Image& tile,
                           Drawing drawing) {
    const bool density = scene.colour == Colouring::density;
    // Counts start from nothing, colours from white (the tile's pixels are 32-bit words either
    // way); counts add up, so counting in runs gives the one call's counts.
    kit::fill(tile, density ? 0 : colours.white);
    const kit::OrbitRow row = portrait_row(scene, tile.width, tile.height);
    const kit::Plotting plotting{.threads = drawing.threads};
    constexpr std::size_t most = 4096;
    const std::size_t per_run = static_cast<std::size_t>(
        std::clamp<long long>(run_points / std::max(1, scene.length), 1, most));
    std::array<kit::OrbitStart, most> run;
    const Rules rules(scene, colours, row);
    float s = 0;
    bool more = true;
    while (more) {
        std::size_t n = 0;
        for (; n < per_run && more; more = kit::next_seed(s, row.seed_step))
            run[n++] = {.p = s, .theta = 0};
        if (!drawing.go_on(drawing.context)) return false;
        const std::span<const kit::OrbitStart> starts(run.data(), n);
        if (density)
            kit::count_starts(row, starts, tile, plotting);
        else
            kit::plot_starts(row, starts, tile, rules.seed_rule, plotting);
    }
    // The scene's own orbits count their colours from the first of them: each run's colours are
    // told by a rule that knows where the run starts (chaos colours by the exponent alone).
    const SceneStarts starts(scene);
    const std::span<const kit::OrbitStart> all = starts.all();
    for (std::size_t first = 0; first < all.size(); first += per_run) {
        if (!drawing.go_on(drawing.context)) return false;
        const auto these = all.subspan(first, std::min(per_run, all.size() - first));
        const auto colour = [&](const kit::OrbitFacts& orbit) {
            return colours.palette[(255 - static_cast<std::size_t>(orbit.index) - first) & 0xff];
        };
        if (density)
            kit::count_starts(row, these, tile, plotting);
        else if (scene.colour == Colouring::chaos)
            kit::plot_starts(row, these, tile, rules.own_rule, plotting);
        else
            kit::plot_starts(row, these, tile, colour, plotting);
    }
    if (density) colour_counts(colours, tile);
    return true;
}

} // namespace

void draw_portrait(const Scene& scene, const Colours& colours, const kit::Image& tile,
                   Drawing drawing) {
    if (drawing.go_on) {
        draw_portrait_in_runs(scene, colours, tile, drawing);
        return;
    }
    const kit::OrbitRow row = portrait_row(scene, tile.width, tile.height);
    const kit::Plotting plotting{.threads = drawing.threads};
    const SceneStarts starts(scene);
    if (scene.colour == Colouring::density) {
        // The tile's pixels count the points first (they are 32-bit words either way).
        kit::fill(tile, 0);
        kit::count_seed_line(row, tile, plotting);
        kit::count_starts(row, starts.all(), tile, plotting);
        colour_counts(colours, tile);
        return;
    }
    kit::fill(tile, colours.white);
    const Rules rules(scene, colours, row);
    kit::plot_seed_line(row, tile, rules.seed_rule, plotting);
    kit::plot_starts(row, starts.all(), tile, rules.own_rule, plotting);
}

std::size_t portrait_marks(const Scene& scene) {
    const kit::OrbitRow row = portrait_row(scene, 1, 1);
    return static_cast<std::size_t>(kit::orbit_count(row)) + scene.orbits.size();
}

void mark_portrait(const Scene& scene, const Colours& colours, kit::Share share,
                   const kit::Marks& marks) {
    const kit::OrbitRow row = portrait_row(scene, marks.last.width, marks.last.height);
    const SceneStarts starts(scene);
    if (scene.colour == Colouring::density) {
        kit::count_share_seed_line(row, share, marks.last);
        kit::count_share_starts(row, starts.all(), share, marks.last);
        return;
    }
    const Rules rules(scene, colours, row);
    kit::mark_seed_line(row, share, 1, marks, rules.seed_rule);
    // The scene's orbits after the seed line's, as draw_portrait plots them.
    kit::mark_starts(row, starts.all(), share,
                     static_cast<std::uint32_t>(kit::orbit_count(row)) + 1, marks, rules.own_rule);
}

void merge_portrait(const Scene& scene, const Colours& colours, std::span<const kit::Marks> shares,
                    const kit::Image& tile) {
    if (scene.colour == Colouring::density) {
        kit::fill(tile, 0);
        for (const kit::Marks& share : shares) kit::merge_counts(std::span(&share.last, 1), tile);
        colour_counts(colours, tile);
        return;
    }
    merge_portrait(colours, shares, tile);
}

void merge_portrait(const Colours& colours, std::span<const kit::Marks> shares,
                    const kit::Image& tile) {
    kit::fill(tile, colours.white);
    kit::merge_marks(shares, tile);
}

void build_strip(Group group, int keep, const kit::Image& portrait, const kit::Image& strip) {
    const int width = portrait.width, height = portrait.height;
    const Rect kept = kept_part(group, keep, width, height);
    const std::span<const TileMap> maps = tile_maps(group);
    for (int y = 0; y < std::min(height, strip.height); ++y) {
        std::uint32_t* row = strip.row(y);
        const int tile_columns = std::min(width, strip.width);
        for (int x = 0; x < tile_columns; ++x)
            for (const TileMap& map : maps) {
                const Pixel from = apply(map, {x, y}, width, height);
                if (kept.contains(from)) {
                    row[x] = portrait.row(from.y)[from.x];
                    break;
                }
            }
        // Further tiles repeat the first; the last one is cut where the strip ends.
        for (int x = tile_columns; x < strip.width; ++x) row[x] = row[x - width];
    }
}

void draw_scene(const Scene& scene, const Colours& colours, const kit::Image& tile,
                const kit::Image& strip, Drawing drawing) {
    draw_portrait(scene, colours, tile, drawing);
    build_strip(scene.group, scene.keep, tile, strip);
}

bool render_strip(const Scene& scene, kit::PixelLayout layout, kit::PixelBuffer& strip,
                  Drawing drawing) {
    kit::PixelBuffer tile;
    if (!tile.resize(tile_width_for(scene.height), scene.height, layout) ||
        !strip.resize(scene.width, scene.height, layout)) {
        strip.resize(0, 0);
        return false;
    }
    draw_scene(scene, scene_colours(scene, layout), tile.image(), strip.image(), drawing);
    return true;
}

} // namespace explore
