#include "kit/canvas.hpp"
#include "random.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Pixels, GetReturnsWhatPutWrote) {
    test::SoftwareScreen screen;
    kit::put_pixel(0, 0, 0x123456);
    kit::put_pixel(799, 599, 0xabcdef);
    EXPECT_EQ(kit::get_pixel(0, 0), 0x123456u);
    EXPECT_EQ(kit::get_pixel(799, 599), 0xabcdefu);
    // Word x + y * 800 of the pixel memory.
    EXPECT_EQ(static_cast<Uint32*>(kit::screen->pixels)[799 + 599 * 800], 0xabcdefu);
}

TEST(Pixels, PositionsOffTheSurfaceAreIgnored) {
    test::SoftwareScreen screen;
    for (auto [x, y] :
         {std::pair{-1, 0}, {800, 0}, {0, -1}, {0, 600}, {-2147483647 - 1, 5}, {5, 2147483647}}) {
        kit::put_pixel(x, y, 0x010203);
        EXPECT_EQ(kit::get_pixel(x, y), 0u);
    }
    EXPECT_EQ(test::count(test::snapshot(), kit::white), 800L * 600);
}

TEST(Pixels, RowsFollowThePitch) {
    // A surface whose rows are padded: pixel (x, y) lives at byte y * pitch + 4x.
    std::vector<Uint32> memory(10 * 16, 0);
    SDL_Surface* padded =
        SDL_CreateRGBSurfaceFrom(memory.data(), 10, 10, 32, 16 * 4, 0xff0000, 0xff00, 0xff, 0);
    ASSERT_NE(padded, nullptr);
    SDL_Surface* saved = kit::screen;
    kit::screen = padded;
    kit::put_pixel(3, 2, 7);
    kit::put_pixel(12, 2, 9); // beyond the width, inside the padding: dropped
    EXPECT_EQ(memory[2 * 16 + 3], 7u);
    EXPECT_EQ(memory[2 * 16 + 12], 0u);
    EXPECT_EQ(kit::get_pixel(3, 2), 7u);
    kit::screen = saved;
    SDL_FreeSurface(padded);
}

TEST(Palette, ThreeRandCallsGiveBlueGreenRed) {
    test::SoftwareScreen screen;
    kit::seed_rand(5);
    kit::make_palette();
    kit::seed_rand(5);
    for (int i = 0; i < 256; ++i) {
        const int c1 = kit::next_rand(), c2 = kit::next_rand(), c3 = kit::next_rand();
        ASSERT_EQ(kit::palette[i], kit::map_rgb(c3 & 0xff, c2 & 0xff, c1 & 0xff)) << i;
    }
}

} // namespace
