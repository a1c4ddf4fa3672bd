// What a desktop throws at a waiting slide: floods of events that must not advance it, the idle
// wait itself, which must sleep rather than spin, and the presenter's keys, which change what is
// on view and never the slide (dummy video driver, events pushed from the test's thread while
// the show waits on its own).
#include "keys.hpp"
#include "kit/canvas.hpp"
#include "kit/pacing.hpp"
#include "kit/program.hpp"

#include <gtest/gtest.h>

#include "support.hpp"

#include <chrono>
#include <sys/resource.h>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;

constexpr int slide_count = 3;

void three_slides() {
    kit::white = kit::map_rgb(255, 255, 255);
    kit::clear_screen(kit::white);
    for (int i = 0; i < slide_count; ++i) kit::show_slide();
}

const kit::Program program{.name = "events", .slide_count = slide_count, .script = three_slides};

// The n-th event of the stream: the mouse moving, keys being released, and the window being
// exposed, resized, losing and regaining focus.
SDL_Event stream_event(int n) {
    SDL_Event event{};
    switch (n % 5) {
    case 0:
        event.motion.type = SDL_MOUSEMOTION;
        event.motion.x = static_cast<Uint16>(n % 800);
        event.motion.y = static_cast<Uint16>(n % 600);
        event.motion.xrel = 1;
        break;
    case 1:
        event = test::key(SDL_KEYUP);
        break;
    case 2:
        event.active.type = SDL_ACTIVEEVENT;
        event.active.gain = static_cast<Uint8>(n / 5 % 2);
        event.active.state = SDL_APPINPUTFOCUS;
        break;
    case 3:
        event.type = SDL_VIDEOEXPOSE;
        break;
    default:
        event.resize.type = SDL_VIDEORESIZE;
        event.resize.w = 800;
        event.resize.h = 600;
        break;
    }
    return event;
}

TEST(EventStream, HundredThousandEventsThenOneKeyAdvanceExactlyOneSlide) {
    test::WindowShow show(program);
    ASSERT_TRUE(test::wait_until_slide(1));
    constexpr int stream_length = 100'000;
    int sent = 0, advanced_at = -1;
    long refused = 0;
    for (; sent < stream_length; ++sent) {
        refused += test::send(stream_event(sent));
        if (advanced_at < 0 && kit::slides_shown() != 1) advanced_at = sent;
    }
    EXPECT_EQ(sent, stream_length);
    EXPECT_EQ(advanced_at, -1) << "the show advanced after event " << advanced_at;
    RecordProperty("refused_pushes", static_cast<int>(refused));

    // The key press queues behind the whole stream: reaching slide 2 means every event of the
    // stream has been taken out of the queue.
    refused += test::send(test::key(SDL_KEYDOWN));
    ASSERT_TRUE(test::wait_until_slide(2));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(kit::slides_shown(), 2);
    EXPECT_EQ(show.status, -1);

    test::send(test::key(SDL_KEYDOWN));
    ASSERT_TRUE(test::wait_until_slide(3));
    test::send(test::key(SDL_KEYDOWN));
    EXPECT_EQ(show.finish(), 0);
    EXPECT_EQ(kit::slides_shown(), slide_count);
}

double process_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

TEST(EventStream, AnIdleWaitSleeps) {
    test::WindowShow show(program);
    ASSERT_TRUE(test::wait_until_slide(1));
    std::this_thread::sleep_for(100ms); // past the start-up, into the wait
    const double before = process_cpu_seconds();
    std::this_thread::sleep_for(1s);
    const double used = process_cpu_seconds() - before;
    RecordProperty("idle_cpu_microseconds", static_cast<int>(used * 1e6));
    // Every thread of the process counts, so SDL's own helpers cannot hide a busy loop.
    EXPECT_LT(used, 0.05) << "a second of waiting cost " << used << " s of processor time";
    EXPECT_EQ(kit::slides_shown(), 1);

    for (int slide = 1; slide <= slide_count; ++slide) {
        ASSERT_TRUE(test::wait_until_slide(slide));
        test::send(test::key(SDL_KEYDOWN));
    }
    EXPECT_EQ(show.finish(), 0);
}

