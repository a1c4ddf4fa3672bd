// Editing a scene, as the desktop window and the page both do it: every change is an operation
// of the editor, and every change can be undone and redone.
//
// A change that leaves the scene as it was is no change (nothing to undo). A change marked as
// continuing the one before (the steps of a dragged slider, of a drag across the portrait, of a
// pinch) joins it: undo takes the whole gesture back at once. The history holds the last
// `history_limit` changes.
#pragma once

#include "picture.hpp"
#include "scene.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace explore {

inline constexpr int history_limit = 1000;

// Whether a change starts a gesture of its own or continues the one before.
enum class Gesture { starts, continues };

class Editor {
  public:
    explicit Editor(Scene start = {});

    const Scene& scene() const { return scene_; }
    // The scene the editor started from (reset goes back to it).
    const Scene& start() const { return start_; }

    // Sets one key as the line would; returns the refusal (the scene then stays as it was).
    std::optional<std::string> set(std::string_view key, std::string_view value,
                                   Gesture gesture = Gesture::starts);
    // The whole scene from a line; returns the refusal.
    std::optional<std::string> read(std::string_view line);

    // The kick by `hundredths` of a unit, on the grid of hundredths and within the limits.
    void step_kick(int hundredths);
    void next_group();
    void set_group(Group group);
    void next_part();
    void next_palette();
    // The next colouring (by start, by chaos, by density, in turn); returns the refusal of a
    // scene whose version has no colourings.
    std::optional<std::string> next_colouring();

    // Moves the window onto the plane by fractions of its size (right and up positive), kept on
    // the torus. Within a gesture the fractions count from where the gesture started, so that a
    // drag follows the pointer from where it went down.
    void pan(double right, double up, Gesture gesture = Gesture::starts);
    // Zooms by `factor` (below 1 in, above 1 out), keeping the point at fractions (across, down)
    // of the tile where it is; the window stays on the torus, at least min_window and at most
    // 2 pi wide.
    void zoom(double factor, double across, double down, Gesture gesture = Gesture::starts);
    // The keys' steps: the window moved by an eighth of its size `right` and `up` times, and
    // zoomed in (halved) or out (doubled) about its centre.
    void step_window(int right, int up);
    void zoom_in();
    void zoom_out();
    // The window onto the whole torus.
    void whole_torus();

    // Starts an orbit at the centre of pixel `pixel` of a tile width x height showing the
    // scene's window; false off the tile or when the scene holds max_orbits already.
    bool plant(Pixel pixel, int width, int height);

    // Back to the start scene, as a change of its own (undo brings the scene back).
    void reset();

    bool can_undo() const { return !undo_.empty(); }
    bool can_redo() const { return !redo_.empty(); }
    bool undo();
    bool redo();

  private:
    void change(const Scene& next, Gesture gesture);

    Scene scene_, start_;
    std::vector<Scene> undo_, redo_;
    bool gesture_open_ = false; // the last change may be continued
};

} // namespace explore
