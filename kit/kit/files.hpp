// Saving pictures as files, safely (the desktop's; the browser build writes no files).
//
// Offers: write_png_file (one picture under a name in a folder open as a descriptor), ExportFolder
// (a folder made and opened once and locked for a whole export, with what a killed export left
// in it removed), sync_folder, write_png_at (one picture at a path), TemporaryFileGuard (the
// signals that end a program remove the file being written first), and Replace and WriteFailure.
//
// Every file is written under a temporary name of its own, made exclusively (an existing name, a
// planted link included, is never opened), flushed to disk (fsync) and renamed into place once
// complete: no final name ever holds a half-written file.
#pragma once

#include "kit/image.hpp"
#include "kit/png.hpp"

#include <signal.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
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

// Writes the picture as a PNG with `texts` as its text chunks under `name` (a plain file name,
// no '/') in the folder open as `folder` (a descriptor of a directory: the folder stays the same
// one however its path is renamed or replaced meanwhile), through the temporary file
// ".NAME.PID.N.part" beside it. Nothing is left under a temporary name on failure, nor when a
// signal handled by a TemporaryFileGuard ends the program. For the rename itself to survive a
// power loss, call sync_folder once after the last file.
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
    // itself, no lock file), waiting up to 5 seconds for another export into it to end (longer
    // than any export of the programs takes); on a filesystem without locks it goes on unlocked
    // with a warning from `program`. Under the lock no other export writes there, so the
    // temporary files of final names `is_ours` accepts are a killed export's, and are removed.
    // Last, a file of the name `longest` (the export's longest) is made and removed again, so
    // that a folder that cannot be written is reported before anything is drawn. Returns the
    // message saying what failed, naming the folder.
    std::optional<std::string> open(const std::string& path, const char* program,
                                    bool (*is_ours)(std::string_view name),
                                    std::string_view longest);

    int descriptor() const { return fd_; }

    // The names of the entries the folder holds now.
    std::vector<std::string> names() const;

  private:
    int fd_ = -1;
};

// write_png_file into the folder of `path` (the folder as it is now), replacing what is there;
// returns an error message naming `path`.
std::optional<std::string> write_png_at(const std::string& path, const Image& image,
                                        std::span<const PngText> texts = {});

// Writes `bytes` as the whole file `name` in the folder open as `folder`, exactly as
// write_png_file writes a picture: through a temporary file of its own, made exclusively,
// flushed to disk and renamed into place.
std::optional<WriteFailure> write_bytes_file(int folder, std::string_view name,
                                             std::string_view bytes, Replace replace);

// write_bytes_file into the folder of `path` (the folder as it is now), replacing what is there;
// returns an error message naming `path`.
std::optional<std::string> write_bytes_at(const std::string& path, std::string_view bytes);

// While it lives, every signal whose default action ends the program first removes the
// temporary file being written (if any) and then ends the program as it would have, and
// SIGXFSZ is ignored so that a file size limit fails the write (EFBIG) instead of killing it.
// Signals that were ignored, or already handled by someone (a sanitizer), are left as they are.
class TemporaryFileGuard {
  public:
    TemporaryFileGuard();
    ~TemporaryFileGuard();
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

  private:
    struct sigaction saved_[NSIG];
    bool changed_[NSIG] = {};
};

} // namespace kit
