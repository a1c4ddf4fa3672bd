// PNG files made without libpng (the browser build has none). The image is what the desktop's
// writer makes (the same palette, in the same order, or RGB beyond 256 colours, and the same text
// chunks); only the compression differs. png_parts leaves the compression to the page, whose
// browser deflates far better (web/png.js); png_bytes writes runs of one colour in deflate's
// fixed codes, about three times the export's bytes.
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

// Deflate's bit stream: values least significant bit first, Huffman codes most significant first.
struct Bits {
    std::vector<std::uint8_t>& out;
    std::uint32_t buffer = 0;
    int count = 0;
    void put(std::uint32_t value, int bits) {
        buffer |= value << count;
        count += bits;
        while (count >= 8) {
            out.push_back(static_cast<std::uint8_t>(buffer));
            buffer >>= 8;
            count -= 8;
        }
    }
    void put_code(std::uint32_t code, int bits) {
        std::uint32_t reversed = 0;
        for (int i = 0; i < bits; ++i) reversed |= (code >> i & 1) << (bits - 1 - i);
        put(reversed, bits);
    }
    void flush() {
        if (count > 0) out.push_back(static_cast<std::uint8_t>(buffer));
        buffer = 0;
        count = 0;
    }
};

// A symbol of the fixed literal/length code.
void put_symbol(Bits& bits, int symbol) {
    if (symbol < 144)
        bits.put_code(0x30 + symbol, 8);
    else if (symbol < 256)
        bits.put_code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        bits.put_code(symbol - 256, 7);
    else
        bits.put_code(0xc0 + symbol - 280, 8);
}

// A copy of the byte before, `length` (3 to 258) times: a length symbol, then distance 1.
void put_repeat(Bits& bits, int length) {
    static constexpr int bases[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    int code = 28;
    while (bases[code] > length) --code;
    put_symbol(bits, 257 + code);
    const int extra = code < 8 || code == 28 ? 0 : (code - 4) / 4;
    bits.put(static_cast<std::uint32_t>(length - bases[code]), extra);
    bits.put_code(0, 5); // distance code 0: distance 1
}

// The zlib stream of `data` in one block of fixed codes, each run of a byte (after its first)
// as copies at distance 1.
std::vector<std::uint8_t> zlib_stream(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out{0x78, 0x01};
    Bits bits{out};
    bits.put(1, 1); // the last block
    bits.put(1, 2); // fixed codes
    size_t i = 0;
    while (i < data.size()) {
        put_symbol(bits, data[i]);
        size_t run = 0;
        while (i + 1 + run < data.size() && data[i + 1 + run] == data[i]) ++run;
        ++i;
        while (run >= 3) {
            const int length = static_cast<int>(run < 258 ? run : 258);
            put_repeat(bits, length);
            run -= static_cast<size_t>(length);
            i += static_cast<size_t>(length);
        }
        for (; run > 0; --run, ++i) put_symbol(bits, data[i]);
    }
    put_symbol(bits, 256);
    bits.flush();
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_u32(out, b << 16 | a);
    return out;
}

// The colours of the rows in the order they first show them, and each pixel's index into them at
// indices + y * indices_stride + x; false, with the indices half written, beyond 256 colours.
// row(y) gives row y's first pixel. Open addressing over the pixel values; the pictures' long
// runs of one colour mostly hit the previous pixel's entry without a lookup.
template <typename Row>
bool index_rows(int width, int height, Row row, std::vector<std::uint32_t>& colours, std::uint8_t* indices,
                size_t indices_stride) {
    constexpr size_t slots = 1024;
    std::uint32_t keys[slots];
    int values[slots];
    bool used[slots] = {};
    colours.clear();
    std::uint32_t previous_pixel = 0;
    int previous_index = -1;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* pixels = row(y);
        std::uint8_t* out = indices + static_cast<size_t>(y) * indices_stride;
        for (int x = 0; x < width; ++x) {
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
    return index_rows(
        image.width, image.height, [&](int y) { return image.row(y); }, out.colours,
        out.indices.data(), static_cast<size_t>(image.width));
}

PngParts png_parts(const Image& image, std::span<const PngText> texts) {
    const int w = image.width, h = image.height;
    PngParts parts;
    // The export's palette, in its order, where the image has one: the indices go straight into
    // the scanlines, after each row's filter byte (0, none, as the export's rows have).
    std::vector<std::uint32_t> colours;
    const size_t palette_row = static_cast<size_t>(w) + 1;
    parts.scanlines.assign(palette_row * h, 0);
    const bool palette = index_rows(
        w, h, [&](int y) { return image.row(y); }, colours, parts.scanlines.data() + 1,
        palette_row);
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

std::vector<std::uint8_t> png_bytes(const Image& image, std::span<const PngText> texts) {
    PngParts parts = png_parts(image, texts);
    put_chunk(parts.head, "IDAT", zlib_stream(parts.scanlines));
    put_chunk(parts.head, "IEND", {});
    return std::move(parts.head);
}

} // namespace kit
