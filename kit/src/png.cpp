#include "png.hpp"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
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

// The palette for libpng of indexed pixels (`used` as given).
void name_colours(Palette& palette, PixelLayout layout) {
    for (std::uint32_t colour : palette.pixels.colours) {
        const Rgb rgb = layout.unpack(colour);
        palette.colours.push_back({.red = rgb.r, .green = rgb.g, .blue = rgb.b});
    }
}

// Encodes into writer.file, from the palette where it is used, else from the image's pixels;
// returns false with writer.error set on failure. The palette is filled before the jump point,
// so that nothing a longjmp skips needs destroying.
bool encode(PngWriter& writer, const Image& image, const Palette& palette,
            std::span<png_text> chunks, std::vector<png_byte>& row) {
    png_structp png = writer.png;
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

namespace {

std::optional<std::string> write_with_palette(std::FILE* file, const Image& image,
                                              const Palette& palette,
                                              std::span<const PngText> texts) {
    std::vector<png_byte> row(palette.used ? 0 : 3 * static_cast<size_t>(image.width));
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
    if (!encode(writer, image, palette, chunks, row)) return writer.error;
    return std::nullopt;
}

} // namespace

std::optional<std::string> write_png(std::FILE* file, const Image& image,
                                     std::span<const PngText> texts) {
    Palette palette;
    palette.used = index_colours(image, palette.pixels);
    if (palette.used) name_colours(palette, image.layout);
    return write_with_palette(file, image, palette, texts);
}

std::optional<std::string> write_png_indexed(std::FILE* file, IndexedPixels& pixels, int width,
                                             int height, PixelLayout layout,
                                             std::span<const PngText> texts) {
    Palette palette;
    palette.used = true;
    palette.pixels.colours.swap(pixels.colours);
    palette.pixels.indices.swap(pixels.indices);
    name_colours(palette, layout);
    const Image shape{
        .pixels = nullptr, .width = width, .height = height, .stride = 0, .layout = layout};
    auto error = write_with_palette(file, shape, palette, texts);
    // The buffers go back to the caller, for the next picture.
    palette.pixels.colours.swap(pixels.colours);
    palette.pixels.indices.swap(pixels.indices);
    return error;
}

namespace {

struct PngReader {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string error;
    std::vector<PngText> texts;
    ~PngReader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file) std::fclose(file);
    }
};

void on_read_error(png_structp png, png_const_charp message) {
    auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
    if (reader->error.empty()) reader->error = "damaged PNG file: " + std::string(message);
    png_longjmp(png, 1);
}

// The most a compressed text may inflate to (a studio's scene takes well under 100 KB): more is
// a file made to exhaust memory.
constexpr size_t text_limit = size_t{8} << 20;

// A compressed text inflated, or nothing when it does not inflate within text_limit.
std::optional<std::string> inflated(std::string_view packed) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    std::string text;
    char buffer[16384];
    int status = Z_OK;
    while (status == Z_OK && text.size() <= text_limit) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        text.append(buffer, sizeof buffer - stream.avail_out);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return text;
}

// libpng's own text readers measure each text with strlen, which cuts it at a NUL unseen: the
// three text chunks come here whole instead, in the file's order, and are taken apart here.
int on_text_chunk(png_structp png, png_unknown_chunkp chunk) {
    const std::string_view name(reinterpret_cast<const char*>(chunk->name), 4);
    if (name != "tEXt" && name != "zTXt" && name != "iTXt") return 0;
    auto* reader = static_cast<PngReader*>(png_get_user_chunk_ptr(png));
    const std::string_view data(reinterpret_cast<const char*>(chunk->data), chunk->size);
    const size_t keyword = data.find('\0');
    std::string_view rest = data.substr(std::min(keyword + 1, data.size()));
    // A keyword of 1 to 79 bytes, its NUL, and the rest.
    bool formed = keyword > 0 && keyword < 80 && keyword != data.npos;
    bool compressed = name == "zTXt";
    if (name == "iTXt") {
        // The compression flag and method, the language and the translated keyword, then the text.
        const size_t language = rest.find('\0', 2);
        const size_t translated = language == rest.npos ? language : rest.find('\0', language + 1);
        formed =
            formed && rest.size() > 1 && rest[0] <= 1 && rest[1] == 0 && translated != rest.npos;
        compressed = formed && rest[0] == 1;
        rest = rest.substr(std::min(translated + 1, rest.size()));
    } else if (compressed) {
        formed = formed && !rest.empty() && rest[0] == 0; // deflate, the only method
        rest = rest.substr(std::min<size_t>(1, rest.size()));
    }
    std::optional<std::string> text;
    if (formed) text = compressed ? inflated(rest) : std::string(rest);
    if (!text) {
        reader->error = "damaged PNG file: its " + std::string(name) + " chunk " +
                        (formed ? "does not decompress (within 8 MiB)" : "is malformed");
        return -1;
    }
    reader->texts.push_back({std::string(data.substr(0, keyword)), std::move(*text)});
    return 1;
}

bool read_texts(PngReader& reader) {
    if (setjmp(png_jmpbuf(reader.png))) return false;
    png_init_io(reader.png, reader.file);
    static const png_byte text_chunks[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(reader.png, PNG_HANDLE_CHUNK_ALWAYS, text_chunks, 3);
    png_set_read_user_chunk_fn(reader.png, &reader, on_text_chunk);
    png_read_info(reader.png, reader.info);
    return true;
}

// What kind of file other than a regular one `mode` is, for a message.
const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "a special file";
}

} // namespace

std::optional<std::vector<PngText>> read_png_texts(const std::string& path, std::string& error) {
    PngReader reader;
    // Without O_NONBLOCK, opening a FIFO waits for a writer; a regular file reads the same either
    // way.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || !(reader.file = fdopen(fd, "rb"))) {
        error = std::strerror(errno);
        if (fd >= 0) close(fd);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = std::string("not a regular file (") + kind_of(status.st_mode) + ")";
        return std::nullopt;
    }
    unsigned char signature[8];
    if (std::fread(signature, 1, sizeof signature, reader.file) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        error = std::ferror(reader.file) ? std::strerror(errno) : "not a PNG file";
        return std::nullopt;
    }
    reader.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, on_read_error, on_png_warning);
    if (reader.png) reader.info = png_create_info_struct(reader.png);
    if (!reader.png || !reader.info) {
        error = "out of memory";
        return std::nullopt;
    }
    png_set_sig_bytes(reader.png, sizeof signature);
    if (!read_texts(reader)) {
        error = reader.error;
        return std::nullopt;
    }
    return std::move(reader.texts);
}

} // namespace kit
