// PNG files made without libpng (the browser build has none): all of the file but its compressed
// data, which the page deflates with the browser's own compressor (web/png.js). The image is what
// the desktop's writer makes: the same palette, in the same order, or RGB beyond 256 colours, and
// the same text chunks.
#include "png.hpp"

#include <array>

namespace kit {
namespace {

std::array<std::uint32_t, 256> make_crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Appends one chunk: length, type, data, and the CRC of type and data.
void put_chunk(std::vector<std::uint8_t>& out, const char* type,
               const std::vector<std::uint8_t>& data) {
    static const std::array<std::uint32_t, 256> crc_table = make_crc_table();
    put_u32(out, static_cast<std::uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    std::uint32_t crc = 0xffffffffu;
    for (size_t i = start; i < out.size(); ++i) crc = crc_table[(crc ^ out[i]) & 0xff] ^ (crc >> 8);
    put_u32(out, crc ^ 0xffffffffu);
}

// The colours of the image in the order its rows first show them, and each pixel's index into
// them at indices + y * indices_stride + x; false, with the indices half written, beyond 256
// colours. Open addressing over the pixel values; the pictures' long runs of one colour mostly
// hit the previous pixel's entry without a lookup.
bool index_rows(const Image& image, std::vector<std::uint32_t>& colours, std::uint8_t* indices,
                size_t indices_stride) {
    constexpr size_t slots = 1024;
    std::uint32_t keys[slots];
    int values[slots];
    bool used[slots] = {};
    colours.clear();
    std::uint32_t previous_pixel = 0;
    int previous_index = -1;
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* pixels = image.row(y);
        std::uint8_t* out = indices + static_cast<size_t>(y) * indices_stride;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t pixel = pixels[x];
            if (pixel != previous_pixel || previous_index < 0) {
                size_t slot = (pixel * 2654435761u) >> 22; // the top 10 bits: 0 .. 1023
                while (used[slot] && keys[slot] != pixel) slot = (slot + 1) % slots;
                if (!used[slot]) {
                    if (colours.size() == 256) return false;
                    used[slot] = true;
                    keys[slot] = pixel;
                    values[slot] = static_cast<int>(colours.size());
                    colours.push_back(pixel);
                }
                previous_pixel = pixel;
                previous_index = values[slot];
            }
            out[x] = static_cast<std::uint8_t>(previous_index);
        }
    }
    return true;
}

} // namespace

bool index_colours(const Image& image, IndexedPixels& out) {
    out.indices.resize(static_cast<size_t>(image.width) * image.height);
    return index_rows(image, out.colours, out.indices.data(), static_cast<size_t>(image.width));
}

PngParts png_parts(const Image& image, std::span<const PngText> texts) {
    const int w = image.width, h = image.height;
    PngParts parts;
    // The export's palette, in its order, where the image has one: the indices go straight into
    // the scanlines, after each row's filter byte (0, none, as the export's rows have).
    std::vector<std::uint32_t> colours;
    const size_t palette_row = static_cast<size_t>(w) + 1;
    parts.scanlines.assign(palette_row * h, 0);
    const bool palette = index_rows(image, colours, parts.scanlines.data() + 1, palette_row);
    if (!palette) {
        const size_t rgb_row = 3 * static_cast<size_t>(w) + 1;
        parts.scanlines.assign(rgb_row * h, 0);
        for (int y = 0; y < h; ++y) {
            const std::uint32_t* pixels = image.row(y);
            std::uint8_t* out = parts.scanlines.data() + y * rgb_row + 1;
            for (int x = 0; x < w; ++x) {
                const Rgb c = image.layout.unpack(pixels[x]);
                out[3 * x] = c.r;
                out[3 * x + 1] = c.g;
                out[3 * x + 2] = c.b;
            }
        }
    }
    std::vector<std::uint8_t>& out = parts.head;
    out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> header;
    put_u32(header, static_cast<std::uint32_t>(w));
    put_u32(header, static_cast<std::uint32_t>(h));
    header.insert(header.end(), {8, static_cast<std::uint8_t>(palette ? 3 : 2), 0, 0, 0});
    put_chunk(out, "IHDR", header);
    if (palette) {
        std::vector<std::uint8_t> entries;
        for (std::uint32_t colour : colours) {
            const Rgb c = image.layout.unpack(colour);
            entries.insert(entries.end(), {c.r, c.g, c.b});
        }
        put_chunk(out, "PLTE", entries);
    }
    for (const PngText& text : texts) {
        std::vector<std::uint8_t> data(text.keyword.begin(), text.keyword.end());
        data.push_back(0);
        data.insert(data.end(), text.text.begin(), text.text.end());
        put_chunk(out, "tEXt", data);
    }
    return parts;
}

} // namespace kit
