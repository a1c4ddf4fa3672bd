// Saving a show as images: the folder, the slide file names and the image format are decided
// here and nowhere else.
#include "export.hpp"

#include "kit/files.hpp"

#include "command_line.hpp"
#include "kit/canvas.hpp"
#include "kit/pacing.hpp"
#include "runs.hpp"
#include "slide_texts.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

namespace kit {
namespace {

// The temporary file being written, for the signal handlers: a handler may not allocate, so the
// name sits in a fixed buffer, relative to the folder's descriptor (never re-resolved through a
// path someone may have moved). `pending_folder` is that descriptor while the file exists under
// that name, -1 otherwise.
char pending_name[NAME_MAX + 1];
volatile sig_atomic_t pending_folder = -1;

extern "C" void remove_pending_and_stop(int signal) {
    if (pending_folder >= 0) unlinkat(pending_folder, pending_name, 0);
    // Then what the signal did before: end the program, with the signal's status.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal, &default_action, nullptr);
    raise(signal);
}

// Whether the signal's default action ends the process; SIGXFSZ is ignored instead.
bool ends_the_process(int signal) {
    switch (signal) {
    case SIGKILL:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU: // clang-format off
    case SIGCHLD: case SIGCONT: case SIGURG: case SIGWINCH: case SIGXFSZ: // clang-format on
        return false;
    default:
        return true;
    }
}

// Blocks every signal for as long as it lives, so that creating or renaming the temporary file
// and recording it happen as one step for the handlers.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &saved_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t saved_;
};

constexpr std::string_view temporary_suffix = ".part";

// Creates ".NAME.PID.N.part" in the folder, a name that did not exist before (O_EXCL: an existing
// name, or a link planted under it, fails and the next name is tried), and records it for the
// signal handlers. Returns its descriptor, or -1 with errno set.
int create_temporary(int folder, std::string_view name, std::string& temporary) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary.assign(1, '.');
        temporary.append(name).append(".").append(std::to_string(getpid()));
        temporary.append(".").append(std::to_string(++serial)).append(temporary_suffix);
        if (temporary.size() > NAME_MAX) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const SignalsHeld held;
        const int fd = openat(folder, temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            std::memcpy(pending_name, temporary.c_str(), temporary.size() + 1);
            pending_folder = folder;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// Removes the temporary file again, as one step with forgetting it.
void discard_temporary(int folder, const std::string& temporary) {
    const SignalsHeld held;
    unlinkat(folder, temporary.c_str(), 0);
    pending_folder = -1;
}

// Gives the complete temporary file its final name, never replacing a file there. Where the
// filesystem cannot rename that way, a hard link does the same (it fails on an existing name).
int place_new(int folder, const std::string& temporary, std::string_view name) {
    const std::string final_name(name);
    if (renameat2(folder, temporary.c_str(), folder, final_name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -1;
    if (linkat(folder, temporary.c_str(), folder, final_name.c_str(), 0) != 0) return -1;
    unlinkat(folder, temporary.c_str(), 0);
    return 0;
}

WriteFailure failure_of(int code) {
    return {.code = code, .reason = std::strerror(code)};
}

// "slide-07.png" for slide 7.
std::string slide_name(int slide) {
    char name[32];
    std::snprintf(name, sizeof name, "slide-%02d.png", slide);
    return name;
}

// The slide number of a name of slide_name's form, or 0.
int slide_number(std::string_view name) {
    if (!name.starts_with("slide-") || !name.ends_with(".png") || name.size() < 12) return 0;
    int slide = 0;
    for (char c : name.substr(6, name.size() - 10)) {
        if (c < '0' || c > '9' || slide > 100000) return 0;
        slide = slide * 10 + (c - '0');
    }
    return name == slide_name(slide) ? slide : 0;
}

bool is_slide_name(std::string_view name) {
    return slide_number(name) > 0;
}

// The file names in the folder, read through its descriptor.
std::vector<std::string> names_in(int folder) {
    std::vector<std::string> names;
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return names;
    DIR* listing = fdopendir(fd);
    if (!listing) {
        close(fd);
        return names;
    }
    while (const dirent* entry = readdir(listing)) names.emplace_back(entry->d_name);
    closedir(listing);
    return names;
}

// The slide numbers above `count` whose files the folder holds: slides of a longer show exported
// there before, which would now pass for part of this one.
std::vector<int> slides_beyond(const std::vector<std::string>& names, int count) {
    std::vector<int> found;
    for (const std::string& name : names)
        if (const int slide = slide_number(name); slide > count) found.push_back(slide);
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

// How long an export waits for another one into the same folder before it gives up: longer than
// any of the programs takes to export (well under a second, several under the sanitizers), short
// enough for someone at the terminal.
constexpr auto lock_wait = std::chrono::seconds(5);

} // namespace

TemporaryFileGuard::TemporaryFileGuard() {
    struct sigaction cleanup {};
    cleanup.sa_handler = remove_pending_and_stop;
    sigfillset(&cleanup.sa_mask);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        // Some numbers are the C library's own (its threads' signals): they refuse to be read.
        if (sigaction(signal, nullptr, &saved_[signal]) != 0) continue;
        if ((saved_[signal].sa_flags & SA_SIGINFO) || saved_[signal].sa_handler != SIG_DFL)
            continue;
        if (signal == SIGXFSZ)
            changed_[signal] = sigaction(signal, &ignore, nullptr) == 0;
        else if (ends_the_process(signal))
            changed_[signal] = sigaction(signal, &cleanup, nullptr) == 0;
    }
}

TemporaryFileGuard::~TemporaryFileGuard() {
    for (int signal = 1; signal < NSIG; ++signal)
        if (changed_[signal]) sigaction(signal, &saved_[signal], nullptr);
}

std::optional<WriteFailure> write_png_file(int folder, std::string_view name, const Image& image,
                                           std::span<const PngText> texts, Replace replace) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != name.npos ||
        name.find('\0') != name.npos)
        return WriteFailure{.code = EINVAL, .reason = "not a plain file name"};
    std::string temporary;
    errno = 0;
    const int fd = create_temporary(folder, name, temporary);
    if (fd < 0) return failure_of(errno ? errno : EEXIST);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int reason = errno;
        close(fd);
        discard_temporary(folder, temporary);
        return failure_of(reason);
    }
    auto error = write_png(file, image, texts);
    // The data reaches the disk (or fails to, on a full one) at the flush and the sync; a file
    // renamed before it is on the disk may be empty there after a power loss.
    errno = 0;
    const bool flushed =
        !error && std::fflush(file) == 0 && !std::ferror(file) && fsync(fileno(file)) == 0;
    const int flush_errno = errno;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    const int close_errno = errno;
    if (error || !flushed || !closed) {
        discard_temporary(folder, temporary);
        if (error) return WriteFailure{.code = EIO, .reason = *error};
        return failure_of(!flushed ? flush_errno : close_errno);
    }
    const SignalsHeld held;
    const int placed = replace == Replace::existing
                           ? renameat(folder, temporary.c_str(), folder, std::string(name).c_str())
                           : place_new(folder, temporary, name);
    const int reason = errno;
    if (placed != 0) unlinkat(folder, temporary.c_str(), 0);
    pending_folder = -1;
    if (placed != 0) return failure_of(reason);
    return std::nullopt;
}

