#include "figure6.hpp"
#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using kit::get_pixel;

Uint32 tag(int x, int y) {
    return static_cast<Uint32>(0x10000000 | x << 12 | y);
}

// A screen where every pixel names its own position, with figure6's tile placed.
struct TaggedTile : test::SoftwareScreen {
    TaggedTile() {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) kit::put_pixel(x, y, tag(x, y));
        kit::tile_left = 20;
        kit::tile_base = 138;
    }
};

int source_column(Uint32 c) {
    return static_cast<int>((c >> 12) & 0xfff);
}
int source_row(Uint32 c) {
    return static_cast<int>(c & 0xfff);
}

TEST(Figure6Remaps, MirrorReadsTheRoundedSourceColumns) {
    TaggedTile screen;
    figure6::mirror_quarter();
    // Single-precision u moves about half the sources one column left.
    const std::pair<int, int> reads[] = {{83, 81}, {84, 80}, {85, 80},
                                         {86, 79}, {87, 77}, {145, 20}};
    for (auto [destination, source] : reads)
        for (int y = 55; y <= 138; ++y) {
            ASSERT_EQ(source_column(get_pixel(destination, y)), source) << destination << "," << y;
            ASSERT_EQ(source_row(get_pixel(destination, y)), y);
        }
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool written = x >= 83 && x <= 145 && y >= 55 && y <= 138;
            if (!written)
                ASSERT_EQ(get_pixel(x, y), tag(x, y)) << x << "," << y;
            else
                ASSERT_LE(source_column(get_pixel(x, y)), 81) << x << "," << y;
        }
}

TEST(Figure6Remaps, PointReflectionReadsBackItsOwnCentreColumn) {
    TaggedTile screen;
    figure6::reflect_half();
    for (int y = 55; y <= 138; ++y) {
        EXPECT_EQ(get_pixel(146, y), tag(143, 192 - y));
        EXPECT_EQ(get_pixel(147, y), tag(142, 192 - y));
        EXPECT_EQ(get_pixel(270, y), tag(20, 192 - y));
    }
    EXPECT_EQ(get_pixel(200, 138), tag(source_column(get_pixel(200, 138)), 54)); // the top edge row
    EXPECT_EQ(get_pixel(200, 55), tag(source_column(get_pixel(200, 55)), 137));
    // Column 145 reads itself: rows 55..96 take the old rows 137..96, and from row 97 on every
    // row reads back what was just written into row 192 - y, its own old colour.
    for (int y = 55; y <= 96; ++y) EXPECT_EQ(get_pixel(145, y), tag(145, 192 - y)) << y;
    for (int y = 97; y <= 137; ++y) EXPECT_EQ(get_pixel(145, y), tag(145, y)) << y;
    EXPECT_EQ(get_pixel(145, 138), tag(145, 54));
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (!(x >= 145 && x <= 270 && y >= 55 && y <= 138)) {
                ASSERT_EQ(get_pixel(x, y), tag(x, y)) << x << "," << y;
            }
}

class Figure6Slides : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        slides = new std::vector<test::Picture>(test::capture_slides(figure6::program));
    }
    static void TearDownTestSuite() { delete slides; }
    static const test::Picture& slide(int n) { return (*slides)[n - 1]; }
    static inline std::vector<test::Picture>* slides = nullptr;
};

TEST_F(Figure6Slides, SixSlidesFromTheSameScriptEveryRun) {
    ASSERT_EQ(slides->size(), 6u);
    EXPECT_EQ(test::capture_slides(figure6::program), *slides) << "the palette must not vary";
}

TEST_F(Figure6Slides, FirstSlideIsTheRedBox) {
    const Uint32 white = slide(1).at(0, 0), red = slide(1).at(20, 138);
    EXPECT_EQ(white, 0xffffffu);
    EXPECT_EQ(red, 0xff0000u);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool edge = ((y == 138 || y == 54) && x >= 20 && x <= 270) ||
                              ((x == 20 || x == 270) && y >= 54 && y <= 138);
            ASSERT_EQ(slide(1).at(x, y), edge ? red : white) << x << "," << y;
        }
}

TEST_F(Figure6Slides, PortraitOverflowsTheBoxVertically) {
    int top = 600, bottom = -1, rightmost = -1;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (slide(2).at(x, y) != slide(1).at(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                rightmost = std::max(rightmost, x);
            }
    EXPECT_EQ(top, 8);
    EXPECT_EQ(bottom, 184);
    EXPECT_EQ(rightmost, 82);
}

TEST_F(Figure6Slides, MaskKeepsTheLeftQuarter) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool kept = x >= 20 && x <= 82 && y >= 55 && y <= 138;
            ASSERT_EQ(slide(3).at(x, y), kept ? slide(2).at(x, y) : 0xffffffu) << x << "," << y;
        }
}

TEST_F(Figure6Slides, ReplicationRepeatsTheTileAcrossTheWindow) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool tile_row = y >= 55 && y <= 138;
            const int source = 20 + ((x - 20) % 250 + 250) % 250;
            ASSERT_EQ(slide(6).at(x, y), tile_row ? slide(5).at(source, y) : slide(5).at(x, y))
                << x << "," << y;
        }
}

TEST(Figure6Export, WritesSixSlidesEqualToTheScreen) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("figure6-export-" + std::to_string(::getpid())) / "nested";
    std::string dir_arg = dir.string();
    char name[] = "figure6", flag[] = "--export";
    char* argv[] = {name, flag, dir_arg.data(), nullptr};
    ASSERT_EQ(kit::run(3, argv, figure6::program), 0);
    const auto slides = test::capture_slides(figure6::program);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 6);
    for (int n = 1; n <= 6; ++n) {
        const auto picture =
            test::read_png((dir / ("slide-0" + std::to_string(n) + ".png")).string());
        ASSERT_TRUE(picture) << n;
        EXPECT_EQ(picture->w, 800);
        EXPECT_EQ(picture->h, 600);
        EXPECT_TRUE(*picture == slides[n - 1]) << "slide " << n;
    }
    std::filesystem::remove_all(dir.parent_path());
}

} // namespace
