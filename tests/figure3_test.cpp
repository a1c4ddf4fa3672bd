#include "figure3.hpp"
#include "kit/orbits.hpp"
#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>

namespace {

using kit::get_pixel;

// A colour that names its own position, for following where a remap copies from.
Uint32 tag(int x, int y) {
    return static_cast<Uint32>(0x10000000 | x << 12 | y);
}

struct TaggedTile : test::SoftwareScreen {
    explicit TaggedTile(int base) {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) kit::put_pixel(x, y, tag(x, y));
        kit::tile_left = 20;
        kit::tile_base = base;
    }
};

TEST(Figure3Remaps, MirrorHalfReadsTheLeftHalfWithOneColumnShifts) {
    TaggedTile screen(138);
    figure3::mirror_half();
    auto shifted = [](int j) {
        return (j >= 165 && j <= 171) || (j >= 200 && j <= 203) || (j >= 225 && j <= 234);
    };
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int j = x - 20, k = 138 - y;
            Uint32 expected = tag(x, y);
            if (j >= 126 && j <= 250 && k >= 0 && k <= 83)
                expected = tag(20 + (shifted(j) ? 249 - j : 250 - j), y);
            ASSERT_EQ(get_pixel(x, y), expected) << "j " << j << ", k " << k;
        }
    EXPECT_EQ(get_pixel(20 + 165, 120), tag(20 + 84, 120));
}

TEST(Figure3Remaps, MirrorRowsFillsTheUpperRowsFromTheLowerOnes) {
    TaggedTile screen(368);
    figure3::mirror_rows();
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int k = 368 - y;
            Uint32 expected = tag(x, y);
            if (x >= 20 && x <= 270 && k >= 42 && k <= 83) expected = tag(x, 368 - (84 - k));
            ASSERT_EQ(get_pixel(x, y), expected) << x << ", k " << k;
        }
    for (int x = 20; x <= 270; ++x) {
        EXPECT_EQ(get_pixel(x, 368 - 83), get_pixel(x, 367)) << x;
        EXPECT_EQ(get_pixel(x, 368 - 42), tag(x, 368 - 42)) << x;
    }
}

// The stated reach of each portrait: columns, rows and palette entries.
struct Reach {
    int last_column, top_row, bottom_row, first_entry, last_entry;
};

TEST(Figure3Portraits, EachRowStaysInItsStatedBounds) {
    const Reach reach[] = {{145, 16, 192, 7, 38}, {271, 174, 300, 0, 62}, {145, 266, 424, 0, 62}};
    for (size_t n = 0; n < figure3::orbit_rows.size(); ++n) {
        test::SoftwareScreen screen;
        for (int i = 0; i < 256; ++i) kit::palette[i] = 0x20000000u | static_cast<Uint32>(i);
        kit::plot_orbits(figure3::orbit_rows[n]);
        int first = 256, last = -1;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const Uint32 c = get_pixel(x, y);
                if (c == kit::white) continue;
                ASSERT_TRUE(x >= 20 && x <= reach[n].last_column && y >= reach[n].top_row &&
                            y <= reach[n].bottom_row)
                    << "O" << n + 1 << " at " << x << "," << y;
                first = std::min(first, static_cast<int>(c & 0xff));
                last = std::max(last, static_cast<int>(c & 0xff));
            }
        EXPECT_EQ(first, reach[n].first_entry) << "O" << n + 1;
        EXPECT_EQ(last, reach[n].last_entry) << "O" << n + 1;
    }
}

class Figure3Slides : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        slides = new std::vector<test::Picture>(test::capture_slides(figure3::program));
    }
    static void TearDownTestSuite() { delete slides; }
    static const test::Picture& slide(int n) { return (*slides)[n - 1]; }
    static inline std::vector<test::Picture>* slides = nullptr;
    static constexpr Uint32 white = 0xffffff, red = 0xff0000, blue = 0x0000ff;
};

TEST_F(Figure3Slides, FifteenSlidesTheSameEveryRun) {
    ASSERT_EQ(slides->size(), 15u);
    EXPECT_EQ(test::capture_slides(figure3::program), *slides) << "the palette must not vary";
}

