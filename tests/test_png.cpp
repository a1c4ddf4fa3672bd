#include "export.hpp"
#include "kit/canvas.hpp"
#include "png_memory.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

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
    ASSERT_EQ(kit::write_slide(file.string(), kit::screen), std::nullopt);
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

// Screens of other depths are read pixel by pixel at their own width, through SDL's own colour
// conversion: left half red, right half blue, so a misread row shows.
TEST(Png, SixteenAndTwentyFourBitSurfacesAsRgb) {
    Folder folder;
    for (int depth : {16, 24}) {
        SDL_Surface* surface =
            depth == 16
                ? SDL_CreateRGBSurface(SDL_SWSURFACE, 41, 30, 16, 0xf800, 0x07e0, 0x1f, 0)
                : SDL_CreateRGBSurface(SDL_SWSURFACE, 41, 30, 24, 0xff0000, 0xff00, 0xff, 0);
        ASSERT_NE(surface, nullptr) << depth;
        const std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> owned(surface, SDL_FreeSurface);
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 255, 0, 0));
        SDL_Rect right{20, 0, 21, 30};
        SDL_FillRect(surface, &right, SDL_MapRGB(surface->format, 0, 0, 255));
        const fs::path file = folder.path / (std::to_string(depth) + "-bit.png");
        ASSERT_EQ(kit::write_slide(file.string(), surface), std::nullopt);
        EXPECT_EQ(colour_type(file), 2);
        const auto read = test::read_png(file.string());
        ASSERT_TRUE(read.has_value());
        ASSERT_EQ(read->w, 41);
        ASSERT_EQ(read->h, 30);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 41; ++x)
                ASSERT_EQ(read->at(x, y), x < 20 ? 0xff0000u : 0x0000ffu)
                    << depth << " bits: " << x << "," << y;
    }
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

// The browser's in-memory file holds the export's image: the same pixels, palette and chunks.
TEST(Png, InMemoryFileHoldsTheExportsImage) {
    test::SoftwareScreen screen;
    Folder folder;
    for (int colours : {1, 256, 257}) {
        paint_colours(colours);
        // Runs longer than one copy can say, and a dot on its own.
        for (int x = 0; x < 800; ++x) kit::put_pixel(x, 300, kit::white);
        kit::put_pixel(400, 300, kit::red);
        const fs::path exported = folder.path / "export.png", made = folder.path / "made.png";
        const std::vector<kit::PngText> texts{{.keyword = "Description", .text = "a caption"}};
        ASSERT_EQ(kit::write_slide(exported.string(), kit::screen, texts), std::nullopt);
        const std::vector<Uint8> bytes = kit::png_bytes(kit::screen, texts);
        std::ofstream(made, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        const auto read = test::read_png(made.string());
        ASSERT_TRUE(read.has_value()) << colours;
        EXPECT_TRUE(test::same_picture(*read, test::snapshot())) << colours;
        EXPECT_EQ(chunks_but_data(made), chunks_but_data(exported)) << colours;
    }
}

// Rows wider than a surface's (a downloaded strip's) are encoded whole.
TEST(Png, InMemoryFileHoldsRowsWiderThanASurface) {
    test::SoftwareScreen screen;
    Folder folder;
    test::Picture wide{.w = 20000, .h = 3, .pixels = std::vector<Uint32>(60000, kit::white)};
    for (int x = 16380; x < 20000; x += 7) wide.at(x, x % 3) = kit::red;
    const std::vector<Uint8> bytes =
        kit::png_bytes(kit::PixelImage{.pixels = wide.pixels.data(),
                                       .width = wide.w,
                                       .height = wide.h,
                                       .pitch = static_cast<size_t>(wide.w) * 4,
                                       .format = kit::screen->format},
                       {});
    const fs::path made = folder.path / "wide.png";
    std::ofstream(made, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
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
    ASSERT_EQ(kit::write_slide(file.string(), kit::screen, texts), std::nullopt);
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
        kit::write_png_file(dir, "taken.png", kit::screen, {}, kit::Replace::never);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->code, EEXIST);
    EXPECT_EQ(kit::write_png_file(dir, "free.png", kit::screen, {}, kit::Replace::never),
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
    const auto error = kit::write_slide(file.string(), kit::screen);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(file.string()), std::string::npos) << *error;
    EXPECT_TRUE(fs::is_empty(folder.path));
}

} // namespace
