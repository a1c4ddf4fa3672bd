// What a desktop throws at a waiting slide: floods of events that must not advance it, and the
// idle wait itself, which must sleep rather than spin (dummy video driver, events pushed from the
// test's thread while the show waits on its own).
#include "kit/canvas.hpp"
#include "kit/pacing.hpp"
#include "kit/program.hpp"

#include <gtest/gtest.h>

#include "support.hpp"

#include <chrono>
#include <sys/resource.h>
#include <thread>

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

} // namespace
