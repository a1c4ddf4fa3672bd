#include "editor.hpp"

#include <algorithm>
#include <cmath>

namespace explore {
namespace {

// The narrowest window a zoom makes: a little wider than the scene's narrowest, so that the
// window's ends, rounded, still lie min_window apart.
constexpr double narrowest = min_window * (1 + 1e-9);

bool valid_window(double from, double to) {
    return from >= 0 && to <= two_pi && to - from >= min_window;
}

// Moves the window FROM:TO by `fraction` of its size, kept within [0, 2 pi].
void shift_window(double& from, double& to, double fraction) {
    const double size = to - from;
    const double shift = std::clamp(size * fraction, -from, two_pi - to);
    const double new_from = from + shift, new_to = std::min(new_from + size, two_pi);
    if (!valid_window(new_from, new_to)) return;
    from = new_from;
    to = new_to;
}

// Scales the window by `factor` about the point `at` of its size from FROM.
void scale_window(double& from, double& to, double factor, double at) {
    const double size = to - from;
    const double new_size = std::clamp(size * factor, narrowest, two_pi);
    const double centre = from + at * size;
    const double new_from = std::clamp(centre - at * new_size, 0.0, two_pi - new_size);
    const double new_to = std::min(new_from + new_size, two_pi);
    if (!valid_window(new_from, new_to)) return;
    from = new_from;
    to = new_to;
}

} // namespace

Editor::Editor(Scene start) : scene_(start), start_(std::move(start)) {}

void Editor::change(const Scene& next, Gesture gesture) {
    if (next == scene_) return;
    const bool joins = gesture == Gesture::continues && gesture_open_ && !undo_.empty();
    if (!joins) {
        undo_.push_back(scene_);
        if (static_cast<int>(undo_.size()) > history_limit) undo_.erase(undo_.begin());
    }
    redo_.clear();
    scene_ = next;
    gesture_open_ = true;
}

std::optional<std::string> Editor::set(std::string_view key, std::string_view value,
                                       Gesture gesture) {
    Scene next = scene_;
    if (auto refused = set_key(next, key, value)) return refused;
    change(next, gesture);
    return std::nullopt;
}

std::optional<std::string> Editor::read(std::string_view line) {
    std::string error;
    const auto read = parse_scene(line, error);
    if (!read) return error;
    change(*read, Gesture::starts);
    return std::nullopt;
}

void Editor::step_kick(int hundredths) {
    Scene next = scene_;
    const double value = std::round(static_cast<double>(next.kick) * 100) + hundredths;
    const double limited = std::clamp(value, -100.0 * kick_limit, 100.0 * kick_limit);
    next.kick = static_cast<float>(limited / 100);
    change(next, Gesture::starts);
}

void Editor::set_group(Group group) {
    Scene next = scene_;
    next.group = group;
    change(next, Gesture::starts);
}

void Editor::next_group() {
    set_group(static_cast<Group>((static_cast<int>(scene_.group) + 1) % group_count));
}

void Editor::next_part() {
    Scene next = scene_;
    next.keep = (next.keep + 1) % part_count(next.group);
    change(next, Gesture::starts);
}

std::optional<std::string> Editor::next_colouring() {
    const auto next =
        static_cast<Colouring>((static_cast<int>(scene_.colour) + 1) % colouring_count);
    return set("colour", colouring_name(next));
}

void Editor::next_palette() {
    Scene next = scene_;
    ++next.palette;
    change(next, Gesture::starts);
}

void Editor::pan(double right, double up, Gesture gesture) {
    // Within a gesture the window moves from where it stood when the gesture started.
    const bool joins = gesture == Gesture::continues && gesture_open_ && !undo_.empty();
    Scene next = scene_;
    if (joins) {
        const Scene& base = undo_.back();
        next.theta_from = base.theta_from;
        next.theta_to = base.theta_to;
        next.p_from = base.p_from;
        next.p_to = base.p_to;
    }
    shift_window(next.theta_from, next.theta_to, right);
    shift_window(next.p_from, next.p_to, up);
    change(next, gesture);
}

void Editor::zoom(double factor, double across, double down, Gesture gesture) {
    Scene next = scene_;
    scale_window(next.theta_from, next.theta_to, factor, across);
    // The tile's rows count down from the window's top, p_to.
    scale_window(next.p_from, next.p_to, factor, 1 - down);
    change(next, gesture);
}

void Editor::step_window(int right, int up) {
    pan(right / 8.0, up / 8.0);
}

void Editor::zoom_in() {
    zoom(0.5, 0.5, 0.5);
}

void Editor::zoom_out() {
    zoom(2, 0.5, 0.5);
}

void Editor::whole_torus() {
    Scene next = scene_;
    next.theta_from = next.p_from = 0;
    next.theta_to = next.p_to = two_pi;
    change(next, Gesture::starts);
}

bool Editor::plant(Pixel pixel, int width, int height) {
    if (pixel.x < 0 || pixel.y < 0 || pixel.x >= width || pixel.y >= height) return false;
    if (static_cast<int>(scene_.orbits.size()) >= max_orbits) return false;
    Scene next = scene_;
    next.orbits.push_back(start_at(scene_, width, height, pixel));
    change(next, Gesture::starts);
    return true;
}

void Editor::reset() {
    change(start_, Gesture::starts);
}

bool Editor::undo() {
    if (undo_.empty()) return false;
    redo_.push_back(scene_);
    scene_ = undo_.back();
    undo_.pop_back();
    gesture_open_ = false;
    return true;
}

bool Editor::redo() {
    if (redo_.empty()) return false;
    undo_.push_back(scene_);
    scene_ = redo_.back();
    redo_.pop_back();
    gesture_open_ = false;
    return true;
}

} // namespace explore