std::optional<WriteFailure> sync_folder(int folder) {
    // Some filesystems cannot sync a folder (EINVAL): there is nothing more to do on them.
    if (fsync(folder) != 0 && errno != EINVAL) return failure_of(errno);
    return std::nullopt;
}

namespace {

// Removes the temporary files of write_png_file's pattern for final names that `is_ours` accepts.
void remove_stale_temporaries(int folder, bool (*is_ours)(std::string_view name)) {
    for (const std::string& entry : names_in(folder)) {
        // ".NAME.PID.N.part": take off the suffix and the two numbers, then ask about NAME.
        std::string_view rest = entry;
        if (!rest.starts_with('.') || !rest.ends_with(temporary_suffix)) continue;
        rest = rest.substr(1, rest.size() - 1 - temporary_suffix.size());
        bool numbers = true;
        for (int i = 0; i < 2 && numbers; ++i) {
            const size_t dot = rest.rfind('.');
            numbers = dot != rest.npos && dot + 1 < rest.size() &&
                      rest.find_first_not_of("0123456789", dot + 1) == rest.npos;
            if (numbers) rest = rest.substr(0, dot);
        }
        if (numbers && is_ours(rest)) unlinkat(folder, entry.c_str(), 0);
    }
}

} // namespace

ExportFolder::~ExportFolder() {
    if (fd_ >= 0) close(fd_);
}

std::optional<std::string> ExportFolder::open(const std::string& path, const char* program,
                                              bool (*is_ours)(std::string_view name),
                                              std::string_view longest) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        const int reason = errno;
        if (reason == ENOTDIR && !error)
            return "cannot use export folder " + shown(path) + ": not a folder";
        return "cannot create export folder " + shown(path) + ": " +
               (error ? error.message() : std::strerror(reason));
    }
    const auto deadline = std::chrono::steady_clock::now() + lock_wait;
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (const int reason = errno; reason != EWOULDBLOCK) {
            std::fprintf(stderr,
                         "%s: warning: cannot lock export folder %s (%s); an export into it at "
                         "the same time could mix its files with these\n",
                         program, shown(path).c_str(), std::strerror(reason));
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return "export folder " + shown(path) + " is still in use by another export after " +
                   std::to_string(lock_wait.count()) +
                   " s: let it finish, or choose another folder";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    remove_stale_temporaries(fd_, is_ours);
    std::string probe;
    const int fd = create_temporary(fd_, longest, probe);
    if (fd < 0) {
        const int reason = errno;
        return "cannot write to export folder " + shown(path) + ": " + std::strerror(reason);
    }
    close(fd);
    discard_temporary(fd_, probe);
    return std::nullopt;
}

std::vector<std::string> ExportFolder::names() const {
    return names_in(fd_);
}

