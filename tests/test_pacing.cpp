// The slide show in a window, driven by events pushed into SDL's queue (dummy video driver).
#include "kit/canvas.hpp"
#include "kit/program.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

constexpr int slide_count = 4;

void four_slides() {
    kit::white = kit::map_rgb(255, 255, 255);
    kit::clear_screen(kit::white);
    for (int i = 0; i < slide_count; ++i) {
        kit::put_pixel(i, 0, 0);
        kit::show_slide();
    }
}

const kit::Program program{.name = "pacing", .slide_count = slide_count, .script = four_slides};

bool wait_until_slide(int slide) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (kit::slides_shown() < slide)
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
}

void push(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
        event.key.type = type;
        event.key.keysym.sym = SDLK_SPACE;
    }
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

// Gives the show time to act on whatever it has been sent.
void settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

TEST(Pacing, KeysAndQuitAdvanceOtherEventsDoNot) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::atomic<int> status{-1};
    std::thread show([&] {
        char name[] = "pacing";
        char* argv[] = {name, nullptr};
        status = kit::run(1, argv, program);
    });

    ASSERT_TRUE(wait_until_slide(1));
    push(SDL_KEYUP);
    push(SDL_MOUSEMOTION);
    push(SDL_MOUSEBUTTONDOWN);
    push(SDL_MOUSEBUTTONUP);
    push(SDL_ACTIVEEVENT);
    settle();
    EXPECT_EQ(kit::slides_shown(), 1) << "a key release or the mouse advanced the show";

    push(SDL_KEYDOWN);
    ASSERT_TRUE(wait_until_slide(2));
    settle();
    EXPECT_EQ(kit::slides_shown(), 2);

    push(SDL_QUIT); // a close request only ends the current wait
    ASSERT_TRUE(wait_until_slide(3));
    settle();
    EXPECT_EQ(kit::slides_shown(), 3);

    push(SDL_KEYDOWN);
    ASSERT_TRUE(wait_until_slide(4));
    settle();
    EXPECT_EQ(status, -1) << "the show ended before its last slide was dismissed";
    push(SDL_KEYDOWN);
    show.join();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(kit::slides_shown(), slide_count);
    unsetenv("SDL_VIDEODRIVER");
}

} // namespace
