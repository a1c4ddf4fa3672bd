// A slide show's full screen: where the picture goes with and without the band of the slide
// number and caption, and what the screen then holds (every pixel of the slide, in order, and the
// text only below it).
#include "presenter.hpp"

#include "kit/canvas.hpp"
#include "kit/text.hpp"

#include <gtest/gtest.h>

#include "support.hpp"

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kit {
void PrintTo(const Box& b, std::ostream* out) {
    *out << b.w << "x" << b.h << "+" << b.x << "+" << b.y;
}
} // namespace kit

namespace {

using kit::Box;

// figure1's longest caption, and its slide number before it.
const std::string caption = "1/13 \xc2\xb7 the orbits of the kicked map with K = 0.9 over the "
                            "first tile, its empty background filled red";

TEST(FullScreen, WithoutTheBandThePictureIsAsLargeAsTheScreenAllowsAndCentred) {
    EXPECT_EQ(kit::lay_out(1920, 1200, "").picture, (Box{160, 0, 1600, 1200}));
    EXPECT_EQ(kit::lay_out(1920, 1080, "").picture, (Box{240, 0, 1440, 1080}));
    EXPECT_EQ(kit::lay_out(1280, 1024, "").picture, (Box{0, 32, 1280, 960}));
    EXPECT_EQ(kit::lay_out(800, 600, "").picture, (Box{0, 0, 800, 600}));
    EXPECT_EQ(kit::lay_out(1920, 1200, "").band.h, 0);
    EXPECT_TRUE(kit::lay_out(1920, 1200, "").lines.empty());
}

TEST(FullScreen, TheBandTakesRowsBelowThePictureAndHoldsTheWholeCaption) {
    for (auto [w, h] : {std::pair{1920, 1200},
                        {1920, 1080},
                        {1366, 768},
                        {1024, 768},
                        {1280, 1024},
                        {3840, 2160},
                        {800, 1200}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const kit::FullScreenLayout layout = kit::lay_out(w, h, caption);
        const Box &picture = layout.picture, &band = layout.band;
        EXPECT_EQ(band.y + band.h, h);
        EXPECT_GE(band.y, picture.y + picture.h) << "the band covers the picture";
        EXPECT_GE(picture.y, 0);
        EXPECT_LE(picture.x + picture.w, w);
        EXPECT_GE(picture.w, 800);
        EXPECT_GE(picture.h, 600);
        EXPECT_LT(std::abs(picture.w * 3 - picture.h * 4), 4) << "not 4:3";
        // At least one dimension fills its room: the picture is as large as the band allows.
        EXPECT_TRUE(picture.w == w || picture.h == band.y);
        // Readable across a room: a line at least a 30th of the screen's height, where the width
        // leaves room for that.
        if (w * 3 >= h * 4) {
            EXPECT_GE(kit::text_cell_height * layout.text_scale * 30, h);
        }
        std::string joined;
        for (std::string_view line : layout.lines) {
            EXPECT_LE(kit::text_width(line, layout.text_scale), w);
            if (!joined.empty()) joined += ' ';
            joined += line;
        }
        EXPECT_EQ(joined, caption);
        EXPECT_GE(band.h, static_cast<int>(layout.lines.size()) * kit::text_cell_height *
                              layout.text_scale);
    }
}

TEST(FullScreen, WhereThePictureWouldShrinkBelow800x600ThereIsNoBand) {
    EXPECT_EQ(kit::lay_out(800, 600, caption).band.h, 0);
    EXPECT_EQ(kit::lay_out(1024, 620, caption).band.h, 0);
    EXPECT_EQ(kit::lay_out(800, 600, caption).picture, (Box{0, 0, 800, 600}));
    // Room for one line only: the line that fits, at the scale that fits.
    const kit::FullScreenLayout tight = kit::lay_out(1024, 640, caption);
    EXPECT_EQ(tight.lines.size(), 1u);
    EXPECT_EQ(tight.picture.h, 640 - tight.band.h);
    EXPECT_GE(tight.picture.h, 600);
}

// The screen composed from a picture whose every pixel names its position.
struct Composed {
    kit::FullScreenLayout layout;
    kit::PixelBuffer screen, picture;
    Composed(int w, int h, std::string_view text) : layout(kit::lay_out(w, h, text)) {
        EXPECT_TRUE(screen.resize(w, h));
        EXPECT_TRUE(picture.resize(kit::screen_width, kit::screen_height));
        kit::fill(screen.image(), 0x00abcdef); // what stood there before
        for (int y = 0; y < kit::screen_height; ++y)
            for (int x = 0; x < kit::screen_width; ++x) picture.image().row(y)[x] = test::tag(x, y);
        kit::compose(screen.image(), picture.image(), layout);
    }
    std::uint32_t at(int x, int y) const { return screen.image().row(y)[x]; }
};

TEST(FullScreen, EveryPixelOfTheSlideIsShownInOrderAndNothingElseButTheBand) {
    const std::uint32_t text = kit::xrgb_layout.pack(kit::margin_text);
    for (bool band : {false, true})
        for (auto [w, h] : {std::pair{1920, 1080}, {1024, 768}, {1280, 1024}}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + (band ? " band" : ""));
            const Composed shown(w, h, band ? std::string_view(caption) : "");
            const Box& box = shown.layout.picture;
            std::vector<bool> row_seen(kit::screen_height), column_seen(kit::screen_width);
            long text_pixels = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const std::uint32_t p = shown.at(x, y);
                    if (box.x <= x && x < box.x + box.w && box.y <= y && y < box.y + box.h) {
                        ASSERT_EQ(p >> 24, 0x10u) << "not the picture's at " << x << "," << y;
                        const int column = test::tag_column(p), row = test::tag_row(p);
                        row_seen[row] = column_seen[column] = true;
                        // Left to right and top to bottom, as in the picture.
                        const int left = x > box.x ? test::tag_column(shown.at(x - 1, y)) : 0;
                        const int above = y > box.y ? test::tag_row(shown.at(x, y - 1)) : 0;
                        ASSERT_GE(column, left) << x << "," << y;
                        ASSERT_GE(row, above) << x << "," << y;
                        ASSERT_EQ(row, test::tag_row(shown.at(box.x, y)));
                        continue;
                    }
                    const bool in_band = y >= shown.layout.band.y;
                    text_pixels += p == text;
                    ASSERT_TRUE(p == 0 || (in_band && p == text))
                        << std::hex << p << " at " << std::dec << x << "," << y;
                }
            // Enlarged, every row and column of the slide is there: no one-pixel line dropped.
            EXPECT_EQ(std::count(row_seen.begin(), row_seen.end(), true), kit::screen_height);
            EXPECT_EQ(std::count(column_seen.begin(), column_seen.end(), true), kit::screen_width);
            EXPECT_EQ(text_pixels > 1000, band) << text_pixels << " pixels of text";
        }
}

TEST(FullScreen, AtTwiceTheSizeEveryPixelIsATwoByTwoBlock) {
    const Composed shown(1920, 1200, "");
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1600; ++x)
            ASSERT_EQ(shown.at(160 + x, y), test::tag(x / 2, y / 2)) << x << "," << y;
}

} // namespace
