// What the fuzz targets share: a screen sized to the last pixel, the inputs they decode, and
// the plain step-by-step walks the rasterizers are checked against.
#pragma once

#include "kit/canvas.hpp"
#include "reference_walks.hpp"

#include <SDL.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

namespace fuzz {

using namespace reference;

// Makes kit::screen a w x h surface whose pixels are exactly w * h words in an allocation of
// their own, rows packed without padding: the address sanitizer reports any access before the
// first pixel or after the last.
class ExactScreen {
  public:
    ExactScreen(int w, int h, Uint32 background)
        : w_(w), h_(h), pixels_(new Uint32[static_cast<size_t>(w) * h]) {
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) pixels_[i] = background;
        surface_ = SDL_CreateRGBSurfaceFrom(pixels_.get(), w, h, 32, w * 4, 0x00ff0000, 0x0000ff00,
                                            0x000000ff, 0);
        if (!surface_) {
            std::fprintf(stderr, "cannot make a %dx%d surface: %s\n", w, h, SDL_GetError());
            std::abort();
        }
        kit::screen = surface_;
    }
    ~ExactScreen() {
        kit::screen = nullptr;
        SDL_FreeSurface(surface_);
    }
    ExactScreen(const ExactScreen&) = delete;
    ExactScreen& operator=(const ExactScreen&) = delete;

    int w() const { return w_; }
    int h() const { return h_; }
    Uint32 at(int x, int y) const { return pixels_[static_cast<size_t>(y) * w_ + x]; }
    Uint32& at(int x, int y) { return pixels_[static_cast<size_t>(y) * w_ + x]; }

  private:
    int w_, h_;
    std::unique_ptr<Uint32[]> pixels_;
    SDL_Surface* surface_ = nullptr;
};

// A plain copy of a picture for the reference loops: reads and writes off it are dropped, the
// way the kit's pixel primitives drop them.
struct Picture {
    int w = 0, h = 0;
    std::vector<Uint32> pixels;

    static Picture of(const ExactScreen& screen) {
        Picture p{screen.w(), screen.h(), {}};
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) p.pixels.push_back(screen.at(x, y));
        return p;
    }
    bool on(Coord x, Coord y) const { return x >= 0 && x < w && y >= 0 && y < h; }
    Uint32 get(Coord x, Coord y) const {
        return on(x, y) ? pixels[static_cast<size_t>(y * w + x)] : 0;
    }
    void put(Coord x, Coord y, Uint32 c) {
        if (on(x, y)) pixels[static_cast<size_t>(y * w + x)] = c;
    }
};

// Stops the run with a report when the screen is not the expected picture.
inline void expect_same(const ExactScreen& screen, const Picture& expected, const char* what) {
    for (int y = 0; y < screen.h(); ++y)
        for (int x = 0; x < screen.w(); ++x)
            if (screen.at(x, y) != expected.get(x, y)) {
                std::fprintf(stderr, "%s: pixel (%d, %d) of %dx%d is %#x, expected %#x\n", what, x,
                             y, screen.w(), screen.h(), screen.at(x, y), expected.get(x, y));
                std::abort();
            }
}

inline void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

// Mostly small surfaces, so that most positions fall near or beyond an edge; now and then the
// real 800 x 600 screen (rarely: every pixel of it is compared).
inline void pick_surface(FuzzedDataProvider& in, int& w, int& h) {
    if (in.ConsumeIntegralInRange(0, 63) == 63) {
        w = kit::screen_width;
        h = kit::screen_height;
    } else {
        w = in.ConsumeIntegralInRange(1, 64);
        h = in.ConsumeIntegralInRange(1, 64);
    }
}

// A coordinate along an axis of the given size: on the surface, near it, within 65536
// pixels, or any int at all.
inline int pick_coordinate(FuzzedDataProvider& in, int size) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return in.ConsumeIntegralInRange(0, size - 1);
    case 1:
        return in.ConsumeIntegralInRange(-3 * size, 4 * size);
    case 2:
        return in.ConsumeIntegralInRange(-(1 << 16), 1 << 16);
    default:
        return in.ConsumeIntegral<int>();
    }
}

// Conversion toward zero of a value far beyond any surface, kept inside the 64-bit range.
inline Coord to_coord(double value) {
    constexpr double limit = 4e18;
    if (!(value > -limit)) return static_cast<Coord>(-limit);
    if (value > limit) return static_cast<Coord>(limit);
    return static_cast<Coord>(value);
}

} // namespace fuzz
