// figure5's flood fill on arbitrary small pictures, colours and seeds.
#include "fuzz_support.hpp"

#include "cells.hpp"

#include <deque>

namespace {

using fuzz::Picture;

// The fill as a plain recursion, step by step: test the seed, paint it, run left (never
// testing or painting column 0) and right, each run stopping only at the border colour, then
// for every column from the left stop column to the last painted one try the row above (only
// down to row 1) and then the row below, each call finished before the next. Depth is bounded
// by the pixels painted, which the small pictures keep within the stack.
void recursive_fill(Picture& p, int x, int y, Uint32 fill, Uint32 border) {
    const Uint32 seed = p.get(x, y);
    if (seed == border || seed == fill) return;
    p.put(x, y, fill);
    int left = 0;
    for (int i = x - 1; i > 0; --i) {
        if (p.get(i, y) == border) {
            left = i;
            break;
        }
        p.put(i, y, fill);
    }
    int right = p.w;
    for (int i = x + 1; i <= p.w - 1; ++i) {
        if (p.get(i, y) == border) {
            right = i;
            break;
        }
        p.put(i, y, fill);
    }
    for (int i = left; i < right; ++i) {
        if (y > 1) recursive_fill(p, i, y - 1, fill, border);
        if (y < p.h - 1) recursive_fill(p, i, y + 1, fill, border);
    }
}

// Every pixel reachable from the seed by horizontal and vertical steps over pixels that are
// not the border colour.
void four_connected_fill(Picture& p, int x, int y, Uint32 fill, Uint32 border) {
    if (p.get(x, y) == border) return;
    std::vector<bool> seen(p.pixels.size());
    std::deque<std::pair<int, int>> pending{{x, y}};
    seen[static_cast<size_t>(y) * p.w + x] = true;
    while (!pending.empty()) {
        const auto [px, py] = pending.front();
        pending.pop_front();
        p.put(px, py, fill);
        for (auto [nx, ny] : {std::pair{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}}) {
            if (!p.on(nx, ny) || p.get(nx, ny) == border) continue;
            const size_t at = static_cast<size_t>(ny) * p.w + nx;
            if (!seen[at]) {
                seen[at] = true;
                pending.emplace_back(nx, ny);
            }
        }
    }
}

// Makes a picture one on which the scan-line fill must equal the plain 4-connected fill: the
// fill colour appears nowhere before the fill (unless it is the border colour), column 0 and
// row 0 are border (a run never paints column 0 and the rows are followed up only to row 1),
// and no 2 x 2 block has border on one diagonal only. Such a block is where the fill can slip
// through: a run that stops at a border pixel tries the rows above and below from that
// border column, which a 4-connected step cannot reach when the pixel beside it is border.
void close_picture(fuzz::ExactScreen& screen, Uint32 fill, Uint32 border, Uint32 spare) {
    for (int y = 0; y < screen.h(); ++y)
        for (int x = 0; x < screen.w(); ++x)
            if (x == 0 || y == 0)
                screen.at(x, y) = border;
            else if (screen.at(x, y) == fill && fill != border)
                screen.at(x, y) = spare;
    for (bool changed = true; changed;) {
        changed = false;
        for (int y = 0; y + 1 < screen.h(); ++y)
            for (int x = 0; x + 1 < screen.w(); ++x) {
                const bool a = screen.at(x, y) == border, b = screen.at(x + 1, y) == border;
                const bool c = screen.at(x, y + 1) == border, d = screen.at(x + 1, y + 1) == border;
                if (a == d && b == c && a != b) {
                    screen.at(a ? x + 1 : x, y) = border;
                    changed = true;
                }
            }
    }
}

} // namespace

// The fill never touches memory outside the surface (the sanitizer watches the edges of the
// pixel memory), always ends (the fuzzer's time-out), paints exactly what the plain recursion
// paints on every picture, and on the pictures that allow it exactly the 4-connected region of
// the seed. A seed off the seedable area (column 0, or off the surface) paints nothing.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int w = in.ConsumeIntegralInRange(1, 40), h = in.ConsumeIntegralInRange(1, 40);
    // Four inks, so that equal colours are common; fill and border may be the same one.
    constexpr Uint32 inks[4] = {0x00ffffff, 0x00000064, 0x006464ff, 0x00ff5050};
    const Uint32 ground = inks[0];
    const Uint32 border = inks[in.ConsumeIntegralInRange(0, 3)];
    const Uint32 fill = inks[in.ConsumeIntegralInRange(0, 3)];
    const bool closed = in.ConsumeBool();
    const int density = in.ConsumeIntegralInRange(0, 7); // how much of the picture is not ground
    int x = 0, y = 0;
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        x = in.ConsumeIntegral<int>();
        y = in.ConsumeIntegral<int>();
    } else {
        x = in.ConsumeIntegralInRange(0, w - 1);
        y = in.ConsumeIntegralInRange(0, h - 1);
    }

    fuzz::ExactScreen screen(w, h, ground);
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) {
            const auto byte = in.ConsumeIntegral<std::uint8_t>();
            if ((byte & 7) < density) screen.at(px, py) = inks[byte >> 6];
        }
    if (closed) {
        // An ink that is neither fill nor border takes the place of the fill colour.
        Uint32 spare = inks[0];
        for (Uint32 ink : inks)
            if (ink != fill && ink != border) spare = ink;
        close_picture(screen, fill, border, spare);
    }

    const Picture before = Picture::of(screen);
    figure5::flood_fill(x, y, fill, border);
    const bool seedable = x >= 1 && x < w && y >= 0 && y < h;
    Picture expected = before;
    if (seedable) recursive_fill(expected, x, y, fill, border);
    fuzz::expect_same(screen, expected, "flood_fill against the recursion");
    if (closed && seedable) {
        Picture plain = before;
        four_connected_fill(plain, x, y, fill, border);
        fuzz::expect_same(screen, plain, "flood_fill against the 4-connected fill");
    }
    return 0;
}
