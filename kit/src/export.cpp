// Saving a show as images: the folder, the slide file names and the image format are decided
// here and nowhere else.
#include "kit/canvas.hpp"
#include "platform.hpp"
#include "png.hpp"
#include "runs.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

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

std::string slide_path(const std::string& dir, int slide) {
    char name[32];
    std::snprintf(name, sizeof name, "slide-%02d.png", slide);
    return dir + "/" + name;
}

} // namespace

int platform::export_slides(const Program& program, const std::string& dir,
                            std::optional<unsigned> seed) {
    if (auto error = prepare_export_dir(dir)) {
        std::fprintf(stderr, "%s: %s\n", program.name, error->c_str());
        return 1;
    }
    try {
        run_headless(
            program,
            [&](int slide) {
                if (auto error = write_png(slide_path(dir, slide), screen)) throw Failure(*error);
            },
            seed);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", program.name, failure.what());
        return 1;
    }
    return 0;
}

} // namespace kit
