// Saving pictures as image files, safely: every file is written under a temporary name of its
// own, flushed to disk, and renamed into place once complete, all inside a folder opened once.
#pragma once

#include "kit/program.hpp"
#include "png.hpp"

#include <SDL.h>
#include <signal.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kit {

// Writes every slide of the show into a folder, without a window; returns the exit status.
// Only the desktop has files to write to: the browser build refuses (export_web.cpp).
int export_slides(const Program& program, const std::string& dir, std::optional<unsigned> seed);

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

// Writes the surface as a PNG, with `texts` as its text chunks, under `name` (a plain file name,
// no '/') in the folder open as `folder` (a descriptor of a directory: the folder stays the same
// one however its path is renamed or replaced meanwhile). The image goes to a new temporary file
// ".NAME.PID.N.part" beside it, made exclusively (a name that exists, a planted link included,
// is never opened), is flushed to disk (fsync) and then renamed to `name`. Nothing is left under
// a temporary name on failure, nor when a signal handled by a TemporaryFileGuard ends the
// program. For the rename itself to survive a power loss, call sync_folder once after the last
// file.
std::optional<WriteFailure> write_png_file(int folder, std::string_view name, SDL_Surface* surface,
                                           std::span<const PngText> texts, Replace replace);

// Flushes the folder's entries (the renames) to disk. Returns the failure, if any.
std::optional<WriteFailure> sync_folder(int folder);

// Removes the temporary files of write_png_file's pattern for final names that `is_ours` accepts
// (left by a program killed outright), so that they do not pile up. Only safe while no other
// process may be writing them: under the folder's lock.
void remove_stale_temporaries(int folder, bool (*is_ours)(std::string_view name));

// write_png_file into the folder of `path` (the folder as it is now), replacing what is there;
// returns an error message naming `path`. For the tests and the benchmark.
std::optional<std::string> write_slide(const std::string& path, SDL_Surface* surface,
                                       std::span<const PngText> texts = {});

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
