// Pictures as the kit's drawing code, its PNG writers and the programs other than the slide
// shows take them: 32-bit pixels in rows, with the way each pixel holds its colour.
//
// Offers: Rgb (a colour as three bytes), PixelLayout (where red, green and blue sit in a pixel,
// and which bits are set besides), Image (a view of pixels someone else owns) and PixelBuffer
// (pixels of its own, for pictures of any size, which reports a failed allocation instead of
// ending the program).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace kit {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Each of red, green and blue is a whole byte at its shift; `opaque` is or-ed into every pixel
// (a full alpha channel, where the pixels have one). Pixels of one layout compare equal exactly
// when their colours do.
struct PixelLayout {
    int red_shift = 16, green_shift = 8, blue_shift = 0;
    std::uint32_t opaque = 0;

    constexpr std::uint32_t pack(Rgb c) const {
        return opaque | std::uint32_t{c.r} << red_shift | std::uint32_t{c.g} << green_shift |
               std::uint32_t{c.b} << blue_shift;
    }
    constexpr Rgb unpack(std::uint32_t pixel) const {
        return {static_cast<std::uint8_t>(pixel >> red_shift),
                static_cast<std::uint8_t>(pixel >> green_shift),
                static_cast<std::uint8_t>(pixel >> blue_shift)};
    }
    bool operator==(const PixelLayout&) const = default;
};

// 0x00RRGGBB: the desktop's software screens.
inline constexpr PixelLayout xrgb_layout{};
// The bytes R, G, B, A in memory on a little-endian machine: what a canvas's ImageData holds.
inline constexpr PixelLayout rgba_layout{
    .red_shift = 0, .green_shift = 8, .blue_shift = 16, .opaque = 0xff000000};

// A view of 32-bit pixels: row y starts `stride` pixels after row y - 1. It owns nothing; copies
// of it show the same pixels.
struct Image {
    std::uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    std::size_t stride = 0;
    PixelLayout layout{};

    std::uint32_t* row(int y) const { return pixels + static_cast<std::size_t>(y) * stride; }
    bool contains(int x, int y) const {
        return static_cast<unsigned>(x) < static_cast<unsigned>(width) &&
               static_cast<unsigned>(y) < static_cast<unsigned>(height);
    }
    // Rows top .. top + h - 1, every column.
    Image rows(int top, int h) const { return {row(top), width, h, stride, layout}; }
};

// Pixels of its own, packed row after row. resize() keeps the memory it has when that suffices
// (the pixels are then left as they were) and returns false, holding nothing, when the memory
// cannot be had.
class PixelBuffer {
  public:
    bool resize(int width, int height, PixelLayout layout = {}) {
        const std::size_t needed = static_cast<std::size_t>(width < 0 ? 0 : width) *
                                   static_cast<std::size_t>(height < 0 ? 0 : height);
        if (needed > capacity_) {
            pixels_.reset(); // before the new pixels are asked for, not after
            pixels_.reset(new (std::nothrow) std::uint32_t[needed]);
            capacity_ = pixels_ ? needed : 0;
        }
        if (needed > capacity_) {
            image_ = {};
            return false;
        }
        image_ = {pixels_.get(), width, height, static_cast<std::size_t>(width), layout};
        return true;
    }
    const Image& image() const { return image_; }

  private:
    std::unique_ptr<std::uint32_t[]> pixels_;
    std::size_t capacity_ = 0;
    Image image_{};
};

// Every pixel of the image in one colour.
inline void fill(const Image& image, std::uint32_t colour) {
    for (int y = 0; y < image.height; ++y) {
        std::uint32_t* row = image.row(y);
        for (int x = 0; x < image.width; ++x) row[x] = colour;
    }
}

} // namespace kit
