// Saving a show as images: the folder, the slide file names and the image format are decided
// here and nowhere else.
#include "export.hpp"

#include "kit/canvas.hpp"
#include "kit/pacing.hpp"
#include "png.hpp"
#include "runs.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kit {
namespace {

// The temporary file being written, for the signal handlers: a handler may not allocate, so the
// name sits in a fixed buffer. `pending` is set only while the file exists under that name.
char pending_name[4096];
volatile sig_atomic_t pending = 0;

constexpr std::array cleanup_signals{SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

extern "C" void remove_pending_and_stop(int signal) {
    if (pending) unlink(pending_name);
    // Then what the signal did before: end the program, with the signal's status.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal, &default_action, nullptr);
    raise(signal);
}

// Blocks the cleanup signals for as long as it lives, so that creating or renaming the
// temporary file and recording it happen as one step for the handlers.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : cleanup_signals) sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &saved_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t saved_;
};

// Creates a temporary file beside `path` that did not exist before (O_EXCL: an existing name,
// or a link planted under it, fails and the next name is tried) and records it for the signal
// handlers. Returns its descriptor, or -1 with errno set.
int create_temporary(const std::string& path, std::string& name) {
    const std::filesystem::path target(path);
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/." + target.filename().string() + "." + std::to_string(getpid()) + "." +
               std::to_string(++serial) + ".part";
        if (name.size() >= sizeof pending_name) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const SignalsHeld held;
        const int fd =
            open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            std::memcpy(pending_name, name.c_str(), name.size() + 1);
            pending = 1;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

void forget_temporary() {
    pending = 0;
}

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

static_assert(std::size(cleanup_signals) == 4, "one saved action a signal");

TemporaryFileGuard::TemporaryFileGuard() {
    for (size_t i = 0; i < cleanup_signals.size(); ++i) {
        sigaction(cleanup_signals[i], nullptr, &saved_[i]);
        if (saved_[i].sa_handler == SIG_IGN) continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = remove_pending_and_stop;
        sigemptyset(&cleanup.sa_mask);
        for (int other : cleanup_signals) sigaddset(&cleanup.sa_mask, other);
        sigaction(cleanup_signals[i], &cleanup, nullptr);
    }
}

TemporaryFileGuard::~TemporaryFileGuard() {
    for (size_t i = 0; i < cleanup_signals.size(); ++i)
        sigaction(cleanup_signals[i], &saved_[i], nullptr);
}

std::optional<std::string> write_slide(const std::string& path, SDL_Surface* surface) {
    std::string temporary;
    auto fail = [&](const std::string& reason) {
        if (!temporary.empty()) {
            const SignalsHeld held;
            unlink(temporary.c_str());
            forget_temporary();
        }
        return "cannot write " + path + ": " + reason;
    };
    errno = 0;
    const int fd = create_temporary(path, temporary);
    if (fd < 0) {
        const int reason = errno;
        temporary.clear();
        return fail(std::strerror(reason));
    }
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int reason = errno;
        close(fd);
        return fail(std::strerror(reason));
    }
    auto error = write_png(file, surface);
    // The data reaches the disk (or fails to, on a full one) only at the flush.
    errno = 0;
    const bool flushed = !error && std::fflush(file) == 0 && !std::ferror(file);
    const int flush_errno = errno;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (error) return fail(*error);
    if (!flushed || !closed) return fail(std::strerror(flushed ? errno : flush_errno));
    {
        const SignalsHeld held;
        if (std::rename(temporary.c_str(), path.c_str()) != 0) {
            const int reason = errno;
            unlink(temporary.c_str());
            forget_temporary();
            return "cannot write " + path + ": " + std::strerror(reason);
        }
        forget_temporary();
    }
    return std::nullopt;
}

int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed) {
    if (auto error = prepare_export_dir(dir)) {
        std::fprintf(stderr, "%s: %s\n", program.name, error->c_str());
        return 1;
    }
    const TemporaryFileGuard guard;
    std::optional<unsigned> clock_seed;
    try {
        clock_seed = run_headless(
            program,
            [&](int slide) {
                if (auto error = write_slide(slide_path(dir, slide), screen)) throw Failure(*error);
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
