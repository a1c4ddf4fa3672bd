// The tile box, its background fill, the mask, the remap and the replication with an arbitrary
// tile_left and tile_base (and widths, regions and sources), on an exactly sized screen.
#include "fuzz_support.hpp"

#include "kit/tile.hpp"

namespace {

using fuzz::Coord;

constexpr Uint32 white = 0x00ffffff, red = 0x00ff0000, blue = 0x000000ff;

// A picture with something to copy and to repaint: mostly white, with red, blue and dots.
void paint_picture(FuzzedDataProvider& in, fuzz::ExactScreen& screen) {
    std::uint32_t state = in.ConsumeIntegral<std::uint32_t>();
    constexpr Uint32 inks[] = {white, white, white, red, blue, 0x00123456, 0x00abcdef, 0};
    for (int y = 0; y < screen.h(); ++y)
        for (int x = 0; x < screen.w(); ++x) {
            state = state * 1664525u + 1013904223u;
            screen.at(x, y) = inks[state >> 29];
        }
}

double pick_width(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return 250;
    case 1:
        return 220;
    default:
        return in.ConsumeFloatingPointInRange(0.5, 300.0);
    }
}

// The tile's corner near the surface, or anywhere in the int range.
int pick_corner(FuzzedDataProvider& in, int size, double width) {
    if (in.ConsumeIntegralInRange(0, 3) == 0) return in.ConsumeIntegral<int>();
    const int reach = static_cast<int>(width) + 8;
    return in.ConsumeIntegralInRange(-2 * reach, size + 2 * reach);
}

void check_box(FuzzedDataProvider& in, fuzz::ExactScreen& screen, double width) {
    fuzz::Picture expected = fuzz::Picture::of(screen);
    kit::draw_tile_box(red);
    const Coord L = kit::tile_left, B = kit::tile_base;
    const Coord R = fuzz::to_coord(static_cast<double>(L) + width);
    const Coord T = fuzz::to_coord(static_cast<double>(B) - width / 3);
    auto put = [&](Coord x, Coord y) { expected.put(x, y, red); };
    fuzz::walk_line(L, B, R, B, put);
    fuzz::walk_line(L, B, L, T, put);
    fuzz::walk_line(R, B, R, T, put);
    fuzz::walk_line(L, T, R, T, put);
    fuzz::expect_same(screen, expected, "draw_tile_box");
    (void)in;
}

void check_background(FuzzedDataProvider& in, fuzz::ExactScreen& screen, double tile_width) {
    const double width = in.ConsumeFloatingPointInRange(-10.0, 300.0);
    std::optional<double> split;
    if (in.ConsumeBool()) split = in.ConsumeFloatingPointInRange(-50.0, 350.0);
    fuzz::Picture expected = fuzz::Picture::of(screen);
    kit::fill_tile_background(width, split);

    const Coord L = kit::tile_left, B = kit::tile_base;
    for (Coord x = L; static_cast<double>(x) < static_cast<double>(L) + width; ++x) {
        const bool left_part = !split || static_cast<double>(x) < static_cast<double>(L) + *split;
        for (Coord y = B; static_cast<double>(y) > static_cast<double>(B) - tile_width / 3; --y)
            if (expected.on(x, y) && expected.get(x, y) == white)
                expected.put(x, y, left_part ? red : blue);
    }
    fuzz::expect_same(screen, expected, "fill_tile_background");
}

template <typename U> void check_mask(FuzzedDataProvider& in, fuzz::ExactScreen& screen, double W) {
    const double u_max = in.ConsumeFloatingPointInRange(-0.5, 1.5);
    const double v_max = in.ConsumeFloatingPointInRange(-0.5, 1.0);
    fuzz::Picture expected = fuzz::Picture::of(screen);
    kit::mask_outside<U>(u_max, v_max);
    const Coord L = kit::tile_left, B = kit::tile_base;
    for (Coord x = 0; x < 640; ++x)
        for (Coord y = 0; y < 480; ++y) {
            const U u = static_cast<U>((static_cast<double>(x) - L) / W);
            const double v = (static_cast<double>(B) - y) / W;
            if (u < 0 || u > u_max || v < 0 || v > v_max) expected.put(x, y, white);
        }
    fuzz::expect_same(screen, expected, "mask_outside");
}

// A region of the tile (a box in tile units, each bound strict or not) and a source that is an
// affine map of (u, v), which may point anywhere, the surface's far side included.
struct Remap {
    double u_low, u_high, v_low, v_high;
    bool strict_low, strict_high;
    double a_u, a_v, a_c, b_u, b_v, b_c;
};

