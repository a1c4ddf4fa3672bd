// Saving a show as images: the folder, the slide file names and the image format are decided
// here and nowhere else.
#include "export.hpp"

#include "kit/files.hpp"

#include "png.hpp"

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
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace kit {
namespace {

// The temporary files that exist now, for the signal handlers: a handler may not allocate, so
// each name sits in a fixed slot, relative to its folder's descriptor (never re-resolved through
// a path someone may have moved). A slot's `folder` is that descriptor while the file exists
// under that name, -1 otherwise. An export encodes one picture on a thread of its own while the
// next one draws, so a few files can be pending at once.
struct PendingFile {
    char name[NAME_MAX + 1];
    std::atomic<int> folder{-1};
};
constexpr int pending_slots = 64;
PendingFile pending[pending_slots];
std::mutex slots_mutex; // taken to claim or release a slot, never by a handler
bool slot_used[pending_slots];
// A thread that creates files is never interrupted by a handler between creating one and
// recording it (the main thread holds the signals meanwhile, the others block them for good);
// a handler that runs on another thread meanwhile waits for the record (`creating`), and
// `stopping` keeps every thread from creating a file after the handler looked.
std::atomic<int> creating{0};
std::atomic<int> stopping{0};
// What the handler says before the program ends ("PROGRAM: stopped by ..."), or empty.
char stop_program[64];

void say(const char* text) {
    if (write(STDERR_FILENO, text, std::strlen(text)) < 0) return;
}

extern "C" void remove_pending_and_stop(int signal) {
    stopping.store(1);
    while (creating.load() > 0) sched_yield();
    for (PendingFile& file : pending)
        if (const int folder = file.folder.load(); folder >= 0) unlinkat(folder, file.name, 0);
    // A reader of standard output that went away (SIGPIPE) is no news to anyone.
    if (stop_program[0] && signal != SIGPIPE) {
        // On a terminal, over a progress line that may stand there.
        if (isatty(STDERR_FILENO)) say("\r\033[K");
        say(stop_program);
        say(signal == SIGINT    ? ": interrupted"
            : signal == SIGTERM ? ": terminated"
                                : ": stopped by a signal");
        say("; what was being written was removed, what was complete stays\n");
    }
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
        pthread_sigmask(SIG_BLOCK, &all, &saved_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t saved_;
};

constexpr std::string_view temporary_suffix = ".part";

// The part of a temporary name that stands for the final name: the name itself, or, where the
// whole temporary name would not fit in NAME_MAX, its first bytes (whole UTF-8 characters) and
// '~'. The rest is ".", ".PID", ".N" and the suffix, the numbers at most 10 digits each.
std::string temporary_stem(std::string_view name) {
    constexpr size_t room = NAME_MAX - (1 + 11 + 11 + temporary_suffix.size());
    if (name.size() <= room) return std::string(name);
    size_t cut = room - 1;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80) --cut;
    return std::string(name.substr(0, cut)) + "~";
}

// Reads ".STEM.PID.N.part" into its stem and PID; false for a name of another form.
bool parse_temporary(std::string_view entry, std::string_view& stem, long& pid) {
    if (!entry.starts_with('.') || !entry.ends_with(temporary_suffix)) return false;
    std::string_view rest = entry.substr(1, entry.size() - 1 - temporary_suffix.size());
    std::string_view numbers[2];
    for (std::string_view& number : numbers) {
        const size_t dot = rest.rfind('.');
        if (dot == rest.npos || dot + 1 == rest.size() || rest.size() - dot > 11 ||
            rest.find_first_not_of("0123456789", dot + 1) != rest.npos)
            return false;
        number = rest.substr(dot + 1);
        rest = rest.substr(0, dot);
    }
    pid = std::stol(std::string(numbers[1]));
    stem = rest;
    return !stem.empty();
}

// Removes the temporary file `entry` of a run of PID `pid` if that run is gone: no process of
// that PID runs (ours aside: a file of our own PID that we are not writing is an earlier
// process's), and no one holds the lock every writer keeps on its temporary file while it
// writes. A link, or anything but a regular file, under such a name stays.
bool remove_if_abandoned(int folder, const std::string& entry, long pid) {
    if (pid != getpid() && pid > 0 && pid <= INT_MAX &&
        (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
        return false;
    const int fd =
        openat(folder, entry.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool removed = false;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        (flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK))
        removed = unlinkat(folder, entry.c_str(), 0) == 0;
    close(fd);
    return removed;
}

// Claims a free slot of `pending`, or returns -1 when all are taken.
int claim_slot() {
    const std::lock_guard lock(slots_mutex);
    for (int i = 0; i < pending_slots; ++i)
        if (!slot_used[i]) {
            slot_used[i] = true;
            return i;
        }
    return -1;
}

void release_slot(int slot) {
    pending[slot].folder.store(-1);
    const std::lock_guard lock(slots_mutex);
    slot_used[slot] = false;
}

// A temporary file being written: its descriptor (locked for as long as it is open), its name
// and its slot among the pending files.
struct Temporary {
    int fd = -1;
    std::FILE* file = nullptr; // the stream over fd, once the contents are being written
    int slot = -1;
    std::string name;
};

// Creates ".STEM.PID.N.part" in the folder, a name that did not exist before (O_EXCL: an existing
// name, or a link planted under it, fails and the next name is tried), locks it, and records it
// for the signal handlers. Returns false with errno set.
bool create_temporary(int folder, std::string_view name, Temporary& temporary) {
    static std::atomic<unsigned> serial{0};
    const std::string stem = temporary_stem(name);
    temporary.slot = claim_slot();
    if (temporary.slot < 0) {
        errno = EMFILE;
        return false;
    }
    PendingFile& slot = pending[temporary.slot];
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary.name = "." + stem + "." + std::to_string(getpid()) + "." +
                         std::to_string(++serial) + std::string(temporary_suffix);
        const SignalsHeld held;
        creating.fetch_add(1);
        if (stopping.load()) {
            // A handler is removing the files and ending the program: this one is not made.
            creating.fetch_sub(1);
            for (;;) pause();
        }
        const int fd = openat(folder, temporary.name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        const int reason = errno;
        if (fd >= 0) {
            std::memcpy(slot.name, temporary.name.c_str(), temporary.name.size() + 1);
            slot.folder.store(folder);
        }
        creating.fetch_sub(1);
        if (fd >= 0) {
            // A new file: no one else can hold its lock yet.
            flock(fd, LOCK_EX | LOCK_NB);
            temporary.fd = fd;
            return true;
        }
        if (reason != EEXIST) {
            release_slot(temporary.slot);
            errno = reason;
            return false;
        }
    }
    release_slot(temporary.slot);
    errno = EEXIST;
    return false;
}

// Removes the temporary file again, as one step with forgetting it, and closes it.
void discard_temporary(int folder, Temporary& temporary) {
    {
        const SignalsHeld held;
        unlinkat(folder, temporary.name.c_str(), 0);
        pending[temporary.slot].folder.store(-1);
    }
    if (temporary.file)
        std::fclose(temporary.file);
    else if (temporary.fd >= 0)
        close(temporary.fd);
    temporary.file = nullptr;
    temporary.fd = -1;
    release_slot(temporary.slot);
    temporary.slot = -1;
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

// The slide numbers above `count` whose files the folder holds: slides of a longer show exported
// there before, which would now pass for part of this one.
std::vector<int> slides_beyond(const std::vector<std::string>& names, int count) {
    std::vector<int> found;
    for (const std::string& name : names)
        if (const int slide = slide_number(name); slide > count) found.push_back(slide);
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

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

std::string named_runs(std::vector<int> numbers, const std::function<std::string(int)>& name) {
    std::sort(numbers.begin(), numbers.end());
    std::string text;
    for (size_t i = 0; i < numbers.size();) {
        size_t last = i;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1) ++last;
        if (!text.empty()) text += ", ";
        text += name(numbers[i]);
        if (last > i) text += (last == i + 1 ? ", " : " to ") + name(numbers[last]);
        i = last + 1;
    }
    return text;
}

std::thread thread_taking_no_signal(std::function<void()> work) {
    // A new thread starts with the signals of the one that starts it held.
    const SignalsHeld held;
    return std::thread(std::move(work));
}

TemporaryFileGuard::TemporaryFileGuard(const char* program) {
    stop_program[0] = 0;
    if (program) std::snprintf(stop_program, sizeof stop_program, "%s", program);
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
    stop_program[0] = 0;
    for (int signal = 1; signal < NSIG; ++signal)
        if (changed_[signal]) sigaction(signal, &saved_[signal], nullptr);
}

namespace {

bool plain_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == name.npos &&
           name.find('\0') == name.npos;
}

// The first step of a write: the whole file written under a new temporary name, handed to the
// system but not yet flushed to the disk, and still open (and locked). On failure nothing is
// left.
std::optional<WriteFailure> write_temporary(int folder, std::string_view name,
                                            const StreamWriter& writer, Temporary& temporary) {
    if (!plain_name(name)) return WriteFailure{.code = EINVAL, .reason = "not a plain file name"};
    errno = 0;
    if (!create_temporary(folder, name, temporary)) return failure_of(errno ? errno : EEXIST);
    temporary.file = fdopen(temporary.fd, "wb");
    if (!temporary.file) {
        const int reason = errno;
        discard_temporary(folder, temporary);
        return failure_of(reason);
    }
    auto error = writer(temporary.file);
    errno = 0;
    const bool flushed = !error && std::fflush(temporary.file) == 0 && !std::ferror(temporary.file);
    const int reason = errno;
    if (error || !flushed) {
        discard_temporary(folder, temporary);
        if (error) return WriteFailure{.code = EIO, .reason = *error};
        return failure_of(reason ? reason : EIO);
    }
    return std::nullopt;
}

// The second step: the file flushed to the disk (or failing to, on a full one) and closed. A
// file renamed before it is on the disk may be empty there after a power loss.
std::optional<WriteFailure> sync_temporary(int folder, Temporary& temporary) {
    errno = 0;
    const bool synced = fsync(temporary.fd) == 0;
    int reason = errno;
    errno = 0;
    const bool closed = std::fclose(temporary.file) == 0;
    if (synced) reason = errno;
    temporary.file = nullptr;
    temporary.fd = -1;
    if (synced && closed) return std::nullopt;
    discard_temporary(folder, temporary);
    return failure_of(reason ? reason : EIO);
}

// The last step: the complete file under its final name.
std::optional<WriteFailure> place_temporary(int folder, Temporary& temporary, std::string_view name,
                                            Replace replace) {
    int placed, reason;
    {
        const SignalsHeld held;
        placed = replace == Replace::existing
                     ? renameat(folder, temporary.name.c_str(), folder, std::string(name).c_str())
                     : place_new(folder, temporary.name, name);
        reason = errno;
        if (placed != 0) unlinkat(folder, temporary.name.c_str(), 0);
        pending[temporary.slot].folder.store(-1);
    }
    release_slot(temporary.slot);
    temporary.slot = -1;
    if (placed != 0) return failure_of(reason);
    return std::nullopt;
}

} // namespace

std::optional<WriteFailure> write_file(int folder, std::string_view name,
                                       const StreamWriter& writer, Replace replace) {
    Temporary temporary;
    if (auto failure = write_temporary(folder, name, writer, temporary)) return failure;
    if (auto failure = sync_temporary(folder, temporary)) return failure;
    return place_temporary(folder, temporary, name, replace);
}

std::optional<WriteFailure> write_png_file(int folder, std::string_view name, const Image& image,
                                           std::span<const PngText> texts, Replace replace) {
    return write_file(
        folder, name, [&](std::FILE* file) { return write_png(file, image, texts); }, replace);
}

std::optional<WriteFailure> sync_folder(int folder) {
    // Some filesystems cannot sync a folder (EINVAL): there is nothing more to do on them.
    if (fsync(folder) != 0 && errno != EINVAL) return failure_of(errno);
    return std::nullopt;
}

namespace {

// Removes the temporary files of the pattern above whose stems `is_ours` accepts, where the run
// that made them is gone.
void remove_abandoned(int folder, const std::function<bool(std::string_view stem)>& is_ours) {
    for (const std::string& entry : names_in(folder)) {
        std::string_view stem;
        long pid = 0;
        if (parse_temporary(entry, stem, pid) && is_ours(stem))
            remove_if_abandoned(folder, entry, pid);
    }
}

// Makes a temporary file for `name` and removes it again: the folder can be written, and the
// temporary name fits.
std::optional<WriteFailure> probe(int folder, std::string_view name) {
    Temporary temporary;
    errno = 0;
    if (!create_temporary(folder, name, temporary)) return failure_of(errno ? errno : EEXIST);
    discard_temporary(folder, temporary);
    return std::nullopt;
}

// The folder part of a path ("." for a bare name) and its last part.
std::pair<std::string, std::string> split_path(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == path.npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool same_file(const struct stat& a, int fd) {
    struct stat b {};
    return fstat(fd, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

ExportFolder::~ExportFolder() {
    if (fd_ >= 0) close(fd_);
}

std::optional<std::string> ExportFolder::open(const std::string& path, const char* program,
                                              bool (*is_ours)(std::string_view name),
                                              std::string_view longest,
                                              std::chrono::milliseconds wait) {
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
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (const int reason = errno; reason != EWOULDBLOCK) {
            std::fprintf(stderr,
                         "%s: warning: cannot lock export folder %s (%s); an export into it at "
                         "the same time could mix its files with these\n",
                         program, shown(path).c_str(), std::strerror(reason));
            break;
        }
        if (wait.count() == 0)
            return "export folder " + shown(path) +
                   " is in use by another export: let it finish, or choose another folder";
        if (std::chrono::steady_clock::now() >= deadline)
            return "export folder " + shown(path) + " is still in use by another export after " +
                   std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) +
                   " s: let it finish, or choose another folder";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Under the lock no export of these names runs, but the PID and lock checks cost little and
    // keep a file of another kind of writer (an export of one file into this folder) safe.
    remove_abandoned(fd_, is_ours);
    if (auto failure = probe(fd_, longest))
        return "cannot write to export folder " + shown(path) + ": " + failure->reason;
    return std::nullopt;
}

std::vector<std::string> ExportFolder::names() const {
    return names_in(fd_);
}

void remove_abandoned_temporaries(int folder,
                                  const std::function<bool(std::string_view name)>& is_ours) {
    remove_abandoned(folder, is_ours);
}

std::optional<std::string> write_file_at(const std::string& path, const StreamWriter& writer) {
    const auto [folder_path, name] = split_path(path);
    std::optional<WriteFailure> failure;
    const int folder = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        failure = failure_of(errno);
    } else {
        const std::string stem = temporary_stem(name);
        remove_abandoned(folder, [&](std::string_view found) { return found == stem; });
        failure = write_file(folder, name, writer, Replace::existing);
        close(folder);
    }
    if (failure) return "cannot write " + shown(path) + ": " + failure->reason;
    return std::nullopt;
}

std::optional<std::string> write_png_at(const std::string& path, const Image& image,
                                        std::span<const PngText> texts) {
    return write_file_at(path, [&](std::FILE* file) { return write_png(file, image, texts); });
}

ExportFile::~ExportFile() {
    if (folder_ >= 0) close(folder_);
    if (stream_ > STDERR_FILENO) close(stream_);
}

std::optional<std::string> ExportFile::open_stream(int fd, const std::string& shown_as) {
    if (fcntl(fd, F_GETFD) < 0) return "cannot write " + shown_as + ": it is closed";
    if (isatty(fd))
        return "will not write a PNG to " + shown_as +
               ", a terminal: redirect it into a file or a program";
    stream_ = fd;
    return std::nullopt;
}

std::optional<std::string> ExportFile::open(const std::string& path) {
    path_ = path;
    if (path == "-") return open_stream(STDOUT_FILENO, "standard output");
    const std::string named = shown(path);
    struct stat status {};
    bool follow = false;
    errno = 0;
    const bool exists = lstat(path.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return "cannot write " + named + ": " + std::strerror(errno);
    if (exists && S_ISLNK(status.st_mode)) {
        // A link to standard output or error (/dev/stdout, /proc/self/fd/2) is that stream; a
        // link to a device or a FIFO is written through; any other link is replaced, as a file.
        struct stat target {};
        if (stat(path.c_str(), &target) == 0) {
            for (int fd : {STDOUT_FILENO, STDERR_FILENO})
                if (same_file(target, fd))
                    return open_stream(fd, fd == STDOUT_FILENO ? "standard output (" + named + ")"
                                                               : "standard error (" + named + ")");
            if (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode)) {
                status = target;
                follow = true;
            }
        }
    }
    if (S_ISDIR(status.st_mode)) return named + " is a folder: give a file name, such as strip.png";
    if (S_ISBLK(status.st_mode))
        return "will not write over " + named + ", a disk (a block device): give a file name";
    if (S_ISSOCK(status.st_mode))
        return "cannot write " + named +
               ", a socket: give a file name, a FIFO, a device or - for standard output";
    if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode)) {
        // Written in place, as a stream: a device or a FIFO is never replaced by a file. Opened
        // without waiting, so that a FIFO no program reads is refused at once.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC |
                                                (follow ? 0 : O_NOFOLLOW));
        if (fd < 0) {
            if (errno == ENXIO)
                return "cannot write " + named + ": no program reads from that FIFO";
            return "cannot write " + named + ": " + std::strerror(errno);
        }
        struct stat opened {};
        if (fstat(fd, &opened) != 0 || !(S_ISCHR(opened.st_mode) || S_ISFIFO(opened.st_mode))) {
            close(fd);
            return "cannot write " + named + ": it changed while it was opened";
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (auto refused = open_stream(fd, named)) {
            close(fd);
            return refused;
        }
        return std::nullopt;
    }
    // A file: written under a temporary name beside it and renamed over it once complete.
    auto [folder_path, name] = split_path(path);
    if (name.empty() || name == "." || name == "..")
        return "cannot write " + named + ": give a file name, such as strip.png";
    folder_ = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) {
        const int reason = errno;
        return "cannot write " + named + ": " +
               (reason == ENOENT ? "the folder " + shown(folder_path) + " does not exist"
                                 : "its folder: " + std::string(std::strerror(reason)));
    }
    name_ = name;
    const std::string stem = temporary_stem(name_);
    remove_abandoned(folder_, [&](std::string_view found) { return found == stem; });
    if (auto failure = probe(folder_, name_))
        return "cannot write " + named + ": " + failure->reason;
    return std::nullopt;
}

std::optional<std::string> ExportFile::write(const StreamWriter& writer) {
    const std::string named =
        stream_ == STDOUT_FILENO && path_ == "-" ? "standard output" : shown(path_);
    if (stream_ < 0) {
        if (auto failure = write_file(folder_, name_, writer, Replace::existing))
            return "cannot write " + named + ": " + failure->reason;
        if (auto failure = sync_folder(folder_))
            return "cannot flush the folder of " + named + " to disk: " + failure->reason;
        return std::nullopt;
    }
    const int fd = dup(stream_);
    std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!file) {
        if (fd >= 0) close(fd);
        return "cannot write " + named + ": " + std::strerror(errno);
    }
    auto error = writer(file);
    errno = 0;
    const bool flushed = !error && std::fflush(file) == 0 && !std::ferror(file);
    const int reason = errno;
    const bool closed = std::fclose(file) == 0;
    if (error) return "cannot write " + named + ": " + *error;
    if (!flushed || !closed)
        return "cannot write " + named + ": " + std::strerror(reason ? reason : EIO);
    return std::nullopt;
}

namespace {

// A slide's picture on its way to its file: a copy of the screen as the slide stood (the
// drawing state is one per program, and the next slide draws over it at once), then its file
// under a temporary name.
struct SlideFile {
    int slide = 0;
    int width = 0, height = 0;
    PixelLayout layout{};
    bool indexed = false;
    IndexedPixels palette;             // the picture as palette indices, where it is `indexed`
    std::vector<std::uint32_t> pixels; // its pixels otherwise
    std::vector<PngText> texts;
    Temporary temporary;
    std::optional<WriteFailure> failure;
};

// Encodes the slides handed to it on a thread of its own while the next ones draw, each into a
// temporary file of its own, handed to the system but not yet flushed to the disk. At most two
// copies of the screen wait, so that memory stays bounded.
class SlideWriter {
  public:
    explicit SlideWriter(int folder) : folder_(folder) {
        thread_ = thread_taking_no_signal([this] { run(); });
    }
    ~SlideWriter() { finish(); }
    SlideWriter(const SlideWriter&) = delete;
    SlideWriter& operator=(const SlideWriter&) = delete;

    // Hands over the picture of the slide; false once a slide failed (the export ends). The
    // picture is indexed into its palette here (a pass over it that a copy would take anyway,
    // into a quarter of the memory); one of more than 256 colours is copied whole.
    bool add(int slide, const Image& picture, std::vector<PngText> texts) {
        std::unique_ptr<SlideFile> file;
        {
            // A slide whose file is written already lends its buffers: fresh memory costs its
            // page faults on every slide.
            const std::lock_guard lock(mutex_);
            if (!spare_.empty()) {
                file = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        if (!file) file = std::make_unique<SlideFile>();
        file->slide = slide;
        file->width = picture.width;
        file->height = picture.height;
        file->layout = picture.layout;
        file->indexed = index_colours(picture, file->palette);
        if (!file->indexed) {
            file->pixels.resize(static_cast<size_t>(picture.width) * picture.height);
            for (int y = 0; y < picture.height; ++y)
                std::memcpy(file->pixels.data() + static_cast<size_t>(y) * picture.width,
                            picture.row(y), sizeof(std::uint32_t) * picture.width);
        }
        file->texts = std::move(texts);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < 2 || failed_; });
        if (failed_) return false;
        queue_.push_back(std::move(file));
        changed_.notify_all();
        return true;
    }

    bool failed() {
        const std::lock_guard lock(mutex_);
        return failed_;
    }

    // Waits for the last slide's file; returns every slide's, in the order they came.
    std::vector<std::unique_ptr<SlideFile>> finish() {
        if (thread_.joinable()) {
            {
                const std::lock_guard lock(mutex_);
                done_ = true;
            }
            changed_.notify_all();
            thread_.join();
        }
        return std::move(written_);
    }

  private:
    void run() {
        for (;;) {
            std::unique_ptr<SlideFile> file;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !queue_.empty() || done_; });
                if (queue_.empty()) return;
                file = std::move(queue_.front());
                queue_.pop_front();
                changed_.notify_all();
            }
            file->failure = write_temporary(
                folder_, slide_name(file->slide),
                [&](std::FILE* out) {
                    if (file->indexed)
                        return write_png_indexed(out, file->palette, file->width, file->height,
                                                 file->layout, file->texts);
                    const Image image{.pixels = file->pixels.data(),
                                      .width = file->width,
                                      .height = file->height,
                                      .stride = static_cast<size_t>(file->width),
                                      .layout = file->layout};
                    return write_png(out, image, file->texts);
                },
                file->temporary);
            // The file starts on its way to the disk now, while the next slides draw: the flush
            // at the end then mostly waits for what is already written.
            if (!file->failure) sync_file_range(file->temporary.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            const bool failed = file->failure.has_value();
            // What is left of the slide is its file; its buffers go to a slide to come.
            auto spare = std::make_unique<SlideFile>();
            spare->palette = std::move(file->palette);
            spare->pixels = std::move(file->pixels);
            const std::lock_guard lock(mutex_);
            if (spare_.size() < 3) spare_.push_back(std::move(spare));
            written_.push_back(std::move(file));
            if (failed) {
                failed_ = true;
                queue_.clear();
                changed_.notify_all();
            }
        }
    }

    const int folder_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<SlideFile>> queue_;
    std::vector<std::unique_ptr<SlideFile>> written_;
    std::vector<std::unique_ptr<SlideFile>> spare_;
    bool done_ = false, failed_ = false;
};

// The slides' temporary files under their final names, with one barrier for them all: every
// file flushed to the disk, then every one renamed, then (by the caller) the folder flushed. No
// final name ever holds a file that is not whole on the disk. The slides after one that failed
// are removed; returns the first failure, naming its slide.
std::optional<std::pair<int, WriteFailure>>
place_slides(int folder, std::vector<std::unique_ptr<SlideFile>> files) {
    // Every file flushed at once, on threads of their own: a filesystem commits flushes that
    // wait together as one (a journal's commit), where one after another each waits for its own.
    std::atomic<size_t> next{0};
    auto flush = [&] {
        for (size_t i; (i = next.fetch_add(1)) < files.size();)
            if (!files[i]->failure) files[i]->failure = sync_temporary(folder, files[i]->temporary);
    };
    std::vector<std::thread> flushers;
    const size_t helpers = std::min<size_t>(files.size(), 8);
    for (size_t i = 1; i < helpers; ++i) flushers.push_back(thread_taking_no_signal(flush));
    flush();
    for (std::thread& flusher : flushers) flusher.join();
    // Then, in order, every slide before the first that failed under its final name; those
    // after it are removed.
    std::optional<std::pair<int, WriteFailure>> first;
    size_t good = 0;
    while (good < files.size() && !files[good]->failure) ++good;
    if (good < files.size()) first = std::pair{files[good]->slide, *files[good]->failure};
    for (size_t i = good + 1; i < files.size(); ++i)
        if (!files[i]->failure) discard_temporary(folder, files[i]->temporary);
    for (size_t i = 0; i < good; ++i) {
        SlideFile& file = *files[i];
        if (auto failure =
                place_temporary(folder, file.temporary, slide_name(file.slide), Replace::existing);
            failure && !first)
            first = std::pair{file.slide, *failure};
    }
    return first;
}

} // namespace

int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed) {
    // From the start: a signal that arrives while the folder is probed removes the probe too.
    const TemporaryFileGuard guard(program.name);
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
    {
        SlideWriter writer(folder.descriptor());
        try {
            run_headless(
                program,
                [&](int slide) {
                    if (!writer.add(slide, screen_image(),
                                    slide_texts(program, slide,
                                                program.uses_palette ? palette_seed : seed)))
                        throw Failure("a slide could not be written");
                },
                clock_chose ? palette_seed : seed);
        } catch (const Failure& failure) {
            // A slide that could not be written says why below; any other failure of the run
            // ends the export with nothing more written.
            if (!writer.failed()) {
                for (auto& file : writer.finish())
                    if (!file->failure) discard_temporary(folder.descriptor(), file->temporary);
                return fail(failure.what());
            }
        }
        if (auto failure = place_slides(folder.descriptor(), writer.finish()))
            return fail("cannot write " + shown_dir + "/" + slide_name(failure->first) + ": " +
                        failure->second.reason);
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
                     program.name, shown_dir.c_str(), named_runs(extra, slide_name).c_str(),
                     program.name, count, count == 1 ? "slide" : "slides");
    return status;
}

} // namespace kit
