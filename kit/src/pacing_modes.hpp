// How a run paces its slides; each run chooses before its script starts, and the count of slides
// shown starts again from 0.
#pragma once

#include <functional>
#include <optional>

namespace kit {

// Called after each show_slide with the slide's number (1, 2, ...); the screen holds the slide.
using SlideObserver = std::function<void(int slide)>;

// In a window: slides from `first_shown` on are put on view and waited for; the ones before it
// are drawn only. `slide_count` is the show's.
void pace_in_window(int first_shown, int slide_count);

// After a run of the script in a window: the slide the viewer went back to, from which the run
// shows the script again; nothing when the show is over.
std::optional<int> slide_to_show_again();

// Without a window: every slide goes to `on_slide` (if any), and nothing waits.
void pace_headless(SlideObserver on_slide);

// The run is over: its observer is let go (it may refer to what the run owned); the count of
// slides shown stays readable.
void end_pacing();

} // namespace kit
