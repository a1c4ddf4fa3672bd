#include "png.hpp"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace kit {
namespace {

struct PngWriter {
    std::FILE* file = nullptr; // not owned
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string error;
    ~PngWriter() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

void on_png_error(png_structp png, png_const_charp message) {
    auto* writer = static_cast<PngWriter*>(png_get_error_ptr(png));
    // libpng's own "Write Error" hides the reason the C library knows.
    writer->error = errno ? std::strerror(errno) : message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// The slides hold a few flat colours and a few dozen orbit colours, so a palette image is a
// third of the bytes of an RGB one and compresses that much faster: the image's palette for
// libpng, where it has one of at most 256 colours (`used`).
struct Palette {
    IndexedPixels pixels;
    std::vector<png_color> colours;
    bool used = false;
};

Palette palette_of(const Image& image) {
    Palette palette;
    palette.used = index_colours(image, palette.pixels);
    for (std::uint32_t colour : palette.pixels.colours) {
        const Rgb rgb = image.layout.unpack(colour);
        palette.colours.push_back({.red = rgb.r, .green = rgb.g, .blue = rgb.b});
    }
    return palette;
}

// Encodes into writer.file; returns false with writer.error set on failure.
bool encode(PngWriter& writer, const Image& image, std::span<png_text> chunks,
            std::vector<png_byte>& row) {
    png_structp png = writer.png;
    // Filled before the jump point, so that nothing a longjmp skips needs destroying.
    const Palette palette = palette_of(image);
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, writer.file);
    // The slides are mostly flat colour: the fastest compression without row filters keeps
    // writing well below the cost of drawing and still makes small files.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, writer.info, image.width, image.height, 8,
                 palette.used ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (palette.used)
        png_set_PLTE(png, writer.info, palette.colours.data(),
                     static_cast<int>(palette.colours.size()));
    // Before the image data, so that a reader finds them without decoding the picture.
    if (!chunks.empty())
        png_set_text(png, writer.info, chunks.data(), static_cast<int>(chunks.size()));
    png_write_info(png, writer.info);
    if (palette.used) {
        for (int y = 0; y < image.height; ++y)
            png_write_row(png,
                          palette.pixels.indices.data() + static_cast<size_t>(y) * image.width);
        png_write_end(png, writer.info);
        return true;
    }
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* pixels = image.row(y);
        for (int x = 0; x < image.width; ++x) {
            const Rgb rgb = image.layout.unpack(pixels[x]);
            row[3 * x] = rgb.r;
            row[3 * x + 1] = rgb.g;
            row[3 * x + 2] = rgb.b;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, writer.info);
    return true;
}

} // namespace

std::optional<std::string> write_png(std::FILE* file, const Image& image,
                                     std::span<const PngText> texts) {
    std::vector<png_byte> row(3 * static_cast<size_t>(image.width));
    PngWriter writer;
    writer.file = file;
    writer.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, on_png_error, on_png_warning);
    if (writer.png) writer.info = png_create_info_struct(writer.png);
    if (!writer.png || !writer.info) return "out of memory";
    errno = 0;
    // libpng copies the texts; their keywords must be valid, or the write fails.
    std::vector<png_text> chunks(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
        chunks[i].key = const_cast<char*>(texts[i].keyword.c_str());
        chunks[i].text = const_cast<char*>(texts[i].text.c_str());
        chunks[i].text_length = texts[i].text.size();
    }
    if (!encode(writer, image, chunks, row)) return writer.error;
    return std::nullopt;
}

namespace {

struct PngReader {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file) std::fclose(file);
    }
};

void on_read_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

bool read_text(PngReader& reader, std::map<std::string, std::string>& out) {
    if (setjmp(png_jmpbuf(reader.png))) return false;
    png_init_io(reader.png, reader.file);
    png_read_info(reader.png, reader.info);
    png_textp chunks = nullptr;
    const int count = png_get_text(reader.png, reader.info, &chunks, nullptr);
    for (int i = 0; i < count; ++i)
        out[chunks[i].key] = std::string(chunks[i].text, chunks[i].text_length);
    return true;
}

} // namespace

std::optional<std::map<std::string, std::string>> read_png_text(const std::string& path) {
    PngReader reader;
    reader.file = std::fopen(path.c_str(), "rbe");
    if (!reader.file) return std::nullopt;
    unsigned char signature[8];
    if (std::fread(signature, 1, sizeof signature, reader.file) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0)
        return std::nullopt;
    reader.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_read_error, on_png_warning);
    if (reader.png) reader.info = png_create_info_struct(reader.png);
    if (!reader.png || !reader.info) return std::nullopt;
    png_set_sig_bytes(reader.png, sizeof signature);
    std::map<std::string, std::string> texts;
    if (!read_text(reader, texts)) return std::nullopt;
    return texts;
}

} // namespace kit
