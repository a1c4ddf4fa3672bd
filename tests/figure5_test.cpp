#include "cells.hpp"
#include "figure5.hpp"
#include "kit/raster.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

namespace {

using kit::get_pixel;
using kit::put_pixel;

constexpr Uint32 rgb(Uint32 r, Uint32 g, Uint32 b) {
    return r << 16 | g << 8 | b; // the software screen's layout
}
constexpr Uint32 table[7] = {rgb(255, 255, 255), rgb(0, 0, 100),   rgb(100, 100, 255),
                             rgb(180, 180, 255), rgb(255, 80, 80), rgb(0, 0, 255),
                             rgb(255, 255, 0)};

// A white screen with figure5's colour table made.
struct CellScreen : test::SoftwareScreen {
    CellScreen() {
        figure5::make_colours();
        kit::clear_screen(figure5::colours[0]);
    }
};

// The plain 4-connected fill: everything reachable from the seed by horizontal and vertical
// steps over pixels holding neither colour.
void reference_fill(int x, int y, Uint32 fill, Uint32 border) {
    auto open = [&](int px, int py) {
        if (!kit::on_screen(px, py)) return false;
        const Uint32 c = get_pixel(px, py);
        return c != fill && c != border;
    };
    if (!open(x, y)) return;
    std::vector<std::pair<int, int>> pending{{x, y}};
    put_pixel(x, y, fill);
    while (!pending.empty()) {
        const auto [px, py] = pending.back();
        pending.pop_back();
        for (auto [nx, ny] : {std::pair{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}})
            if (open(nx, ny)) {
                put_pixel(nx, ny, fill);
                pending.emplace_back(nx, ny);
            }
    }
}

// The pixels of rows top..bottom, to compare and restore a part of the screen quickly.
struct Rows {
    int top, bottom;
    std::vector<Uint32> pixels;
    static Rows take(int top, int bottom) {
        Rows rows{top, bottom, {}};
        for (int y = top; y <= bottom; ++y)
            for (int x = 0; x < 800; ++x) rows.pixels.push_back(get_pixel(x, y));
        return rows;
    }
    void restore() const {
        size_t i = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = 0; x < 800; ++x) put_pixel(x, y, pixels[i++]);
    }
};

std::vector<std::pair<int, int>> pixels_of(Uint32 colour, int top, int bottom) {
    std::vector<std::pair<int, int>> found;
    for (int y = top; y <= bottom; ++y)
        for (int x = 0; x < 800; ++x)
            if (get_pixel(x, y) == colour) found.emplace_back(x, y);
    return found;
}

TEST(Figure5Colours, MadeInIndexOrderForTheScreensFormat) {
    CellScreen screen;
    for (int i = 0; i < 7; ++i) EXPECT_EQ(figure5::colours[i], table[i]) << i;
}

// The worked cells. A pixel of the cell's colour planted on the seed stops the fill at once, so
// only the outline is drawn; planted one column right of it, the fill runs around it instead.
struct WorkedCell {
    float column, row;
    int apex_sign;
    int left, base, right, apex_x, apex_y, seed_x, seed_y;
};

