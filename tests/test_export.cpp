// --export as a whole: the folder made, one PNG a slide under the slide's name, each the picture
// the slide showed, nothing else written.
#include "command_line.hpp"
#include "kit/canvas.hpp"
#include "kit/files.hpp"
#include "kit/pacing.hpp"
#include "kit/program.hpp"
#include "png.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Twelve slides, each a few palette colours on white, so a seed shows in every file and a slide
// written under another slide's name does too.
void palette_slides() {
    kit::set_up_canvas({.white = {255, 255, 255}});
    for (int slide = 1; slide <= 12; ++slide) {
        for (int x = 0; x < 40 * slide; ++x) kit::put_pixel(x, slide, kit::palette[x % 256]);
        kit::show_slide();
    }
}

const char* const captions[12] = {"one",   "two",   "three", "four", "five",   "six",
                                  "seven", "eight", "nine",  "ten",  "eleven", "twelve"};

const kit::Program program{.name = "palette",
                           .slide_count = 12,
                           .captions = captions,
                           .seeds_from_clock = true,
                           .script = palette_slides};

TEST(Export, OneFilePerSlideAsShown) {
    const test::TemporaryFolder folder;
    const std::string dir = folder.path + "/made/for/it";
    std::vector<std::string> args{"palette", "--export", dir, "--seed", "7"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    ASSERT_EQ(kit::run(static_cast<int>(argv.size()), argv.data(), program), 0);

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    const auto slides = test::capture_slides(program, 7);
    ASSERT_EQ(files.size(), slides.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i], (i < 9 ? "slide-0" : "slide-") + std::to_string(i + 1) + ".png");
        const auto picture = test::read_png(dir + "/" + files[i]);
        ASSERT_TRUE(picture.has_value()) << files[i];
        EXPECT_TRUE(test::same_picture(*picture, slides[i])) << files[i];
        // Each file says what made it, which slide it is, what it shows and the seed of its
        // colours.
        std::string error;
        const auto texts = kit::read_png_texts(dir + "/" + files[i], error);
        ASSERT_TRUE(texts.has_value()) << files[i] << ": " << error;
        const std::string software = kit::version_line(program);
        EXPECT_EQ(*texts,
                  (std::vector<kit::PngText>{{"Software", software.substr(0, software.size() - 1)},
                                             {"Program", "palette"},
                                             {"Slide", std::to_string(i + 1)},
                                             {"Description", captions[i]},
                                             {"Seed", "7"}}));
    }
}

// Three slides of more than 256 colours (written as RGB, the pixels handed to the writing thread
// whole), between palette slides: each file is its own slide's picture.
void many_colour_slides() {
    kit::set_up_canvas({.white = {255, 255, 255}});
    for (int slide = 1; slide <= 5; ++slide) {
        const int colours = slide % 2 == 0 ? 40 : 300 * slide;
        for (int i = 0; i < colours; ++i)
            kit::put_pixel(i % 800, i / 800 + slide,
                           kit::map_rgb(static_cast<Uint8>(i), static_cast<Uint8>(i >> 8),
                                        static_cast<Uint8>(slide * 40)));
        kit::show_slide();
    }
}

const kit::Program many_colours{.name = "colours", .slide_count = 5, .script = many_colour_slides};

TEST(Export, SlidesOfManyColoursAsShown) {
    const test::TemporaryFolder folder;
    std::vector<std::string> args{"colours", "--export", folder.path};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    ASSERT_EQ(kit::run(static_cast<int>(argv.size()), argv.data(), many_colours), 0);
    const auto slides = test::capture_slides(many_colours, std::nullopt);
    ASSERT_EQ(slides.size(), 5u);
    for (int slide = 1; slide <= 5; ++slide) {
        const auto picture =
            test::read_png(folder.path + "/slide-0" + std::to_string(slide) + ".png");
        ASSERT_TRUE(picture.has_value()) << slide;
        EXPECT_TRUE(test::same_picture(*picture, slides[slide - 1])) << "slide " << slide;
    }
}

std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const kit::PixelBuffer& small_picture() {
    static kit::PixelBuffer picture = [] {
        kit::PixelBuffer buffer;
        EXPECT_TRUE(buffer.resize(4, 4));
        return buffer;
    }();
    return picture;
}

// A name as long as a file name may be is written: its temporary name beside it, which carries
// more, is cut to fit, and nothing else is left.
// The files of a series a message names: runs of three or more as ranges, in order whatever
// order they were found in.
TEST(Files, NumbersNamedInRuns) {
    const auto name = [](int n) { return std::string("f").append(std::to_string(n)); };
    EXPECT_EQ(kit::named_runs({20, 9, 7, 8, 13, 12}, name), "f7 to f9, f12, f13, f20");
    EXPECT_EQ(kit::named_runs({}, name), "");
}

TEST(Files, NameOfTheLongestLength) {
    const test::TemporaryFolder folder;
    const std::string name = std::string(NAME_MAX - 4, 'n') + ".png";
    EXPECT_EQ(kit::write_png_at(folder.path + "/" + name, small_picture().image()), std::nullopt);
    EXPECT_EQ(names_in(folder.path), std::vector<std::string>{name});
}

// What a killed run left for a name is removed by the next write of it: the temporary files
// whose process is gone and whose lock is free. One that a process still holds locked (ours,
// open here), one of a process that runs (PID 1), a link under such a name, and those of
// other names stay.
TEST(Files, AbandonedTemporariesAlone) {
    const test::TemporaryFolder folder;
    const std::string dir = folder.path + "/";
    const std::string dead = ".a.png.4999999.1.part",
                      ours = ".a.png." + std::to_string(getpid()) + ".900.part",
                      running = ".a.png.1.2.part", link = ".a.png.4999998.3.part",
                      other = ".b.png.4999999.4.part",
                      unlocked_ours = ".a.png." + std::to_string(getpid()) + ".901.part";
    for (const std::string& file : {dead, ours, running, other, unlocked_ours})
        std::ofstream(dir + file) << "part";
    std::filesystem::create_symlink(dir + "elsewhere", dir + link);
    const int held = open((dir + ours).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(kit::write_png_at(dir + "a.png", small_picture().image()), std::nullopt);
    close(held);
    std::vector<std::string> expected{ours, running, link, other, "a.png"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names_in(folder.path), expected);
}

} // namespace
