// png_crop IN.png OUT.png [MARGIN]: the picture in IN.png without the rows and columns around it
// that are all in its background colour (that of its top-left pixel), keeping MARGIN pixels of
// them (0 unless given) on each side where the picture has them. The page's landing pictures are
// the programs' last slides cropped so: a strip 84 pixels high in a window of 800x600.
//
// The pixels are copied unchanged, as RGB; the text chunks are left behind. OUT.png is written
// into a new file beside it, renamed over it once whole.
#include <png.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* usage = "usage: png_crop IN.png OUT.png [MARGIN]";

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "png_crop: %s\n", message.c_str());
    std::exit(1);
}

struct Box {
    int left, top, right, bottom; // right and bottom one past the last column and row
};

// The smallest box holding every pixel unlike the top-left one; empty (right 0) when none is.
Box drawn_box(const std::vector<png_byte>& rgb, int width, int height) {
    Box box{width, height, 0, 0};
    const png_byte* background = rgb.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const png_byte* pixel = rgb.data() + 3 * (static_cast<size_t>(y) * width + x);
            if (std::memcmp(pixel, background, 3) == 0) continue;
            if (x < box.left) box.left = x;
            if (x >= box.right) box.right = x + 1;
            if (y < box.top) box.top = y;
            if (y >= box.bottom) box.bottom = y + 1;
        }
    return box;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "%s\n", usage);
        return 2;
    }
    const std::string in = argv[1], out = argv[2];
    int margin = 0;
    if (argc == 4) {
        const std::string_view text = argv[3];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), margin);
        if (error != std::errc() || end != text.data() + text.size() || margin < 0) {
            std::fprintf(stderr,
                         "png_crop: bad margin '%s': give a whole number of pixels, 0 or "
                         "more\n%s\n",
                         argv[3], usage);
            return 2;
        }
    }

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, in.c_str()))
        fail("cannot read " + in + ": " + image.message);
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        fail("cannot read " + in + ": " + image.message);
    const int width = static_cast<int>(image.width), height = static_cast<int>(image.height);

    Box box = drawn_box(rgb, width, height);
    if (box.right == 0) fail(in + " is all one colour: there is nothing to crop to");
    box.left = box.left > margin ? box.left - margin : 0;
    box.top = box.top > margin ? box.top - margin : 0;
    box.right = width - box.right > margin ? box.right + margin : width;
    box.bottom = height - box.bottom > margin ? box.bottom + margin : height;

    // A new file in OUT's folder, renamed over OUT once written and closed.
    const size_t slash = out.rfind('/');
    std::string temporary =
        (slash == std::string::npos ? std::string() : out.substr(0, slash + 1)) +
        ".png_crop-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) fail("cannot write beside " + out + ": " + std::strerror(errno));
    // mkstemp's file is its owner's alone; the picture is for a web server to read, as any new
    // file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temporary.c_str());
        fail("cannot write beside " + out + ": " + std::strerror(errno));
    }
    png_image cropped{};
    cropped.version = PNG_IMAGE_VERSION;
    cropped.format = PNG_FORMAT_RGB;
    cropped.width = static_cast<png_uint_32>(box.right - box.left);
    cropped.height = static_cast<png_uint_32>(box.bottom - box.top);
    const png_byte* first = rgb.data() + 3 * (static_cast<size_t>(box.top) * width + box.left);
    const bool written =
        png_image_write_to_stdio(&cropped, file, 0, first, 3 * width, nullptr) != 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), out.c_str()) != 0) {
        const std::string reason = !written ? cropped.message : std::strerror(errno);
        unlink(temporary.c_str());
        fail("cannot write " + out + ": " + reason);
    }
    std::printf("%s: %dx%d of %s at %d,%d\n", out.c_str(), box.right - box.left,
                box.bottom - box.top, in.c_str(), box.left, box.top);
    return 0;
}
