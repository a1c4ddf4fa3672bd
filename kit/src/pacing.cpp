#include "kit/pacing.hpp"

#include "keys.hpp"
#include "pacing_modes.hpp"
#include "platform.hpp"

#include <atomic>
#include <climits>
#include <utility>

namespace kit {
namespace {

struct Pacing {
    bool in_window = false;
    int first_shown = 1;
    int slide_count = 0;
    std::optional<int> show_again; // the slide a move back asked for
    SlideObserver on_slide;
    std::atomic<int> shown{0};
};

// No slide of this run goes on view any more: the show ends, or starts again.
constexpr int none_shown = INT_MAX;
Pacing pacing;

bool on_view(int slide) {
    return pacing.in_window && slide >= pacing.first_shown;
}

} // namespace

void pace_in_window(int first_shown, int slide_count) {
    pacing.in_window = true;
    pacing.first_shown = first_shown;
    pacing.slide_count = slide_count;
    pacing.show_again.reset();
    pacing.on_slide = nullptr;
    pacing.shown = 0;
}

std::optional<int> slide_to_show_again() {
    return pacing.show_again;
}

void pace_headless(SlideObserver on_slide) {
    pacing.in_window = false;
    pacing.first_shown = 1;
    pacing.show_again.reset();
    pacing.on_slide = std::move(on_slide);
    pacing.shown = 0;
}

void end_pacing() {
    pacing.in_window = false;
    pacing.on_slide = nullptr;
}

void show_slide() {
    const int slide = ++pacing.shown;
    if (!on_view(slide)) {
        if (!pacing.in_window && pacing.on_slide) pacing.on_slide(slide);
        return;
    }
    platform::flip_screen();
    platform::announce_slide(slide);
    // A move to where the show stands already (back at the first slide, End at the last) is
    // no move: the slide stays and the wait goes on.
    for (;;) {
        const Move move = platform::wait_for_move();
        switch (move) {
        case Move::none:
        case Move::info: // the view's moves, which the wait has taken itself
        case Move::black:
        case Move::white:
            break;
        case Move::forward:
            platform::moving_on(slide < pacing.slide_count ? slide + 1 : 0);
            return;
        case Move::last:
            if (slide >= pacing.slide_count) break;
            pacing.first_shown = pacing.slide_count;
            platform::moving_on(pacing.slide_count);
            return;
        case Move::back:
        case Move::first:
            if (slide == 1) break;
            pacing.show_again = move == Move::back ? slide - 1 : 1;
            pacing.first_shown = none_shown;
            platform::moving_on(*pacing.show_again);
            return;
        case Move::quit:
            pacing.first_shown = none_shown;
            platform::moving_on(0);
            return;
        }
    }
}

void flip_screen() {
    if (on_view(pacing.shown + 1)) platform::flip_screen();
}

int slides_shown() {
    return pacing.shown.load();
}

} // namespace kit
