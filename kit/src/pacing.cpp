#include "kit/pacing.hpp"

#include "pacing_modes.hpp"
#include "platform.hpp"

#include <atomic>
#include <utility>

namespace kit {
namespace {

struct Pacing {
    bool in_window = false;
    int first_shown = 1;
    SlideObserver on_slide;
    std::atomic<int> shown{0};
};
Pacing pacing;

bool on_view(int slide) {
    return pacing.in_window && slide >= pacing.first_shown;
}

} // namespace

void pace_in_window(int first_shown) {
    pacing.in_window = true;
    pacing.first_shown = first_shown;
    pacing.on_slide = nullptr;
    pacing.shown = 0;
}

void pace_headless(SlideObserver on_slide) {
    pacing.in_window = false;
    pacing.first_shown = 1;
    pacing.on_slide = std::move(on_slide);
    pacing.shown = 0;
}

void end_pacing() {
    pacing.in_window = false;
    pacing.on_slide = nullptr;
}

void show_slide() {
    const int slide = ++pacing.shown;
    if (on_view(slide)) {
        platform::flip_screen();
        platform::announce_slide(slide);
        wait_for_key();
    } else if (!pacing.in_window && pacing.on_slide) {
        pacing.on_slide(slide);
    }
}

void flip_screen() {
    if (on_view(pacing.shown + 1)) platform::flip_screen();
}

int wait_for_key() {
    return platform::wait_for_key();
}

int slides_shown() {
    return pacing.shown.load();
}

} // namespace kit
