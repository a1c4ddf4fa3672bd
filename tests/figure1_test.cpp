#include "figure1.hpp"

#include "kit/canvas.hpp"
#include "kit/random.hpp"
#include "kit/tile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using kit::get_pixel;
using kit::put_pixel;
using test::Picture;

constexpr int bases[] = {168, 268, 368};

// Pixel words of the software screen (0x00RRGGBB), the layout the slides are captured in.
constexpr Uint32 white = 0xffffff, red = 0xff0000, blue = 0x0000ff;

// The slides of a run with the C library's initial random state (what a fresh process has).
const std::vector<Picture>& slides() {
    static const std::vector<Picture> captured = test::capture_slides(figure1::program, 1);
    return captured;
}

const Picture& slide(int number) {
    return slides().at(static_cast<size_t>(number - 1));
}

// A colour that names its own position, for following where a remap copies from.
Uint32 tag(int x, int y) {
    return static_cast<Uint32>(0x10000000 | x << 12 | y);
}

void plant_tags() {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) put_pixel(x, y, tag(x, y));
}

void place_tile(int base) {
    kit::tile_left = 20;
    kit::tile_base = base;
}

Uint32& at(Picture& p, int x, int y) {
    return p.pixels[static_cast<size_t>(y) * p.w + x];
}

void expect_same(const Picture& actual, const Picture& expected, const char* what) {
    const auto where = test::differences(actual, expected);
    ASSERT_TRUE(where.empty()) << what << ": pixels differ, first at " << where.front().first << ","
                               << where.front().second;
}

struct Extent {
    int x_min = 800, x_max = -1, y_min = 600, y_max = -1;
};

Extent non_white(const Picture& p) {
    Extent e;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            if (p.at(x, y) != white) {
                e.x_min = std::min(e.x_min, x);
                e.x_max = std::max(e.x_max, x);
                e.y_min = std::min(e.y_min, y);
                e.y_max = std::max(e.y_max, y);
            }
    return e;
}

// What each step must make of a picture, written out with the rows and columns it keeps, paints
// and copies, independently of the kit's mechanisms.

Picture outlined(Picture p, int base) {
    for (int x = 20; x <= 270; ++x) at(p, x, base) = at(p, x, base - 84) = red;
    for (int y = base - 84; y <= base; ++y) at(p, 20, y) = at(p, 270, y) = red;
    return p;
}

Picture filled(Picture p, int base, bool split) {
    for (int x = 20; x <= 269; ++x)
        for (int y = base - 83; y <= base; ++y)
            if (at(p, x, y) == white) at(p, x, y) = split && x >= 145 ? blue : red;
    return p;
}

Picture masked(Picture p, int base) {
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (!(x >= 20 && x <= 270 && y >= base - 42 && y <= base)) at(p, x, y) = white;
    return p;
}

Picture mirrored(Picture p, int base) {
    for (int x = 20; x <= 270; ++x)
        for (int y = base - 83; y <= base - 42; ++y) at(p, x, y) = at(p, x, 2 * base - 84 - y);
    return p;
}

Picture replicated(Picture p, int base) {
    for (int y = base - 83; y <= base; ++y) {
        std::vector<Uint32> row(800);
        for (int x = 0; x < 800; ++x) row[x] = p.at(x, y);
        for (int d = 0; d < 800; ++d) at(p, d, y) = row[20 + ((d - 20) % 250 + 250) % 250];
    }
    return p;
}

Picture blank() {
    return Picture{800, 600, std::vector<Uint32>(800 * 600, white)};
}

TEST(Figure1Slides, ThirteenSlidesTheSameOnEveryRun) {
    ASSERT_EQ(slides().size(), 13u);
    // The program never seeds, so every run draws the palette of the unseeded generator, however
    // far earlier code has advanced it.
    kit::seed_rand(99);
    const auto first = test::capture_slides(figure1::program);
    kit::next_rand();
    const auto second = test::capture_slides(figure1::program);
    EXPECT_TRUE(first == slides());
    EXPECT_TRUE(second == slides());
    // The orbit colours do come from the palette: another seed, other pictures.
    EXPECT_FALSE(test::capture_slides(figure1::program, 99)[0] == slide(1));
}

TEST(Figure1Slides, EachTileStartsAsAnEmptyBoxOnAWhiteScreen) {
    expect_same(slide(5), outlined(blank(), 268), "slide 5");
    expect_same(slide(10), outlined(blank(), 368), "slide 10");
}