TEST_F(Figure3Slides, EachStageStartsWithOnlyItsBox) {
    for (auto [n, base] : {std::pair{1, 138}, {7, 268}, {12, 368}})
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const bool edge = ((y == base || y == base - 84) && x >= 20 && x <= 270) ||
                                  ((x == 20 || x == 270) && y >= base - 84 && y <= base);
                ASSERT_EQ(slide(n).at(x, y), edge ? red : white)
                    << "slide " << n << " at " << x << "," << y;
            }
}

TEST_F(Figure3Slides, PortraitsLandWhereTheirRowsReach) {
    for (auto [n, last_column, top, bottom] :
         {std::tuple{2, 145, 16, 192}, {8, 271, 174, 300}, {13, 145, 266, 424}}) {
        long changed = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                if (slide(n).at(x, y) != slide(n - 1).at(x, y)) {
                    ++changed;
                    ASSERT_TRUE(x >= 20 && x <= last_column && y >= top && y <= bottom)
                        << "slide " << n << " at " << x << "," << y;
                }
        EXPECT_GT(changed, 1000) << "slide " << n;
    }
}

TEST_F(Figure3Slides, MaskKeepsOnlyTheLowerLeftCorner) {
    for (auto [n, base] : {std::pair{3, 138}, {10, 268}})
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const bool kept = x >= 20 && x <= 145 && y >= base - 42 && y <= base;
                ASSERT_EQ(slide(n).at(x, y), kept ? slide(n - 1).at(x, y) : white)
                    << "slide " << n << " at " << x << "," << y;
            }
}

TEST_F(Figure3Slides, HalfFillPaintsOnlyWhitePixels) {
    long dots_kept = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const Uint32 before = slide(8).at(x, y);
            const bool filled = x >= 20 && x <= 144 && y >= 185 && y <= 268;
            Uint32 expected = before;
            if (filled && before == white)
                expected = x <= 82 ? red : blue;
            else if (filled)
                ++dots_kept;
            ASSERT_EQ(slide(9).at(x, y), expected) << x << "," << y;
        }
    EXPECT_GT(dots_kept, 1000);
}

TEST_F(Figure3Slides, FillIsMaskedToTheCornerBeforeItShows) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const Uint32 before = slide(13).at(x, y);
            Uint32 expected = white;
            if (x >= 20 && x <= 145 && y >= 326 && y <= 368) {
                expected = before;
                if (before == white && x <= 144) expected = x <= 82 ? red : blue;
            }
            ASSERT_EQ(slide(14).at(x, y), expected) << x << "," << y;
        }
}

TEST_F(Figure3Slides, MirrorsKeepTheCornerAndCloseTheTopRow) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x <= 145; ++x)
            ASSERT_EQ(slide(4).at(x, y), slide(3).at(x, y)) << x << "," << y;
    for (int x = 20; x <= 270; ++x) {
        EXPECT_EQ(slide(5).at(x, 55), slide(5).at(x, 137)) << x;
        EXPECT_EQ(slide(5).at(x, 96), slide(4).at(x, 96)) << x;
    }
}

TEST_F(Figure3Slides, ReplicationMakesAStripOfPeriod250) {
    for (auto [n, base] : {std::pair{6, 138}, {11, 268}, {15, 368}})
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const bool in_strip = y >= base - 83 && y <= base;
                const int source = 20 + ((x - 20) % 250 + 250) % 250;
                ASSERT_EQ(slide(n).at(x, y), in_strip ? slide(n).at(source, y) : white)
                    << "slide " << n << " at " << x << "," << y;
            }
    for (int y = 55; y <= 138; ++y)
        for (int x = 0; x < 800; ++x) {
            const int source = 20 + ((x - 20) % 250 + 250) % 250;
            ASSERT_EQ(slide(6).at(x, y), slide(5).at(source, y)) << x << "," << y;
        }
}

TEST(Figure3Export, WritesFifteenSlidesEqualToTheScreen) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("figure3-export-" + std::to_string(::getpid()));
    std::string dir_arg = dir.string();
    char name[] = "figure3", flag[] = "--export";
    char* argv[] = {name, flag, dir_arg.data(), nullptr};
    ASSERT_EQ(kit::run(3, argv, figure3::program), 0);
    const auto slides = test::capture_slides(figure3::program);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 15);
    for (int n = 1; n <= 15; ++n) {
        char file[32];
        std::snprintf(file, sizeof file, "slide-%02d.png", n);
        const auto picture = test::read_png((dir / file).string());
        ASSERT_TRUE(picture) << file;
        EXPECT_TRUE(*picture == slides[n - 1]) << file;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
