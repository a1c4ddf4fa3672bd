// The slide show in a window, driven by events pushed into SDL's queue (dummy video driver).
#include "kit/canvas.hpp"
#include "kit/pacing.hpp"
#include "kit/program.hpp"

#include <gtest/gtest.h>

#include "random.hpp"
#include "support.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int slide_count = 4;

void four_slides() {
    kit::set_up_canvas({.white = {255, 255, 255}});
    for (int i = 0; i < slide_count; ++i) {
        kit::put_pixel(i, 0, 0);
        kit::show_slide();
    }
}

const kit::Program program{.name = "pacing", .slide_count = slide_count, .script = four_slides};

void push(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) event = test::key(type);
    test::send(event);
}

// Gives the show time to act on whatever it has been sent.
void settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

TEST(Pacing, KeysAndQuitAdvanceOtherEventsDoNot) {
    test::WindowShow show(program);
    ASSERT_TRUE(test::wait_until_slide(1));
    push(SDL_KEYUP);
    push(SDL_MOUSEMOTION);
    push(SDL_MOUSEBUTTONDOWN);
    push(SDL_MOUSEBUTTONUP);
    push(SDL_ACTIVEEVENT);
    settle();
    EXPECT_EQ(kit::slides_shown(), 1) << "a key release or the mouse advanced the show";

    push(SDL_KEYDOWN);
    ASSERT_TRUE(test::wait_until_slide(2));
    settle();
    EXPECT_EQ(kit::slides_shown(), 2);

    push(SDL_QUIT); // a close request only ends the current wait
    ASSERT_TRUE(test::wait_until_slide(3));
    settle();
    EXPECT_EQ(kit::slides_shown(), 3);

    push(SDL_KEYDOWN);
    ASSERT_TRUE(test::wait_until_slide(4));
    settle();
    EXPECT_EQ(show.status, -1) << "the show ended before its last slide was dismissed";
    push(SDL_KEYDOWN);
    EXPECT_EQ(show.finish(), 0);
    EXPECT_EQ(kit::slides_shown(), slide_count);
}

std::string caption() {
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    return title ? title : "";
}

// Where the clock chose the colours, the caption tells the seed that draws them again.
TEST(Pacing, TheCaptionNamesTheSlideAndTheSeedTheClockChose) {
    const kit::Program clock_seeded{.name = "pacing",
                                    .slide_count = slide_count,
                                    .seeds_from_clock = true,
                                    .script = four_slides};
    std::vector<std::string> captions;
    {
        test::WindowShow show(clock_seeded);
        for (int slide = 1; slide <= slide_count; ++slide) {
            ASSERT_TRUE(test::wait_until_slide(slide));
            settle();
            captions.push_back(caption());
            push(SDL_KEYDOWN);
        }
        ASSERT_EQ(show.finish(), 0);
    }
    const std::vector<Uint32> shown_palette(std::begin(kit::palette), std::end(kit::palette));

    const size_t seed_at = captions[0].rfind(" - seed ");
    ASSERT_NE(seed_at, std::string::npos) << "no seed in '" << captions[0] << "'";
    const std::string seed_part = captions[0].substr(seed_at + 8);
    const unsigned seed = static_cast<unsigned>(std::stoul(seed_part));
    for (int slide = 1; slide <= slide_count; ++slide)
        EXPECT_EQ(captions[slide - 1], "pacing - slide " + std::to_string(slide) + " of " +
                                           std::to_string(slide_count) + " - seed " + seed_part);
    test::SoftwareScreen screen;
    kit::seed_rand(seed);
    kit::make_palette();
    EXPECT_TRUE(std::equal(shown_palette.begin(), shown_palette.end(), kit::palette))
        << "seed " << seed << " draws other colours than the show had";
}

} // namespace