Remap pick_remap(FuzzedDataProvider& in) {
    Remap m{};
    m.u_low = in.ConsumeFloatingPointInRange(-0.5, 1.5);
    m.u_high = in.ConsumeFloatingPointInRange(-0.5, 1.5);
    m.v_low = in.ConsumeFloatingPointInRange(-0.5, 1.0);
    m.v_high = in.ConsumeFloatingPointInRange(-0.5, 1.0);
    m.strict_low = in.ConsumeBool();
    m.strict_high = in.ConsumeBool();
    const double scale = in.ConsumeBool() ? 2.0 : 1e7;
    for (double* k : {&m.a_u, &m.a_v, &m.a_c, &m.b_u, &m.b_v, &m.b_c})
        *k = in.ConsumeFloatingPointInRange(-scale, scale);
    return m;
}

template <typename U>
void check_remap(FuzzedDataProvider& in, fuzz::ExactScreen& screen, double W) {
    const Remap m = pick_remap(in);
    const int L = kit::tile_left, B = kit::tile_base;
    auto in_region = [&](U u, double v) {
        const bool low = m.strict_low ? m.u_low < u && m.v_low < v : m.u_low <= u && m.v_low <= v;
        const bool high =
            m.strict_high ? u < m.u_high && v < m.v_high : u <= m.u_high && v <= m.v_high;
        return low && high;
    };
    auto source = [&](U u, double v) {
        return kit::Point{kit::trunc_to_int(W * (m.a_u * u + m.a_v * v + m.a_c) + L),
                          kit::trunc_to_int(B - W * (m.b_u * u + m.b_v * v + m.b_c))};
    };
    fuzz::Picture expected = fuzz::Picture::of(screen);
    kit::remap_region<U>(in_region, source);

    // The whole scan, unclipped: columns L .. L + W, rows trunc(B - W) .. B, in that order.
    for (Coord x = L; static_cast<double>(x) <= static_cast<double>(L) + W; ++x)
        for (Coord y = fuzz::to_coord(B - W); y <= B; ++y) {
            const U u = static_cast<U>((static_cast<double>(x) - L) / W);
            const double v = (static_cast<double>(B) - y) / W;
            if (!in_region(u, v) || !expected.on(x, y)) continue;
            const kit::Point from = source(u, v);
            if (expected.on(from.x, from.y)) expected.put(x, y, expected.get(from.x, from.y));
        }
    fuzz::expect_same(screen, expected, "remap_region");
}

template <typename U>
void check_replicate(FuzzedDataProvider& in, fuzz::ExactScreen& screen, double W) {
    fuzz::Picture expected = fuzz::Picture::of(screen);
    kit::replicate_tile<U>();
    const Coord L = kit::tile_left, B = kit::tile_base;
    for (Coord x = L; static_cast<double>(x) <= static_cast<double>(L) + W; ++x)
        for (Coord y = fuzz::to_coord(B - W); y <= B; ++y) {
            const U u = static_cast<U>((static_cast<double>(x) - L) / W);
            const double v = (static_cast<double>(B) - y) / W;
            if (!(u >= 0 && u <= 1 && v >= 0 && v < kit::one_third) || !expected.on(x, y)) continue;
            const Uint32 c = expected.get(x, y);
            for (int j = -1; j <= 3; ++j)
                expected.put(fuzz::to_coord(static_cast<double>(x) + W * j), y, c);
        }
    fuzz::expect_same(screen, expected, "replicate_tile");
    (void)in;
}

} // namespace

// Whatever the tile's place and size, no mechanism reaches outside the surface (the sanitizer
// watches the edges of the pixel memory). Each one also paints exactly what its plain,
// unclipped scan paints, with positions off the surface neither read nor written (the mask
// scans columns 0 to 639 and rows 0 to 479, whatever the surface's size).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int w = 0, h = 0;
    fuzz::pick_surface(in, w, h);
    fuzz::ExactScreen screen(w, h, white);
    paint_picture(in, screen);
    kit::white = white;
    kit::red = red;
    kit::blue = blue;
    const int mechanism = in.ConsumeIntegralInRange(0, 7);
    const double W = pick_width(in);
    const int left = pick_corner(in, w, W);
    kit::place_tile(left, pick_corner(in, h, W), W);
    switch (mechanism) {
    case 0:
        check_box(in, screen, W);
        break;
    case 1:
        check_background(in, screen, W);
        break;
    case 2:
        check_mask<double>(in, screen, W);
        break;
    case 3:
        check_mask<float>(in, screen, W);
        break;
    case 4:
        check_remap<double>(in, screen, W);
        break;
    case 5:
        check_remap<float>(in, screen, W);
        break;
    case 6:
        check_replicate<double>(in, screen, W);
        break;
    default:
        check_replicate<float>(in, screen, W);
        break;
    }
    return 0;
}