void check_worked_cell(const WorkedCell& cell) {
    CellScreen screen;
    const Uint32 c = figure5::colours[1];
    const int top = std::min(cell.base, cell.apex_y), bottom = std::max(cell.base, cell.apex_y);
    put_pixel(cell.seed_x, cell.seed_y, c);
    figure5::draw_triangle_cell(cell.column, cell.row, cell.apex_sign, 1);
    const Rows outline = Rows::take(0, 599);

    // The base row is the base line alone; the apex row holds the apex and its two neighbours.
    std::vector<std::pair<int, int>> base_row, apex_row;
    for (int x = cell.left; x <= cell.right; ++x) base_row.emplace_back(x, cell.base);
    for (int x = cell.apex_x - 1; x <= cell.apex_x + 1; ++x) apex_row.emplace_back(x, cell.apex_y);
    EXPECT_EQ(pixels_of(c, cell.base, cell.base), base_row);
    EXPECT_EQ(pixels_of(c, cell.apex_y, cell.apex_y), apex_row);
    EXPECT_TRUE(pixels_of(c, 0, top - 1).empty());
    EXPECT_TRUE(pixels_of(c, bottom + 1, 599).empty());
    // The three sides alone (21 pixels of base and 17 or 18 rows of sides, each also crossing
    // 10 columns), and the planted pixel with its four neighbours left white.
    const size_t sides = cell.apex_sign > 0 ? 74 : 76;
    EXPECT_EQ(pixels_of(c, 0, 599).size(), sides + 1);
    for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
        EXPECT_EQ(get_pixel(cell.seed_x + dx, cell.seed_y + dy), figure5::colours[0]);

    // Planted beside the seed: the fill starts at the seed and covers the inside of the outline.
    kit::clear_screen(figure5::colours[0]);
    put_pixel(cell.seed_x + 1, cell.seed_y, c);
    figure5::draw_triangle_cell(cell.column, cell.row, cell.apex_sign, 1);
    const Rows filled = Rows::take(0, 599);
    outline.restore();
    put_pixel(cell.seed_x, cell.seed_y, figure5::colours[0]);
    put_pixel(cell.seed_x + 1, cell.seed_y, c);
    reference_fill(cell.seed_x, cell.seed_y, c, c);
    EXPECT_EQ(Rows::take(0, 599).pixels, filled.pixels);
}

TEST(Figure5Cells, FirstDownCell) {
    check_worked_cell({.column = 0,
                       .row = 0,
                       .apex_sign = +1,
                       .left = 70,
                       .base = 300,
                       .right = 90,
                       .apex_x = 80,
                       .apex_y = 317,
                       .seed_x = 80,
                       .seed_y = 305});
}

TEST(Figure5Cells, UpCellWhoseApexRoundsAboveRowZero) {
    check_worked_cell({.column = 0,
                       .row = 1,
                       .apex_sign = -1,
                       .left = 60,
                       .base = 317,
                       .right = 80,
                       .apex_x = 70,
                       .apex_y = 299,
                       .seed_x = 70,
                       .seed_y = 311});
}

TEST(Figure5Cells, IndexOutsideTheTableDrawsNothing) {
    CellScreen screen;
    figure5::draw_triangle_cell(3, 1, -1, 7);
    figure5::draw_triangle_cell(3, 1, -1, -1);
    EXPECT_EQ(pixels_of(figure5::colours[0], 0, 599).size(), 800u * 600u);
}

// Fill tests: black borders, red fill, on white.
struct FillScreen : test::SoftwareScreen {
    void border(int x, int y) { put_pixel(x, y, kit::black); }
    void border_row(int y, int x0, int x1) {
        for (int x = x0; x <= x1; ++x) border(x, y);
    }
    void fill(int x, int y) { figure5::flood_fill(x, y, kit::red, kit::black); }
};

TEST(FloodFill, SeedOnEitherColourOrOffTheSeedableAreaPaintsNothing) {
    FillScreen screen;
    screen.border(10, 10);
    put_pixel(20, 20, kit::red);
    const Rows before = Rows::take(0, 599);
    screen.fill(10, 10); // on the border
    screen.fill(20, 20); // on the fill colour: the white screen around it stays white
    for (auto [x, y] : {std::pair{0, 300}, {800, 300}, {-1, 300}, {400, -1}, {400, 600}})
        screen.fill(x, y);
    EXPECT_EQ(Rows::take(0, 599).pixels, before.pixels);
}

