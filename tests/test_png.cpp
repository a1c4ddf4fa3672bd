#include "kit/canvas.hpp"
#include "kit/files.hpp"
#include "slide_texts.hpp"
#include "support.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed however the test ends.
struct Folder {
    fs::path path;
    Folder() {
        char name[] = "/tmp/figures-png-XXXXXX";
        if (mkdtemp(name)) path = name;
    }
    ~Folder() {
        if (!path.empty()) fs::remove_all(path);
    }
};

// The colour type byte of the PNG's header chunk: 2 for RGB, 3 for a palette image.
int colour_type(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[26] = {};
    in.read(header, sizeof header);
    return in ? header[25] : -1;
}

// Paints `colours` different colours in runs along the rows, so each appears many times.
void paint_colours(int colours) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int k = (x / 7 + y * 3) % colours;
            kit::put_pixel(x, y, kit::map_rgb(k & 0xff, (k >> 8) * 40, 255 - (k & 0xff)));
        }
}

void expect_round_trip(const fs::path& file, int type) {
    const test::Picture expected = test::snapshot();
    ASSERT_EQ(kit::write_png_at(file.string(), kit::screen_image()), std::nullopt);
    EXPECT_EQ(colour_type(file), type);
    const auto read = test::read_png(file.string());
    ASSERT_TRUE(read.has_value());
    const auto where = test::differences(*read, expected);
    EXPECT_TRUE(where.empty()) << "first difference at " << where.front().first << ","
                               << where.front().second;
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

// Up to 256 colours go into a palette image, more into RGB; both give back every pixel.
TEST(Png, PaletteUpTo256ColoursRgbBeyond) {
    test::SoftwareScreen screen;
    Folder folder;
    ASSERT_FALSE(folder.path.empty());
    kit::clear_screen(kit::white);
    expect_round_trip(folder.path / "flat.png", 3);
    for (int colours : {2, 255, 256}) {
        paint_colours(colours);
        expect_round_trip(folder.path / (std::to_string(colours) + "-palette.png"), 3);
    }
    for (int colours : {257, 5000}) {
        paint_colours(colours);
        expect_round_trip(folder.path / (std::to_string(colours) + "-rgb.png"), 2);
    }
    // A colour that first appears in the very last pixel still gets its own entry.
    paint_colours(255);
    kit::put_pixel(799, 599, kit::map_rgb(1, 2, 3));
    expect_round_trip(folder.path / "last.png", 3);
}

// The chunks of a PNG file in order, as (type, data), the image data left out.
std::vector<std::pair<std::string, std::string>> chunks_but_data(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::string, std::string>> chunks;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const auto byte = [&](size_t i) {
            return static_cast<size_t>(static_cast<Uint8>(bytes[i]));
        };
        const size_t length =
            byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        const std::string type = bytes.substr(at + 4, 4);
        if (type != "IDAT") chunks.emplace_back(type, bytes.substr(at + 8, length));
        at += 12 + length;
    }
    return chunks;
}

void write_file(const fs::path& path, const std::vector<Uint8>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

void put_chunk(std::vector<Uint8>& out, const char* type, const std::vector<Uint8>& data) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(Uint8(data.size() >> shift));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(Uint8(crc >> shift));
}

// The file the page makes of png_parts, here with zlib's deflate for the browser's.
std::vector<Uint8> completed(const kit::PngParts& parts) {
    std::vector<Uint8> data(compressBound(parts.scanlines.size()));
    uLongf size = data.size();
    EXPECT_EQ(compress(data.data(), &size, parts.scanlines.data(), parts.scanlines.size()), Z_OK);
    data.resize(size);
    std::vector<Uint8> file = parts.head;
    put_chunk(file, "IDAT", data);
    put_chunk(file, "IEND", {});
    return file;
}

// The browser's files hold the export's image: the same pixels, palette and chunks, from
// png_parts once deflated.
TEST(Png, InMemoryFileHoldsTheExportsImage) {
    test::SoftwareScreen screen;
    Folder folder;
    for (int colours : {1, 256, 257}) {
        paint_colours(colours);
        // Runs longer than one copy can say, and a dot on its own.
        for (int x = 0; x < 800; ++x) kit::put_pixel(x, 300, kit::white);
        kit::put_pixel(400, 300, kit::red);
        const fs::path exported = folder.path / "export.png";
        const std::vector<kit::PngText> texts{{.keyword = "Description", .text = "a caption"}};
        ASSERT_EQ(kit::write_png_at(exported.string(), kit::screen_image(), texts), std::nullopt);
        const fs::path file = folder.path / "parts.png";
        write_file(file, completed(kit::png_parts(kit::screen_image(), texts)));
        const auto read = test::read_png(file.string());
        ASSERT_TRUE(read.has_value()) << colours;
        EXPECT_TRUE(test::same_picture(*read, test::snapshot())) << colours;
        EXPECT_EQ(chunks_but_data(file), chunks_but_data(exported)) << colours;
    }
}

