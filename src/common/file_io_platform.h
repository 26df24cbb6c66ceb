// What file_io.cc asks of the system, answered by file_io_posix.cc or file_io_win32.cc (the
// build compiles the one of its platform), and the few helpers of file_io.cc that those use.
// Only these three files include it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "common/bytes.h"
#include "common/platform.h"

namespace qbkit::file_io_platform {

// A file open for writing, as a number: the descriptor, or the Windows HANDLE; kNoHandle for
// none (on Windows, INVALID_HANDLE_VALUE is the same bits).
inline constexpr intptr_t kNoHandle = -1;

inline constexpr int kMaxAttempts = 64;  // temporary names tried, lock rounds waited

// Whether a temporary stays open until it is committed or given up. On Windows it does: it is
// made to be removed when its handle closes, so that no end of the process, not even one
// forced from outside, leaves it behind; commit() first takes that back.
inline constexpr bool kTemporariesStayOpen = kOnWindows;

// The path that the system takes for `path`, which qbkit holds as UTF-8 (on Windows, a name
// that is not valid UTF-8 is read as Windows-1252), and back.
std::filesystem::path native_path(const std::string& path);
std::string path_text(const std::filesystem::path& path);

// A new temporary file for writing at `path`, created exclusively: never through an existing
// name or a link there. kNoHandle when it cannot be; `name_taken` then tells whether the name
// existed.
intptr_t create_exclusive(const std::string& path, bool& name_taken);
// Writes the pieces one after another at the end of the file; false on a write error.
bool write_pieces(intptr_t handle, std::span<const ByteSpan> pieces);
// Closes a temporary that is to be kept; false when the close reports an error (a write that
// did not reach the disk).
bool close_kept(intptr_t handle);
// Closes a temporary that is given up (on Windows this removes it).
void close_given_up(intptr_t handle);
// Renames the temporary over `target` (beside it) and closes it, if `handle` is still open;
// false when either fails: the temporary then stays, closed, for the caller to remove.
// Gives the file the permission bits of the regular file at `target`, where the system has
// such bits.
void keep_mode_of(intptr_t handle, const std::string& target);
bool put_in_place(intptr_t handle, const std::string& temporary, const std::string& target);
void remove_file(const std::string& path);

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A file open for reading and the size the system gives for it at the open.
struct OpenFile {
  File file;
  size_t size = 0;
};

// Opens `path` for reading only when it is a regular file (links followed). Anything else
// fails as a missing file does: a FIFO would wait for a writer forever and a device such as
// /dev/zero never ends, so reading one whole would hang or fill the memory.
std::optional<OpenFile> open_for_reading(const std::string& path);

// From file_io.cc: the whole content of `f`, which the system said held `expected` bytes when
// it was opened, with a capacity of `spare` bytes more; nullopt on a read error.
std::optional<Bytes> read_whole(std::FILE* f, size_t expected, size_t spare);

}  // namespace qbkit::file_io_platform