TEST(Figure1Orbits, EachRowSweepsItsSeedsOverItsArea) {
    struct Expected {
        int orbits;
        Extent area;
        int first_colour, last_colour;
    };
    const Expected expected[] = {{6284, {20, 271, 18, 238}, 7, 38},
                                 {1257, {20, 428, 74, 420}, 0, 62},
                                 {1257, {20, 271, 266, 424}, 0, 62}};
    test::SoftwareScreen screen;
    for (int i = 0; i < 3; ++i) {
        const kit::OrbitRow& row = figure1::orbit_rows[static_cast<size_t>(i)];
        EXPECT_EQ(kit::orbit_count(row), expected[i].orbits) << "O" << i + 1;
        // Palette entry k is the colour k + 1, so every dot tells which entry painted it.
        for (int k = 0; k < 256; ++k) kit::palette[k] = static_cast<Uint32>(k + 1);
        kit::clear_screen(kit::white);
        kit::plot_orbits(row);
        const Picture dots = test::snapshot();
        const Extent e = non_white(dots);
        EXPECT_EQ(e.x_min, expected[i].area.x_min) << "O" << i + 1;
        EXPECT_EQ(e.x_max, expected[i].area.x_max) << "O" << i + 1;
        EXPECT_EQ(e.y_min, expected[i].area.y_min) << "O" << i + 1;
        EXPECT_EQ(e.y_max, expected[i].area.y_max) << "O" << i + 1;
        Uint32 lowest = 0xffffffff, highest = 0;
        for (Uint32 c : dots.pixels)
            if (c != white) lowest = std::min(lowest, c), highest = std::max(highest, c);
        EXPECT_EQ(static_cast<int>(lowest) - 1, expected[i].first_colour) << "O" << i + 1;
        EXPECT_EQ(static_cast<int>(highest) - 1, expected[i].last_colour) << "O" << i + 1;
    }
    // In the show, O2's dots still reach column 428 before the mask of slide 8 trims them.
    EXPECT_EQ(non_white(slide(6)).x_max, 428);
}

TEST(Figure1Slides, FillsPaintOnlyTheWhiteBackgroundAndKeepTheOrbits) {
    // Slide 1 has no slide before its fill: draw the box and O1 again with the same palette.
    test::SoftwareScreen screen;
    kit::seed_rand(1);
    kit::make_palette();
    figure1::draw_box(168);
    kit::plot_orbits(figure1::orbit_rows[0]);
    const Picture before_fill = test::snapshot();
    expect_same(slide(1), filled(before_fill, 168, false), "slide 1");

    expect_same(slide(7), filled(slide(6), 268, true), "slide 7");
    long red_part = 0, blue_part = 0, dots = 0;
    for (int x = 21; x <= 269; ++x)
        for (int y = 185; y <= 267; ++y) {
            const Uint32 c = slide(7).at(x, y);
            red_part += c == red;
            blue_part += c == blue;
            dots += c != red && c != blue && c != white;
            ASSERT_NE(c, white) << x << "," << y;
            ASSERT_TRUE(c != red || x <= 144) << x << "," << y;
            ASSERT_TRUE(c != blue || x >= 145) << x << "," << y;
        }
    EXPECT_GT(red_part, 0);
    EXPECT_GT(blue_part, 0);
    EXPECT_GT(dots, 1000) << "the orbit points inside the box were painted over";
}

TEST(Figure1Slides, MasksKeepRowsBMinus42ToBOfTheBox) {
    // Slide 2 redraws the outline that the mask whitened; slides 8 and 12 leave it white.
    expect_same(slide(2), outlined(masked(slide(1), 168), 168), "slide 2");
    expect_same(slide(8), masked(slide(7), 268), "slide 8");
    expect_same(slide(12), masked(filled(slide(11), 368, true), 368), "slide 12");
    for (int x = 20; x <= 270; ++x) {
        EXPECT_EQ(slide(2).at(x, 84), red) << x;
        EXPECT_EQ(slide(8).at(x, 184), white) << x;
        EXPECT_EQ(slide(12).at(x, 284), white) << x;
    }
    for (int y = 185; y <= 225; ++y)
        for (int x = 0; x < 640; ++x) ASSERT_EQ(slide(8).at(x, y), white) << x << "," << y;
    EXPECT_EQ(non_white(slide(8)).x_max, 270);
}