// png_parts reads an Image as its layout says, row by row at its stride: here the bytes R, G,
// B, A of a canvas, in rows longer than the picture, with 256 colours and then 257.
TEST(Png, PartsReadTheImagesLayoutAndStride) {
    Folder folder;
    constexpr int w = 300, h = 3, stride = 301;
    std::vector<std::uint32_t> pixels(stride * h, 0x12345678); // never on view
    const kit::Image image{pixels.data(), w, h, stride, kit::rgba_layout};
    test::Picture expected{.w = w, .h = h, .pixels = std::vector<Uint32>(w * h)};
    for (int extra : {0, 1}) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int k = (x + 100 * y) % (256 + extra);
                const kit::Rgb c{Uint8(k), Uint8(k >> 8), 7};
                image.row(y)[x] = kit::rgba_layout.pack(c);
                expected.at(x, y) = kit::xrgb_layout.pack(c);
            }
        const fs::path file = folder.path / "layout.png";
        write_file(file, completed(kit::png_parts(image, {})));
        EXPECT_EQ(colour_type(file), extra ? 2 : 3);
        EXPECT_EQ(test::read_png(file.string()), expected) << extra;
    }
}

// Rows wider than a surface's (a downloaded strip's) are encoded whole.
TEST(Png, InMemoryFileHoldsRowsWiderThanASurface) {
    test::SoftwareScreen screen;
    Folder folder;
    test::Picture wide{.w = 20000, .h = 3, .pixels = std::vector<Uint32>(60000, kit::white)};
    for (int x = 16380; x < 20000; x += 7) wide.at(x, x % 3) = kit::red;
    const fs::path made = folder.path / "wide.png";
    write_file(made, completed(kit::png_parts(kit::Image{.pixels = wide.pixels.data(),
                                                         .width = wide.w,
                                                         .height = wide.h,
                                                         .stride = static_cast<size_t>(wide.w),
                                                         .layout = kit::screen_image().layout},
                                              {})));
    EXPECT_EQ(test::read_png(made.string()), wide);
}

// Text chunks come back as written, Latin-1 bytes and an empty text included; a file that is no
// PNG has none to give.
TEST(Png, TextChunksRoundTrip) {
    test::SoftwareScreen screen;
    Folder folder;
    const std::vector<kit::PngText> texts{
        {.keyword = "Software", .text = "figureN 9.9.9"},
        {.keyword = "Title", .text = "kick=0.9 group=p2mm \xe9"},
        {.keyword = "Empty", .text = ""},
    };
    const fs::path file = folder.path / "texts.png";
    ASSERT_EQ(kit::write_png_at(file.string(), kit::screen_image(), texts), std::nullopt);
    std::string error;
    EXPECT_EQ(kit::read_png_texts(file.string(), error), texts);
    ASSERT_TRUE(test::read_png(file.string()).has_value());
    std::ofstream(folder.path / "not.png") << "not a picture";
    for (const char* name : {"absent.png", "not.png"}) {
        EXPECT_EQ(kit::read_png_texts((folder.path / name).string(), error), std::nullopt);
        EXPECT_FALSE(error.empty()) << name;
    }
}

// Every text chunk in the file's order, whatever its form; a keyword given twice and the bytes
// after a NUL are kept for the caller to judge.
TEST(Png, EveryFormOfTextChunkIsReadInOrder) {
    Folder folder;
    const std::string file = (folder.path / "forms.png").string();
    using enum test::TextChunk;
    using namespace std::string_literals;
    ASSERT_TRUE(test::write_png_texts(file, {{iTXt_compressed, "Scene", "v=1 kick=2"},
                                             {tEXt, "Scene", "kick=3\0group=p1"s},
                                             {zTXt, "Title", "zipped \xe9\0"s},
                                             {iTXt, "Note", "plain \xc3\xa9\0tail"s}}));
    std::string error;
    EXPECT_EQ(kit::read_png_texts(file, error),
              (std::vector<kit::PngText>{{"Scene", "v=1 kick=2"},
                                         {"Scene", "kick=3\0group=p1"s},
                                         {"Title", "zipped \xe9\0"s},
                                         {"Note", "plain \xc3\xa9\0tail"s}}))
        << error;
}

// Replace::never leaves a file under the final name as it was, and no temporary file; a free
// name is written whole.
TEST(Png, NeverReplaceKeepsAnExistingFile) {
    test::SoftwareScreen screen;
    Folder folder;
    std::ofstream(folder.path / "taken.png") << "mine";
    const int dir = open(folder.path.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    const auto refused =
        kit::write_png_file(dir, "taken.png", kit::screen_image(), {}, kit::Replace::never);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->code, EEXIST);
    EXPECT_EQ(kit::write_png_file(dir, "free.png", kit::screen_image(), {}, kit::Replace::never),
              std::nullopt);
    close(dir);
    std::ifstream taken(folder.path / "taken.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(taken), {}), "mine");
    ASSERT_TRUE(test::read_png((folder.path / "free.png").string()).has_value());
    for (const auto& entry : fs::directory_iterator(folder.path))
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

TEST(Png, FailureNamesTheFileAndLeavesNothing) {
    test::SoftwareScreen screen;
    Folder folder;
    const fs::path file = folder.path / "missing" / "slide-01.png";
    const auto error = kit::write_png_at(file.string(), kit::screen_image());
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(file.string()), std::string::npos) << *error;
    EXPECT_TRUE(fs::is_empty(folder.path));
}

} // namespace
