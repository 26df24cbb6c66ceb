// The one module that touches files and directories. Everything else works on byte buffers
// in memory and asks this module to read, replace, lock or create.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/page_buffer.h"

namespace qbkit {

// Every read below takes a regular file only (a link to one is fine): anything else (a FIFO,
// a device, a directory) gives nullopt, as a missing file does, without waiting or reading.

// Reads the whole file in binary mode; nullopt when it cannot be opened or read.
// `spare` bytes of capacity stay after the content, so that a reader which appends (the
// compiler its terminating zero byte) copies nothing; a large buffer is backed by huge pages
// where the system offers them.
std::optional<Bytes> read_file(const std::string& path, size_t spare = 0);

// read_file into a PageBuffer, whose pages are prefaulted before the read fills them; for an
// input that is read once and kept whole until the end. Throws std::bad_alloc when the
// memory cannot be had.
std::optional<PageBuffer> read_file_paged(const std::string& path);

// The size of the file at `path` as the system gives it now, or 0 when it cannot be had: for
// sizing a buffer ahead of a read (the file may change before it is read).
size_t file_size_now(const std::string& path);

// Reads the file in binary mode from its start into `buffer`, up to buffer.size() bytes: how
// many were read, or nullopt when it cannot be opened or read. A full buffer leaves open
// whether more bytes followed.
std::optional<size_t> read_file_into(const std::string& path, std::span<uint8_t> buffer);

// Whether `path` names a regular file (links followed). The reads above make this check
// themselves, on the file they open.
bool is_regular_file(const std::string& path);

// Whether `path`, its links followed, may be replaced by an output: nothing is there, or a
// regular file that this process may open for writing (the system decides: root may). A
// device, a FIFO or a folder is not replaced (a rename would put a file in the place of the
// system's null device), nor a file that the user may not write (no write permission; on
// Windows, the read-only attribute): renaming needs only a writable folder. The commands ask
// it of every output before they start their work.
bool may_replace(const std::string& path);

// Writes `data` (or the concatenation of `pieces`, in one gathered write) as the whole
// content of `path`, atomically: the bytes go to a new temporary file beside the target,
// which is then renamed over it. A target that is a symbolic link is written through: the
// file at the end of the link is replaced and the link stays. The replaced file's permission
// bits are kept. A target that may not be replaced (may_replace) is not written. On failure
// the temporary file is removed, an existing file at `path` is left as it was, and false is
// returned.
bool write_file_atomic(const std::string& path, ByteSpan data);
bool write_file_atomic(const std::string& path, std::span<const ByteSpan> pieces);

// The file that replacing `path` changes: the end of its chain of symbolic links (a link
// that leads nowhere gives the name it leads to), or `path` itself.
std::string link_target(const std::string& path);

// A file written under a unique temporary name beside its target and moved into place by
// commit(). The temporary is created exclusively (never through an existing name or link)
// and removed when the object goes away uncommitted, or when the run is interrupted (it is
// registered as a temporary of the run, common/interruption.h). Replacing this way takes the
// place of `target` itself, even when it is a link.
class PendingFile {
 public:
  // Writes the pieces to a new temporary beside `target`; nullopt (and nothing left on
  // disk) when it cannot be created or written.
  static std::optional<PendingFile> write(const std::string& target, std::span<const ByteSpan> pieces);
  // A new temporary beside `target`, open for append(); nullopt when it cannot be created.
  static std::optional<PendingFile> create(const std::string& target);
  // Adds bytes at the end of a temporary made by create(); false when they cannot be written
  // (the file is then given up: commit() fails).
  bool append(std::span<const ByteSpan> pieces);

  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&&) = delete;
  PendingFile(const PendingFile&) = delete;
  ~PendingFile();

  const std::string& target() const { return target_; }
  // Renames the temporary over the target; false (and the temporary removed) on failure. An
  // interruption waits until the rename is done.
  bool commit();

 private:
  PendingFile(std::string target, std::string temporary, intptr_t handle, size_t registration)
      : target_(std::move(target)), temporary_(std::move(temporary)), handle_(handle), registration_(registration) {}
  // Closes the temporary, which stays; false (and the temporary given up) when the close
  // reports an error.
  bool close();
  // Closes and removes the temporary: the target stays as it was.
  void give_up();
  std::string target_;
  std::string temporary_;  // empty once committed or given up
  intptr_t handle_ = -1;   // the temporary while open; -1 when closed
  size_t registration_;    // in the registry of temporaries (common/interruption.h)
};

// What stands at a path, not following a link there.
enum class PathKind { missing, directory, link, other };
PathKind path_kind(const std::string& path);
// Whether `path` is a directory with nothing in it.
bool is_empty_directory(const std::string& path);
// Whether `path` names a directory (links followed).
bool is_directory(const std::string& path);
// The files below the directory `dir`, at any depth, as paths relative to it with '/' between
// their parts, sorted byte by byte: every entry that is not a directory, links included.
// Links to directories are listed as files, not entered. nullopt when `dir` cannot be read.
std::optional<std::vector<std::string>> files_below(const std::string& dir);
// Creates one directory; false when it cannot (it exists already, say). A caller that must
// remove it when the run is interrupted registers it (common/interruption.h).
bool make_directory(const std::string& path);
// Removes an empty directory (or a file); false when it cannot.
bool remove_path(const std::string& path);

// An exclusive lock on an existing file, held from open() until the object goes away, for a
// read-modify-write that replaces the file. Links are followed to the file itself. Because a
// writer replaces the file by a rename, the lock is taken again whenever the path has come to
// name another file while this process waited, so the holder always locks the file that the
// path names. (On Windows, where no file open in a process can be renamed over, the lock is
// on a short-lived file beside it, "<file>.qbkit-lock".)
class LockedFile {
 public:
  // Locks the file at the end of `path`'s links and reads it whole into memory; nullopt when
  // it cannot be opened or read, or is not a regular file. The copy is the holder's own: a
  // program that ignores the lock and changes the file meanwhile cannot change what the
  // holder works on, and cannot make it fault on a page that is gone.
  static std::optional<LockedFile> open(const std::string& path);
  // The same lock without reading: for a command that replaces the file whole.
  static std::optional<LockedFile> lock(const std::string& path);

  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&&) = delete;
  LockedFile(const LockedFile&) = delete;
  ~LockedFile();

  // The locked file's path (links resolved) and its content, valid while the object lives.
  const std::string& path() const { return path_; }
  ByteSpan content() const { return content_; }

 private:
  LockedFile(std::string path, intptr_t handle) : path_(std::move(path)), handle_(handle) {}
  static std::optional<LockedFile> acquire(const std::string& path, bool read);
  std::string path_;
  intptr_t handle_;  // the locked descriptor, or the Windows lock file's HANDLE; -1 when none
  Bytes content_;    // empty when only locked
};

// The canonical form of an existing file's path (absolute, links resolved), which tells
// whether two names reach the same file; the path as given when it cannot be resolved.
std::string canonical_path(const std::string& path);

}  // namespace qbkit