TEST(FloodFill, StripOnePixelHighTriesNeighboursFromTheLeftBorderToTheLastPainted) {
    FillScreen screen;
    // Row 50 is open from 101 to 109 between borders at 100 and 110; rows 49 and 51 are border
    // above and below the strip, with one open pocket diagonally beyond each end.
    screen.border_row(49, 101, 109);
    screen.border_row(51, 101, 109);
    for (int y = 48; y <= 52; ++y) {
        screen.border(99, y);
        screen.border(111, y);
    }
    screen.border_row(48, 99, 111);
    screen.border_row(52, 99, 111);
    screen.border(100, 50);
    screen.border(110, 50);
    put_pixel(103, 50, kit::red); // the runs stop only at the border colour
    screen.fill(105, 50);

    // The left border column's neighbours are tried, the right border column's are not.
    std::vector<std::pair<int, int>> expected{{100, 49}};
    for (int x = 101; x <= 109; ++x) expected.emplace_back(x, 50);
    expected.emplace_back(100, 51);
    EXPECT_EQ(pixels_of(kit::red, 0, 599), expected);
    EXPECT_EQ(get_pixel(110, 49), kit::white);
    EXPECT_EQ(get_pixel(110, 51), kit::white);
}

TEST(FloodFill, LeftRunReachingColumnOneLeavesColumnZeroToTheRowsAboveAndBelow) {
    FillScreen screen;
    // Row 10 open from column 0 to 4, border above and below, also on column 0.
    screen.border_row(9, 0, 5);
    screen.border_row(11, 0, 5);
    screen.border(5, 10);
    screen.fill(3, 10);
    const std::vector<std::pair<int, int>> run{{1, 10}, {2, 10}, {3, 10}, {4, 10}};
    EXPECT_EQ(pixels_of(kit::red, 0, 599), run);

    // Column 0 open above and below (pockets closed by rows 8 and 12): the tries at column 0 of
    // rows 9 and 11 paint there and come back down and up to row 10's column 0.
    kit::clear_screen(kit::white);
    screen.border_row(8, 0, 5);
    screen.border_row(9, 1, 5);
    screen.border_row(11, 1, 5);
    screen.border_row(12, 0, 5);
    screen.border(5, 10);
    screen.fill(3, 10);
    const std::vector<std::pair<int, int>> expected{{0, 9},  {0, 10}, {1, 10}, {2, 10},
                                                    {3, 10}, {4, 10}, {0, 11}};
    EXPECT_EQ(pixels_of(kit::red, 0, 599), expected);
}

// The whole white screen: the recursion this fill stands for would be hundreds of thousands of
// calls deep. Upward tries stop at row 1, so row 0 is painted only from a seed on it; column 0
// is never painted by a run but by the tries at column 0, from every row in reach.
TEST(FloodFill, WholeScreenFromAnySeed) {
    FillScreen screen;
    for (auto [sx, sy] : {std::pair{400, 300}, {1, 599}, {799, 1}, {400, 0}}) {
        kit::clear_screen(kit::white);
        screen.fill(sx, sy);
        for (int x = 0; x < 800; ++x) {
            const bool row_0_painted = sy == 0 && x > 0;
            ASSERT_EQ(get_pixel(x, 0), row_0_painted ? kit::red : kit::white) << x;
        }
        EXPECT_EQ(pixels_of(kit::red, 1, 599).size(), 599u * 800u) << sx << "," << sy;
    }
}

// A surface taller than the fill's frames can address (rows are held in 16 bits), though small
// enough in pixels: the fill refuses it instead of running on forever.
TEST(FloodFill, RefusesASurfaceItCannotAddress) {
    // (SDL 1.2 keeps a surface's pitch in 16 bits, so no surface is too wide for them.)
    for (auto [w, h] : {std::pair{2, 40000}, {1, 32768}}) {
        std::vector<Uint32> pixels(static_cast<size_t>(w) * h, 0xffffff);
        SDL_Surface* tall =
            SDL_CreateRGBSurfaceFrom(pixels.data(), w, h, 32, w * 4, 0xff0000, 0xff00, 0xff, 0);
        ASSERT_NE(tall, nullptr);
        SDL_Surface* saved = kit::screen;
        kit::screen = tall;
        figure5::flood_fill(1, h - 1, 0xff0000, 0);
        kit::screen = saved;
        SDL_FreeSurface(tall);
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xffffffu), static_cast<long>(w) * h)
            << w << "x" << h;
    }
}