TEST(Keys, ThePresentersKeysAskForTheViewAndARemotesF5ForNothing) {
    using kit::Move;
    EXPECT_EQ(kit::key_move(SDLK_i, KMOD_NONE), Move::info);
    EXPECT_EQ(kit::key_move(SDLK_b, KMOD_NONE), Move::black);
    EXPECT_EQ(kit::key_move(SDLK_PERIOD, KMOD_NONE), Move::black);
    EXPECT_EQ(kit::key_move(SDLK_w, KMOD_NONE), Move::white);
    EXPECT_EQ(kit::key_move(SDLK_COMMA, KMOD_NONE), Move::white);
    EXPECT_EQ(kit::key_move(SDLK_b, KMOD_LSHIFT), Move::black); // Caps Lock or Shift: still b
    EXPECT_EQ(kit::key_move(SDLK_F5, KMOD_NONE), Move::none);
    EXPECT_EQ(kit::key_move(SDLK_F5, KMOD_LSHIFT), Move::none);
    EXPECT_EQ(kit::key_move(SDLK_b, KMOD_LCTRL), Move::none);
    EXPECT_EQ(kit::key_move(SDLK_i, KMOD_LALT), Move::none);
    // The keys around them keep what they did.
    EXPECT_EQ(kit::key_move(SDLK_F4, KMOD_NONE), Move::forward);
    EXPECT_EQ(kit::key_move(SDLK_n, KMOD_NONE), Move::forward);
    EXPECT_EQ(kit::key_move(SDLK_PAGEDOWN, KMOD_NONE), Move::forward);
    EXPECT_EQ(kit::key_move(SDLK_PAGEUP, KMOD_NONE), Move::back);
}

TEST(Keys, ABlankScreenTakesTheNextMoveAndTheInfoSettingStays) {
    using kit::Blank;
    using kit::Move;
    kit::View view;
    EXPECT_EQ(kit::take_move(view, Move::info), Move::none);
    EXPECT_EQ(view, (kit::View{.info = true, .blank = Blank::none}));
    EXPECT_EQ(kit::take_move(view, Move::forward), Move::forward);
    EXPECT_EQ(kit::take_move(view, Move::back), Move::back);
    EXPECT_TRUE(view.info) << "the setting is lost as the show moves on";
    // Blanked, every move only brings the slide back: a key that would advance, go back or end
    // the show, i, and the blank keys themselves (either colour).
    for (Move next : {Move::forward, Move::back, Move::first, Move::last, Move::quit, Move::info,
                      Move::black, Move::white}) {
        for (Move blank : {Move::black, Move::white}) {
            EXPECT_EQ(kit::take_move(view, blank), Move::none);
            EXPECT_EQ(view.blank, blank == Move::black ? Blank::black : Blank::white);
            EXPECT_EQ(kit::take_move(view, Move::none), Move::none);
            EXPECT_NE(view.blank, Blank::none) << "a bare modifier brought the slide back";
            EXPECT_EQ(kit::take_move(view, next), Move::none) << static_cast<int>(next);
            EXPECT_EQ(view, (kit::View{.info = true, .blank = Blank::none}));
        }
    }
    EXPECT_EQ(kit::take_move(view, Move::info), Move::none);
    EXPECT_FALSE(view.info);
    EXPECT_EQ(kit::take_move(view, Move::quit), Move::quit);
}

// The window's own surface, the one on view (the screen the scripts draw into is another).
test::Picture on_view() {
    return test::copy_of(SDL_GetVideoSurface());
}

void press(SDLKey sym, SDLMod modifiers = KMOD_NONE) {
    test::send(test::key(SDL_KEYDOWN, sym, modifiers));
    std::this_thread::sleep_for(150ms); // the show takes it and flips
}

TEST(PresenterKeys, BlankScreensHideTheSlideUntilTheNextKeyWhichDoesNotAdvance) {
    test::WindowShow show(program);
    ASSERT_TRUE(test::wait_until_slide(1));
    std::this_thread::sleep_for(150ms); // into the wait, the slide on view
    const test::Picture slide = test::snapshot();
    ASSERT_EQ(on_view(), slide);
    ASSERT_EQ(test::count(slide, kit::white), 800L * 600);

    for (auto [key, colour] : {std::pair{SDLK_b, 0x000000u},
                               {SDLK_PERIOD, 0x000000u},
                               {SDLK_w, 0xffffffu},
                               {SDLK_COMMA, 0xffffffu}}) {
        press(key);
        EXPECT_EQ(on_view(), test::blank(colour)) << "key " << key;
        EXPECT_EQ(test::snapshot(), slide) << "blanking changed the slide's pixels";
        press(SDLK_RIGHT); // back to the slide, not on to the next one
        EXPECT_EQ(on_view(), slide);
        EXPECT_EQ(kit::slides_shown(), 1);
    }
    press(SDLK_b);
    press(SDLK_LSHIFT); // a bare modifier asks nothing: the screen stays black
    EXPECT_EQ(on_view(), test::blank(0x000000));
    press(SDLK_b); // a second b brings the slide back
    EXPECT_EQ(on_view(), slide);
    press(SDLK_F5);
    press(SDLK_F5, KMOD_LSHIFT);
    press(SDLK_i); // in a window: nothing new on view
    EXPECT_EQ(on_view(), slide);
    EXPECT_EQ(kit::slides_shown(), 1) << "F5 or i advanced the show";
    EXPECT_EQ(show.status, -1);

    press(SDLK_SPACE);
    EXPECT_TRUE(test::wait_until_slide(2));
    // (The show is driven to its end as the test ends.)
}

} // namespace