TEST(Figure1Slides, MirrorThenReplicateRebuildTheStrip) {
    expect_same(slide(3), mirrored(slide(2), 168), "slide 3");
    expect_same(slide(4), replicated(slide(3), 168), "slide 4");
    expect_same(slide(9), replicated(mirrored(slide(8), 268), 268), "slide 9");
    expect_same(slide(13), replicated(mirrored(slide(12), 368), 368), "slide 13");
}

TEST(Figure1Steps, FillVisitsNeitherTheRightNorTheTopEdge) {
    test::SoftwareScreen screen;
    figure1::draw_box(168);
    kit::clear_screen(kit::white); // white edges show whether the fill visits them
    put_pixel(100, 150, 0x123456);
    figure1::fill_background(false);
    Picture expected = filled(blank(), 168, false);
    at(expected, 100, 150) = 0x123456;
    expect_same(test::snapshot(), expected, "fill without split");

    figure1::draw_box(368);
    kit::clear_screen(kit::white);
    figure1::fill_background(true);
    expect_same(test::snapshot(), filled(blank(), 368, true), "fill with split");
    EXPECT_EQ(get_pixel(144, 300), kit::red);
    EXPECT_EQ(get_pixel(145, 300), kit::blue);
    EXPECT_EQ(get_pixel(270, 300), kit::white);
    EXPECT_EQ(get_pixel(100, 284), kit::white);
}

TEST(Figure1Remaps, MirrorCopiesEachUpperRowFromItsImageInTheSameColumn) {
    test::SoftwareScreen screen;
    for (int base : bases) {
        plant_tags();
        place_tile(base);
        figure1::mirror_upper_half();
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const bool upper = x >= 20 && x <= 270 && y >= base - 83 && y <= base - 42;
                ASSERT_EQ(get_pixel(x, y), tag(x, upper ? 2 * base - 84 - y : y))
                    << base << ": " << x << "," << y;
            }
    }
    plant_tags();
    place_tile(168);
    figure1::mirror_upper_half();
    for (int x : {20, 145, 270}) {
        EXPECT_EQ(get_pixel(x, 85), tag(x, 167));
        EXPECT_EQ(get_pixel(x, 125), tag(x, 127));
        EXPECT_EQ(get_pixel(x, 126), tag(x, 126));
        EXPECT_EQ(get_pixel(x, 84), tag(x, 84));
        EXPECT_EQ(get_pixel(x, 168), tag(x, 168));
    }
}

TEST(Figure1Remaps, ReplicateRepeatsTheTileEvery250Columns) {
    test::SoftwareScreen screen;
    for (int base : bases) {
        plant_tags();
        place_tile(base);
        figure1::replicate();
        for (int y = 0; y < 600; ++y) {
            const bool tile_row = y >= base - 83 && y <= base;
            for (int x = 0; x < 800; ++x) {
                const int source = tile_row ? 20 + ((x - 20) % 250 + 250) % 250 : x;
                ASSERT_EQ(get_pixel(x, y), tag(source, y)) << base << ": " << x << "," << y;
            }
        }
    }
    // The last replication was at base 368.
    for (int x : {20, 270, 520, 770}) EXPECT_EQ(get_pixel(x, 300), tag(20, 300)) << x;
    for (int x = 0; x <= 19; ++x) EXPECT_EQ(get_pixel(x, 368), tag(x + 250, 368)) << x;
    for (int x = 771; x <= 799; ++x) EXPECT_EQ(get_pixel(x, 285), tag(x - 750, 285)) << x;
    EXPECT_EQ(get_pixel(500, 284), tag(500, 284)); // the top edge's row is not copied
}

TEST(Figure1Export, WritesThirteenFilesEqualToTheShownSlides) {
    char dir_template[] = "/tmp/figure1-export-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string dir = dir_template;
    // Removed however the test ends.
    const std::unique_ptr<const std::string, void (*)(const std::string*)> cleanup(
        &dir, [](const std::string* d) { std::filesystem::remove_all(*d); });
    std::string name = "figure1", option = "--export", folder = dir;
    char* argv[] = {name.data(), option.data(), folder.data(), nullptr};
    ASSERT_EQ(kit::run(3, argv, figure1::program), 0);

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 13u);
    for (int n = 1; n <= 13; ++n) {
        const std::string file = (n < 10 ? "slide-0" : "slide-") + std::to_string(n) + ".png";
        EXPECT_EQ(files[static_cast<size_t>(n - 1)], file);
        const auto picture = test::read_png(dir + "/" + file);
        ASSERT_TRUE(picture.has_value()) << file;
        expect_same(*picture, slide(n), file.c_str());
    }
}

} // namespace
