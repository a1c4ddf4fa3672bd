#include "kit/png.hpp"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace kit {
namespace {

struct PngWriter {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string error;
    ~PngWriter() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file) std::fclose(file);
    }
};

void on_png_error(png_structp png, png_const_charp message) {
    auto* writer = static_cast<PngWriter*>(png_get_error_ptr(png));
    // libpng's own "Write Error" hides the reason the C library knows.
    writer->error = errno ? std::strerror(errno) : message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// Encodes into writer.file; returns false with writer.error set on failure.
bool encode(PngWriter& writer, SDL_Surface* surface, std::vector<png_byte>& row) {
    png_structp png = writer.png;
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, writer.file);
    // The slides are mostly flat colour: the fastest compression without row filters keeps
    // writing well below the cost of drawing and still makes small files (about 18 KB a slide).
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, writer.info, surface->w, surface->h, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, writer.info);
    // With whole bytes per channel (the 32-bit screens of the programs) each channel is a plain
    // shift; a call of SDL_GetRGB per pixel would cost as much as the compression.
    const SDL_PixelFormat* format = surface->format;
    const bool whole_bytes = format->BytesPerPixel == 4 && !format->palette && format->Rloss == 0 &&
                             format->Gloss == 0 && format->Bloss == 0;
    const int r_shift = format->Rshift, g_shift = format->Gshift, b_shift = format->Bshift;
    for (int y = 0; y < surface->h; ++y) {
        const auto* pixels = reinterpret_cast<const Uint32*>(
            static_cast<const Uint8*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < surface->w; ++x) {
            if (whole_bytes) {
                row[3 * x] = static_cast<png_byte>(pixels[x] >> r_shift);
                row[3 * x + 1] = static_cast<png_byte>(pixels[x] >> g_shift);
                row[3 * x + 2] = static_cast<png_byte>(pixels[x] >> b_shift);
            } else {
                SDL_GetRGB(pixels[x], surface->format, &row[3 * x], &row[3 * x + 1],
                           &row[3 * x + 2]);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, writer.info);
    return true;
}

} // namespace

std::optional<std::string> write_png(const std::string& path, SDL_Surface* surface) {
    const std::string temporary = path + ".part";
    auto fail = [&](const std::string& reason) {
        std::remove(temporary.c_str());
        return "cannot write " + path + ": " + reason;
    };
    std::vector<png_byte> row(3 * static_cast<size_t>(surface->w));
    {
        PngWriter writer;
        errno = 0;
        writer.file = std::fopen(temporary.c_str(), "wb");
        if (!writer.file) return fail(std::strerror(errno));
        writer.png =
            png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, on_png_error, on_png_warning);
        if (writer.png) writer.info = png_create_info_struct(writer.png);
        if (!writer.png || !writer.info) return fail("out of memory");
        errno = 0;
        if (!encode(writer, surface, row)) return fail(writer.error);
        png_destroy_write_struct(&writer.png, &writer.info);
        writer.png = nullptr;
        // The data reaches the disk (or fails to, on a full one) only at the flush.
        errno = 0;
        std::FILE* file = writer.file;
        writer.file = nullptr;
        const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
        const int flush_errno = errno;
        const bool closed = std::fclose(file) == 0;
        if (!flushed || !closed) return fail(std::strerror(flushed ? errno : flush_errno));
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) return fail(std::strerror(errno));
    return std::nullopt;
}

} // namespace kit