std::optional<std::string> write_png_at(const std::string& path, const Image& image,
                                        std::span<const PngText> texts) {
    const std::filesystem::path target(path);
    const std::string folder_path = target.has_parent_path() ? target.parent_path().string() : ".";
    std::optional<WriteFailure> failure;
    const int folder = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        failure = failure_of(errno);
    } else {
        failure =
            write_png_file(folder, target.filename().string(), image, texts, Replace::existing);
        close(folder);
    }
    if (failure) return "cannot write " + shown(path) + ": " + failure->reason;
    return std::nullopt;
}

std::optional<WriteFailure> write_bytes_file(int folder, std::string_view name,
                                             std::string_view bytes, Replace replace) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != name.npos ||
        name.find('\0') != name.npos)
        return WriteFailure{.code = EINVAL, .reason = "not a plain file name"};
    std::string temporary;
    errno = 0;
    const int fd = create_temporary(folder, name, temporary);
    if (fd < 0) return failure_of(errno ? errno : EEXIST);
    // The whole, however many writes it takes; then on the disk before the rename.
    int reason = 0;
    for (std::size_t done = 0; done < bytes.size() && reason == 0;) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            reason = errno;
    }
    if (reason == 0 && fsync(fd) != 0) reason = errno;
    if (close(fd) != 0 && reason == 0) reason = errno;
    if (reason != 0) {
        discard_temporary(folder, temporary);
        return failure_of(reason);
    }
    const SignalsHeld held;
    const int placed = replace == Replace::existing
                           ? renameat(folder, temporary.c_str(), folder, std::string(name).c_str())
                           : place_new(folder, temporary, name);
    reason = errno;
    if (placed != 0) unlinkat(folder, temporary.c_str(), 0);
    pending_folder = -1;
    if (placed != 0) return failure_of(reason);
    return std::nullopt;
}

std::optional<std::string> write_bytes_at(const std::string& path, std::string_view bytes) {
    const std::filesystem::path target(path);
    const std::string folder_path = target.has_parent_path() ? target.parent_path().string() : ".";
    std::optional<WriteFailure> failure;
    const int folder = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        failure = failure_of(errno);
    } else {
        failure = write_bytes_file(folder, target.filename().string(), bytes, Replace::existing);
        close(folder);
    }
    if (failure) return "cannot write " + shown(path) + ": " + failure->reason;
    return std::nullopt;
}

int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed) {
    // From the start: a signal that arrives while the folder is probed removes the probe too.
    const TemporaryFileGuard guard;
    auto fail = [&](const std::string& message) {
        std::fprintf(stderr, "%s: %s\n", program.name, message.c_str());
        return 1;
    };
    // The longest name the export writes is the last slide's.
    ExportFolder folder;
    if (auto error = folder.open(dir, program.name, is_slide_name, slide_name(program.slide_count)))
        return fail(*error);
    // The seed is decided here, not by the run, so that the first slide's file can carry it.
    // A program that never seeds draws the palette of seed 1.
    std::optional<unsigned> palette_seed = seed;
    bool clock_chose = false;
    if (program.uses_palette && !seed) {
        clock_chose = program.seeds_from_clock;
        palette_seed = clock_chose ? static_cast<unsigned>(std::time(nullptr)) : 1;
    }
    const std::string shown_dir = shown(dir);
    try {
        run_headless(
            program,
            [&](int slide) {
                const std::string name = slide_name(slide);
                const auto texts =
                    slide_texts(program, slide, program.uses_palette ? palette_seed : seed);
                if (auto failure = write_png_file(folder.descriptor(), name, screen_image(), texts,
                                                  Replace::existing))
                    throw Failure("cannot write " + shown_dir + "/" + name + ": " +
                                  failure->reason);
            },
            clock_chose ? palette_seed : seed);
    } catch (const Failure& failure) {
        return fail(failure.what());
    }
    if (auto failure = sync_folder(folder.descriptor()))
        return fail("cannot flush export folder " + shown_dir + " to disk: " + failure->reason);
    const int count = slides_shown();
    std::string line = std::string(program.name) + ": " + std::to_string(count) +
                       (count == 1 ? " slide" : " slides") + " written to " + shown(dir, PATH_MAX);
    const std::string seed_part = clock_chose ? ", seed " + std::to_string(*palette_seed) : "";
    line += seed_part + "\n";
    // The line is the only record of a seed the clock chose: one that does not arrive is a
    // failure, though the slides stay.
    errno = 0;
    int status = 0;
    if (std::fputs(line.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        const int reason = errno;
        std::fprintf(stderr,
                     "%s: the slides are written to %s%s, but the line saying so cannot be: %s\n",
                     program.name, shown_dir.c_str(), seed_part.c_str(),
                     reason ? std::strerror(reason) : "output error");
        status = 1;
    }
    // What was there stays: only the files of this show were asked to be replaced.
    if (const auto extra = slides_beyond(folder.names(), count); !extra.empty())
        std::fprintf(stderr,
                     "%s: warning: %s also holds %s, which this export did not write (%s has %d "
                     "%s); they were left as they are\n",
                     program.name, shown_dir.c_str(), name_slides(extra).c_str(), program.name,
                     count, count == 1 ? "slide" : "slides");
    return status;
}

} // namespace kit
