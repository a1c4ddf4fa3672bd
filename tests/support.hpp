// Helpers for drawing tests: a software screen, pixel snapshots, captured slides, PNG reading.
#pragma once

#include "kit/canvas.hpp"
#include "kit/program.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test {

// Installs an 800x600 software screen (white) with the named colours of the four-colour
// programs, and removes it again at the end of the test.
struct SoftwareScreen {
    SoftwareScreen();
    ~SoftwareScreen();
    SoftwareScreen(const SoftwareScreen&) = delete;
    SoftwareScreen& operator=(const SoftwareScreen&) = delete;
};

// A copy of the screen's pixels, row by row.
struct Picture {
    int w = 0, h = 0;
    std::vector<Uint32> pixels;
    Uint32 at(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }
    bool operator==(const Picture&) const = default;
};

Picture snapshot();

// Runs a program headless and returns the screen as it stood at each slide.
std::vector<Picture> capture_slides(const kit::Program& program,
                                    std::optional<unsigned> seed = std::nullopt);

// Reads an 8-bit PNG as 0x00RRGGBB words (the software screen's layout).
std::optional<Picture> read_png(const std::string& path);

// The pixels where two pictures differ (at most `limit` of them).
std::vector<std::pair<int, int>> differences(const Picture& a, const Picture& b, size_t limit = 10);

// Number of pixels of the given colour.
long count(const Picture& picture, Uint32 colour);

} // namespace test
