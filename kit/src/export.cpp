// Saving a show as images: the folder, the slide file names and the image format are decided
// here and nowhere else.
#include "kit/canvas.hpp"
#include "platform.hpp"
#include "png.hpp"
#include "runs.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace kit {
namespace {

// Makes the export folder (and its parents) and proves that a file can be created in it, so
// that a bad folder is reported before any drawing rather than after the first slide.
std::optional<std::string> prepare_export_dir(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) return "cannot create export folder " + dir + ": " + error.message();
    if (!std::filesystem::is_directory(dir, error))
        return "cannot use export folder " + dir + ": not a folder";
    std::string probe = dir + "/.figures-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) return "cannot write to export folder " + dir + ": " + std::strerror(errno);
    close(fd);
    std::remove(probe.c_str());
    return std::nullopt;
}

std::string slide_name(int slide) {
    char name[32];
    std::snprintf(name, sizeof name, "slide-%02d.png", slide);
    return name;
}

std::string slide_path(const std::string& dir, int slide) {
    return dir + "/" + slide_name(slide);
}

// The slide numbers above `count` whose files the folder holds: slides of a longer show exported
// there before, which would now pass for part of this one.
std::vector<int> slides_beyond(const std::string& dir, int count) {
    std::vector<int> found;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(dir, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.rfind("slide-", 0) != 0) continue;
        int slide = 0;
        std::from_chars(name.data() + 6, name.data() + name.size(), slide);
        if (slide > count && name == slide_name(slide)) found.push_back(slide);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// "slide-07.png to slide-13.png, slide-20.png": runs of consecutive slides as ranges.
std::string name_slides(const std::vector<int>& slides) {
    std::string text;
    for (size_t i = 0; i < slides.size();) {
        size_t last = i;
        while (last + 1 < slides.size() && slides[last + 1] == slides[last] + 1) ++last;
        if (!text.empty()) text += ", ";
        text += slide_name(slides[i]);
        if (last > i) text += (last == i + 1 ? ", " : " to ") + slide_name(slides[last]);
        i = last + 1;
    }
    return text;
}

} // namespace

int platform::export_slides(const Program& program, const std::string& dir,
                            std::optional<unsigned> seed) {
    if (auto error = prepare_export_dir(dir)) {
        std::fprintf(stderr, "%s: %s\n", program.name, error->c_str());
        return 1;
    }
    std::optional<unsigned> clock_seed;
    try {
        clock_seed = run_headless(
            program,
            [&](int slide) {
                if (auto error = write_png(slide_path(dir, slide), screen)) throw Failure(*error);
            },
            seed);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", program.name, failure.what());
        return 1;
    }
    const int count = slides_shown();
    std::printf("%s: %d %s written to %s", program.name, count, count == 1 ? "slide" : "slides",
                dir.c_str());
    if (clock_seed) std::printf(", seed %u", *clock_seed);
    std::printf("\n");
    std::fflush(stdout);
    // What was there stays: only the files of this show were asked to be replaced.
    if (const auto extra = slides_beyond(dir, count); !extra.empty())
        std::fprintf(stderr,
                     "%s: warning: %s also holds %s, which this export did not write (%s has %d "
                     "%s); they were left as they are\n",
                     program.name, dir.c_str(), name_slides(extra).c_str(), program.name, count,
                     count == 1 ? "slide" : "slides");
    return 0;
}

} // namespace kit
