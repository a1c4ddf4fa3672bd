// Helpers for drawing tests: a software screen, pixel snapshots, captured slides, planted tags
// that name their own position, PNG reading.
#pragma once

#include "kit/canvas.hpp"
#include "kit/program.hpp"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace test {

// Pixel words of the software screen (0x00RRGGBB), the layout slides are captured in.
inline constexpr Uint32 white = 0xffffff, red = 0xff0000, blue = 0x0000ff;

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
    Uint32& at(int x, int y) { return pixels[static_cast<size_t>(y) * w + x]; }
    bool operator==(const Picture&) const = default;
};

Picture snapshot();

// A copy of any 32-bit surface's pixels.
Picture copy_of(const SDL_Surface* surface);

// An 800x600 picture in one colour.
Picture blank(Uint32 colour = white);

// Runs a program headless and returns the screen as it stood at each slide.
std::vector<Picture> capture_slides(const kit::Program& program,
                                    std::optional<unsigned> seed = std::nullopt);

// The slides of one run with the given seed (without one: seed 1, the palette of a program that
// never seeds), captured once per test binary and kept.
const std::vector<Picture>& slides_of(const kit::Program& program,
                                      std::optional<unsigned> seed = std::nullopt);

// Passes when the program shows `count` slides, and a second run the same ones: the palette of a
// program that never seeds does not vary.
testing::AssertionResult same_slides_every_run(const kit::Program& program, size_t count);

// Passes when the pictures are equal; otherwise names the first differing pixel.
testing::AssertionResult same_picture(const Picture& actual, const Picture& expected);

// The pixels where two pictures differ (at most `limit` of them).
std::vector<std::pair<int, int>> differences(const Picture& a, const Picture& b, size_t limit = 10);

// Number of pixels of the given colour.
long count(const Picture& picture, Uint32 colour);

// The smallest box holding every pixel that is not `background` (x_max < x_min when none is).
struct Extent {
    int x_min = 1 << 30, x_max = -1, y_min = 1 << 30, y_max = -1;
    bool operator==(const Extent&) const = default;
};
Extent extent(const Picture& picture, Uint32 background = white);

// A rectangle of pixels, all four bounds inclusive.
struct Rect {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// What the steps of a slide script make of a picture, written out pixel by pixel with the rows
// and columns they keep, paint and copy, independently of the kit's mechanisms:
// - the four edges of `box` in `colour`;
Picture outlined(Picture picture, const Rect& box, Uint32 colour);
// - (a check) nothing but the tile box's outline on white;
testing::AssertionResult only_box(const Picture& picture, const Rect& box, Uint32 colour);
// - the white pixels of `area` repainted: left of column `split` in `left`, from it in `right`;
Picture filled(Picture picture, const Rect& area, int split, Uint32 left, Uint32 right);
// - every pixel of the 640 x 480 area outside `kept` white;
Picture masked(Picture picture, const Rect& kept);
// - rows top..bottom repeating the tile that starts at column `left` every `period` columns.
Picture replicated(Picture picture, int left, int top, int bottom, int period);

// Passes when `after` differs from `before` only inside `area`, in more than `at_least` pixels.
testing::AssertionResult changed_within(const Picture& before, const Picture& after,
                                        const Rect& area, long at_least);

// Passes when rows top..bottom repeat every `period` columns from column `left` and everything
// outside them is white: the whole picture is one strip of tiles.
testing::AssertionResult one_strip(const Picture& picture, int left, int top, int bottom,
                                   int period);

// The course figure2 and figure3 share: fifteen slides, the same on every run, over three tiles
// at columns 20..270 with bottom rows 138, 268 and 368. Each tile starts as its empty red box
// (slides 1, 7, 12), its portrait lands next (slides 2, 8, 13) within columns 20..last_column and
// rows top..bottom, and it ends as a strip of period 250 (slides 6, 11, 15). Reports every
// difference as a test failure.
struct PortraitArea {
    int last_column, top, bottom;
};
void expect_three_tile_course(const kit::Program& program,
                              const std::array<PortraitArea, 3>& portraits);

// Where a portrait lands: plotted alone on a white screen whose palette entry i is a colour of
// its own, the box its dots fill and the first and last palette entries they use.
struct Reach {
    Extent area;
    int first_entry = 256, last_entry = -1;
    bool operator==(const Reach&) const = default;
};
Reach reach_of(const kit::OrbitRow& row);
void PrintTo(const Reach& reach, std::ostream* out);

// A colour that names its own position, for following where a remap copies from.
constexpr Uint32 tag(int x, int y) {
    return static_cast<Uint32>(0x10000000 | x << 12 | y);
}
constexpr int tag_column(Uint32 c) {
    return static_cast<int>(c >> 12 & 0xfff);
}
constexpr int tag_row(Uint32 c) {
    return static_cast<int>(c & 0xfff);
}

// Paints every pixel of the screen with its own tag.
void plant_tags();

// A software screen whose every pixel names its own position, with the tile placed.
struct TaggedTile : SoftwareScreen {
    TaggedTile(int left, int base, double width);
};

// Reads an 8-bit PNG as 0x00RRGGBB words (the software screen's layout).
std::optional<Picture> read_png(const std::string& path);

// A text chunk as stored in a PNG: tEXt, zTXt, or iTXt plain or compressed.
enum class TextChunk { tEXt, zTXt, iTXt, iTXt_compressed };
struct StoredText {
    TextChunk chunk;
    std::string keyword, text;
};
// Writes a 1x1 PNG at `path` with these chunks, in this order, before its image data; unlike
// libpng's writer, it writes a NUL in a text as it is. False when the file cannot be written.
bool write_png_texts(const std::string& path, const std::vector<StoredText>& texts);

// A program's show in a window of SDL's dummy video driver, on a thread of its own, so that the
// test can send it events. However the test ends, a failed assertion included, the show is
// driven to its end by key presses and its thread joined.
struct WindowShow {
    std::atomic<int> status{-1}; // the show's exit status once it has ended
    explicit WindowShow(const kit::Program& program);
    ~WindowShow();
    WindowShow(const WindowShow&) = delete;
    WindowShow& operator=(const WindowShow&) = delete;
    // Waits for the show to end by itself; returns its exit status.
    int finish();

  private:
    std::thread thread_;
};

// Waits until the running show has shown `slide` (false after 20 seconds without).
bool wait_until_slide(int slide);

// Puts the event into SDL's queue, offering it again while the queue (128 events) is full.
// Returns how many offers were refused.
long send(SDL_Event event);

// A key press (SDL_KEYDOWN) or release (SDL_KEYUP) of the space bar, or of `sym`.
SDL_Event key(Uint8 type, SDLKey sym = SDLK_SPACE, SDLMod modifiers = KMOD_NONE);

// A folder of the test's own under /tmp, removed with everything in it when the test ends.
struct TemporaryFolder {
    std::string path;
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
};

} // namespace test
