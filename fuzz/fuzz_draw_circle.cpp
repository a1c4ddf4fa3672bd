// draw_circle with an arbitrary centre and radius.
#include "fuzz_support.hpp"

#include "kit/raster.hpp"

namespace {

// Mostly radii whose circles cross a small surface; also negative, huge and any radius.
int pick_radius(FuzzedDataProvider& in, int size) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return in.ConsumeIntegralInRange(-4, 2 * size);
    case 1:
        return in.ConsumeIntegralInRange(0, 1 << 12);
    case 2:
        return in.ConsumeIntegralInRange(0, 1 << 18);
    default:
        return in.ConsumeIntegral<int>();
    }
}

// A centre coordinate that puts the circle near the surface (within the radius and a bit), or
// anywhere.
int pick_centre(FuzzedDataProvider& in, int size, int r) {
    if (in.ConsumeBool()) return in.ConsumeIntegral<int>();
    const fuzz::Coord reach = std::llabs(fuzz::Coord{r}) + 2 * size;
    const fuzz::Coord c = in.ConsumeIntegralInRange<fuzz::Coord>(-reach, size + reach);
    return static_cast<int>(std::clamp<fuzz::Coord>(c, INT32_MIN, INT32_MAX));
}

} // namespace

// Nothing outside the surface is touched, any radius takes little time (the fuzzer's time-out
// catches one that walks billions of steps), and where the walk is short enough to take, the
// pixels drawn are exactly the walk's positions on the surface.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int w = 0, h = 0;
    fuzz::pick_surface(in, w, h);
    const int r = pick_radius(in, std::max(w, h));
    const int cx = pick_centre(in, w, r), cy = pick_centre(in, h, r);
    constexpr Uint32 background = 0x00ffffff, colour = 0x000000ff;

    fuzz::ExactScreen screen(w, h, background);
    fuzz::Picture expected = fuzz::Picture::of(screen);
    kit::draw_circle(cx, cy, r, colour);

    if (std::llabs(fuzz::Coord{r}) > fuzz::longest_reference_walk) return 0;
    fuzz::walk_circle(cx, cy, r, [&](fuzz::Coord x, fuzz::Coord y) { expected.put(x, y, colour); });
    fuzz::expect_same(screen, expected, "circle");
    return 0;
}