// Random pictures where the fill and a plain 4-connected fill must agree. They differ only
// (1) at a diagonal-only contact of the border: a row run's left stop column is tried above and
// below, and that try steps through a 2x2 block whose border pixels are exactly one diagonal;
// (2) on column 0, which runs skip; (3) on row 0, which upward tries never reach. So the
// walls keep off column 0 and row 0 behind a closed frame, and every diagonal-only contact is
// closed by walling one of its two open pixels. The open pixels are white or blue (the runs
// test only the border colour), and no open pixel holds the fill colour.
TEST(FloodFill, AgreesWithFourConnectedFillWhereTheyShould) {
    test::SoftwareScreen screen;
    std::mt19937 random(5);
    constexpr int x0 = 300, y0 = 200, w = 48, h = 32; // open box, frame one pixel outside
    long painted = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const bool same_colours = trial % 2 == 1;
        const Uint32 border = kit::black, fill = same_colours ? kit::black : kit::red;
        kit::clear_screen(kit::white);
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                put_pixel(x, y, random() % 4 == 0 ? kit::blue : kit::white);
        for (int x = x0 - 1; x <= x0 + w; ++x) {
            put_pixel(x, y0 - 1, border);
            put_pixel(x, y0 + h, border);
        }
        for (int y = y0; y < y0 + h; ++y) {
            put_pixel(x0 - 1, y, border);
            put_pixel(x0 + w, y, border);
        }
        auto inside_x = [&] { return x0 + static_cast<int>(random() % w); };
        auto inside_y = [&] { return y0 + static_cast<int>(random() % h); };
        for (int wall = random() % 7; wall > 0; --wall)
            kit::draw_line_clipped(inside_x(), inside_y(), inside_x(), inside_y(), border);
        for (int dot = random() % 40; dot > 0; --dot) put_pixel(inside_x(), inside_y(), border);
        for (bool changed = true; changed;) {
            changed = false;
            for (int y = y0 - 1; y < y0 + h; ++y)
                for (int x = x0 - 1; x < x0 + w; ++x) {
                    const bool a = get_pixel(x, y) == border, b = get_pixel(x + 1, y) == border,
                               c = get_pixel(x, y + 1) == border,
                               d = get_pixel(x + 1, y + 1) == border;
                    if (a == d && b == c && a != b) {
                        put_pixel(a ? x + 1 : x, y, border);
                        changed = true;
                    }
                }
        }
        const int sx = inside_x(), sy = inside_y();
        const Rows before = Rows::take(y0 - 2, y0 + h + 1);
        reference_fill(sx, sy, fill, border);
        const Rows expected = Rows::take(y0 - 2, y0 + h + 1);
        before.restore();
        figure5::flood_fill(sx, sy, fill, border);
        ASSERT_EQ(Rows::take(y0 - 2, y0 + h + 1).pixels, expected.pixels)
            << "trial " << trial << " seed " << sx << "," << sy;
        for (size_t i = 0; i < expected.pixels.size(); ++i)
            painted += expected.pixels[i] != before.pixels[i];
    }
    EXPECT_GT(painted, 400 * 600); // the regions are large, not walled-in dots
}

// The finished picture, and each of its 240 cells replayed from the colour table by lattice
// column: corners in closed form, the outline, then a plain 4-connected fill from the centroid.
struct Cell {
    int a, b, apex_sign, colour;
};

std::vector<Cell> cells_in_drawing_order() {
    // By a mod 6: band 1, band 2 down, band 2 up, band 3 down, band 3 up, band 4.
    constexpr int by_column[6][6] = {{1, 1, 4, 4, 1, 1}, {1, 4, 3, 3, 4, 2}, {2, 2, 4, 4, 2, 2},
                                     {2, 4, 1, 1, 4, 3}, {3, 3, 4, 4, 3, 3}, {3, 4, 2, 2, 4, 1}};
    std::vector<Cell> cells;
    for (int band = 0; band < 4; ++band)
        for (int n = 0; n < 30; ++n) {
            // Band 4 shifts each group of six one column: 6i + 1 .. 6i + 5, then 6i.
            const int a = band < 3 ? n : n / 6 * 6 + (n % 6 + 1) % 6;
            const int down = band == 0 ? 0 : band == 3 ? 5 : 2 * band - 1;
            const int up = band == 0 ? 0 : band == 3 ? 5 : 2 * band;
            cells.push_back({a, band, +1, by_column[a % 6][down]});
            cells.push_back({a, band + 1, -1, by_column[a % 6][up]});
        }
    return cells;
}

