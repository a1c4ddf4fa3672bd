// Saving pictures and other files, safely (the desktop's; the browser build writes no files).
//
// Offers: write_file and write_png_file (contents under a name in a folder open as a
// descriptor), ExportFolder (a folder made and opened once and locked for a whole export, with
// what a killed export left in it removed), sync_folder, write_file_at and write_png_at (one
// file at a path), ExportFile (one file given on a command line: a file, standard output, a
// device or a FIFO), remove_abandoned_temporaries, names_in and named_runs (a folder's entries,
// and a series' numbers named in runs, for messages), TemporaryFileGuard (the signals that end a
// program remove the files being written first), and Replace and WriteFailure.
//
// Every file is written under a temporary name of its own, made exclusively (an existing name, a
// planted link included, is never opened), flushed to disk (fsync) and renamed into place once
// complete: no final name ever holds a half-written file.
#pragma once

#include "kit/image.hpp"
#include "kit/png.hpp"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kit {

// What a write does with a file already under the final name.
enum class Replace {
    existing, // the new picture replaces it (a link there is replaced, not followed)
    never,    // the write fails with EEXIST and the file stays as it was
};

// Why a write failed: errno's value (EEXIST where Replace::never met a file) and its text.
struct WriteFailure {
    int code = 0;
    std::string reason;
};

// What writes a file's contents into a stream; returns the reason on failure.
using StreamWriter = std::function<std::optional<std::string>(std::FILE*)>;

// Writes what `writer` writes under `name` (a plain file name, no '/') in the folder open as
// `folder`, as write_png_file below does with a picture.
std::optional<WriteFailure> write_file(int folder, std::string_view name,
                                       const StreamWriter& writer, Replace replace);

// Writes the picture as a PNG with `texts` as its text chunks under `name` (a plain file name,
// no '/') in the folder open as `folder` (a descriptor of a directory: the folder stays the same
// one however its path is renamed or replaced meanwhile), through the temporary file
// ".NAME.PID.N.part" beside it (NAME cut short, ending in '~', where the whole would not fit in
// a file name), locked while it is written. Nothing is left under a temporary name on failure, nor
// when a signal handled by a TemporaryFileGuard ends the program. For the rename itself to survive
// a power loss, call sync_folder once after the last file.
std::optional<WriteFailure> write_png_file(int folder, std::string_view name, const Image& image,
                                           std::span<const PngText> texts, Replace replace);

// Flushes the folder's entries (the renames) to disk. Returns the failure, if any.
std::optional<WriteFailure> sync_folder(int folder);

// A folder that a whole export writes into, open for as long as the object lives (closing it
// releases its lock).
class ExportFolder {
  public:
    ExportFolder() = default;
    ~ExportFolder();
    ExportFolder(const ExportFolder&) = delete;
    ExportFolder& operator=(const ExportFolder&) = delete;

    // Makes the folder at `path` (and its parents) and opens it: from here on the export works
    // inside this folder, whatever happens to its path. Then takes its lock (on the folder
    // itself, no lock file), waiting up to `wait` for another export into it to end (by
    // default 5 seconds, longer than any export of the slide shows takes; 0 refuses a folder in
    // use at once); on a filesystem without locks it goes on unlocked with a warning from
    // `program`. Then the temporary files of final names `is_ours` accepts that a killed run
    // left are removed (those whose process is gone and whose lock no one holds).
    // Last, a file of the name `longest` (the export's longest) is made and removed again, so
    // that a folder that cannot be written is reported before anything is drawn. Returns the
    // message saying what failed, naming the folder.
    std::optional<std::string> open(const std::string& path, const char* program,
                                    bool (*is_ours)(std::string_view name),
                                    std::string_view longest,
                                    std::chrono::milliseconds wait = std::chrono::seconds(5));

    int descriptor() const { return fd_; }

    // The names of the entries the folder holds now.
    std::vector<std::string> names() const;

  private:
    int fd_ = -1;
};

// Removes the temporary files of final names `is_ours` accepts that a killed run left in the
// folder: those whose process is gone and whose lock no one holds. (A name too long to fit in a
// temporary name is asked about as the part that does, ending in '~'.)
void remove_abandoned_temporaries(int folder,
                                  const std::function<bool(std::string_view name)>& is_ours);

// write_file into the folder of `path` (the folder as it is now), replacing what is there, after
// removing the temporary files for that name a killed run left; returns an error message naming
// `path`.
std::optional<std::string> write_file_at(const std::string& path, const StreamWriter& writer);

// write_file_at with a picture.
std::optional<std::string> write_png_at(const std::string& path, const Image& image,
                                        std::span<const PngText> texts = {});

// One file given on a command line, checked before anything is drawn into it. "-" is standard
// output; an existing device or FIFO (or a link to one, such as /dev/stdout) is written in place
// as a stream, never replaced; a terminal, a disk (a block device) and a socket are refused.
// Anything else is a file in a folder that must exist and be writable: written under a
// temporary name beside it and renamed over it once complete (a link there is replaced, not
// followed), and the temporary files for that name a killed run left are removed.
class ExportFile {
  public:
    ExportFile() = default;
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Returns the message saying why the path cannot be written, naming it.
    std::optional<std::string> open(const std::string& path);
    // Returns the message saying what failed, naming the path.
    std::optional<std::string> write(const StreamWriter& writer);
    // Whether the contents go to standard output (where messages must not).
    bool to_standard_output() const { return stream_ == 1; }

  private:
    std::optional<std::string> open_stream(int fd, const std::string& shown_as);
    std::string path_, name_;
    int folder_ = -1, stream_ = -1;
};

// The names of the folder's entries, read through a description of its own (a duplicate
// descriptor would share its place in the folder with every other reader); none where it cannot
// be read.
std::vector<std::string> names_in(int folder);

// Numbers named in runs of consecutive ones, in order: "slide-07.png to slide-13.png,
// slide-20.png" (a run of two is named as two), for the messages about files of a series.
std::string named_runs(std::vector<int> numbers, const std::function<std::string(int)>& name);

// While it lives, every signal whose default action ends the program first removes the
// temporary file being written (if any) and then ends the program as it would have, and
// SIGXFSZ is ignored so that a file size limit fails the write (EFBIG) instead of killing it.
// Signals that were ignored, or already handled by someone (a sanitizer), are left as they are.
// With a `program`, the handler says on standard error that it stopped the program and what
// became of the files. Threads that create files while it lives must block every signal.
class TemporaryFileGuard {
  public:
    explicit TemporaryFileGuard(const char* program = nullptr);
    ~TemporaryFileGuard();
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

  private:
    struct sigaction saved_[NSIG];
    bool changed_[NSIG] = {};
};

// Starts `work` on a thread that takes no signal, as the threads that create files while a
// TemporaryFileGuard lives must: the guard's handler then runs on a thread that waits for a file
// being made to be recorded, never on the one making it.
std::thread thread_taking_no_signal(std::function<void()> work);

} // namespace kit