TEST(Figure5Picture, OneSlideOfFourColours) {
    const auto slides = test::capture_slides(figure5::program);
    ASSERT_EQ(slides.size(), 1u);
    const test::Picture& picture = slides[0];
    EXPECT_EQ(test::count(picture, table[1]), 10960);
    EXPECT_EQ(test::count(picture, table[2]), 10408);
    EXPECT_EQ(test::count(picture, table[3]), 10687);
    EXPECT_EQ(test::count(picture, table[4]), 10253);
    EXPECT_EQ(test::count(picture, table[0]) + 10960 + 10408 + 10687 + 10253, 800 * 600);

    int leftmost = 800, rightmost = -1, top = 600, bottom = -1;
    std::vector<int> on_left, on_right;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (picture.at(x, y) != table[0]) {
                leftmost = std::min(leftmost, x), rightmost = std::max(rightmost, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
                if (x == 30) on_left.push_back(y);
                if (x == 670) on_right.push_back(y);
            }
    EXPECT_EQ(leftmost, 30);
    EXPECT_EQ(rightmost, 670);
    EXPECT_EQ(top, 299);
    EXPECT_EQ(bottom, 369);
    EXPECT_EQ(on_left, (std::vector<int>{367, 368, 369}));
    EXPECT_EQ(on_right, (std::vector<int>{300, 301, 302}));

    // Row 299: the tips of band 1's up cells, colour 1, 2, 3 for each pair of columns.
    for (int x = 0; x < 800; ++x) {
        const int a = (x - 69) / 20, offset = (x - 69) % 20;
        const bool tip = x >= 69 && a < 30 && offset <= 2;
        ASSERT_EQ(picture.at(x, 299), tip ? table[a % 6 / 2 + 1] : table[0]) << x;
    }

    // The replay draws the same picture, every fill agreeing with the plain one.
    CellScreen screen;
    constexpr int base_row[5] = {300, 317, 334, 351, 369};
    constexpr int down_apex[5] = {317, 334, 351, 369, 386};
    constexpr int up_apex[5] = {282, 299, 317, 334, 351};
    long fewest = 800 * 600, most = 0; // pixels each fill paints
    for (const Cell& cell : cells_in_drawing_order()) {
        const Rows before = Rows::take(280, 390);
        figure5::draw_triangle_cell(static_cast<float>(cell.a), static_cast<float>(cell.b),
                                    cell.apex_sign, cell.colour);
        const Rows drawn = Rows::take(280, 390);
        before.restore();
        const int left = 70 + 20 * cell.a - 10 * cell.b, right = left + 20, apex_x = left + 10;
        const int base = base_row[cell.b];
        const int apex_y = cell.apex_sign > 0 ? down_apex[cell.b] : up_apex[cell.b];
        const Uint32 c = table[cell.colour];
        kit::draw_line_clipped(left, base, right, base, c);
        kit::draw_line_clipped(left, base, apex_x, apex_y, c);
        kit::draw_line_clipped(right, base, apex_x, apex_y, c);
        const Rows outlined = Rows::take(280, 390);
        reference_fill((left + right + apex_x) / 3, (apex_y + 2 * base) / 3, c, c);
        const Rows filled = Rows::take(280, 390);
        ASSERT_EQ(drawn.pixels, filled.pixels) << "cell " << cell.a << "," << cell.b;
        long inside = 0;
        for (size_t i = 0; i < filled.pixels.size(); ++i)
            inside += filled.pixels[i] != outlined.pixels[i];
        fewest = std::min(fewest, inside);
        most = std::max(most, inside);
    }
    EXPECT_EQ(fewest, 112);
    EXPECT_EQ(most, 169);
    EXPECT_EQ(test::snapshot(), picture);
}

} // namespace
