// file_io on POSIX systems: descriptors, writev, rename, flock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "common/file_io.h"
#include "common/file_io_platform.h"

namespace qbkit {
namespace file_io_platform {

intptr_t create_exclusive(const std::string& path, bool& name_taken) {
  // O_EXCL: the name must be new, and a link there is not followed.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  name_taken = fd < 0 && errno == EEXIST;
  return fd < 0 ? kNoHandle : fd;
}

bool write_pieces(intptr_t handle, std::span<const ByteSpan> pieces) {
  const int fd = static_cast<int>(handle);
  // One writev for all pieces; a short write resumes inside the piece it stopped in.
  size_t first = 0, skip = 0;
  while (first < pieces.size()) {
    iovec vec[64];
    int count = 0;
    for (size_t k = first; k < pieces.size() && count < 64; ++k) {
      size_t off = k == first ? skip : 0;
      if (pieces[k].size() == off) continue;
      vec[count].iov_base = const_cast<uint8_t*>(pieces[k].data() + off);
      vec[count].iov_len = pieces[k].size() - off;
      ++count;
    }
    if (count == 0) return true;
    ssize_t n = ::writev(fd, vec, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    auto left = static_cast<size_t>(n);
    while (first < pieces.size() && left >= pieces[first].size() - skip) {
      left -= pieces[first].size() - skip;
      ++first;
      skip = 0;
    }
    skip += left;
  }
  return true;
}

bool close_kept(intptr_t handle) { return ::close(static_cast<int>(handle)) == 0; }

void close_given_up(intptr_t handle) { ::close(static_cast<int>(handle)); }

// Paths are bytes here, as qbkit holds them.
std::filesystem::path native_path(const std::string& path) { return path; }
std::string path_text(const std::filesystem::path& path) { return path.string(); }

// The temporary takes the permission bits of the regular file it replaces.
void keep_mode_of(intptr_t handle, const std::string& target) {
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(static_cast<int>(handle), st.st_mode & 07777);
}

bool put_in_place(intptr_t handle, const std::string& temporary, const std::string& target) {
  if (handle != kNoHandle && !close_kept(handle)) return false;
  return ::rename(temporary.c_str(), target.c_str()) == 0;
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

std::optional<OpenFile> open_for_reading(const std::string& path) {
  // Not blocking, so that opening a FIFO returns at once; the check is made on the open file,
  // so nothing can take the path's place between the check and the read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st;
  std::FILE* stream = nullptr;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
    stream = ::fdopen(fd, "rb");
  if (!stream) {
    ::close(fd);
    return std::nullopt;
  }
  return OpenFile{File(stream, &std::fclose), static_cast<size_t>(st.st_size)};
}

}  // namespace file_io_platform

bool may_replace(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISREG(st.st_mode)) return false;
  // Opening for writing asks the system, which knows every rule (permission bits, root, an
  // immutable file, a read-only mount); the file is neither truncated nor changed.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

namespace {

using file_io_platform::File;

// The whole file open at `fd`, read through the same loop as every other read, on a
// duplicate of the descriptor: `fd` stays open, and keeps the lock.
std::optional<Bytes> read_descriptor(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return std::nullopt;
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return std::nullopt;
  std::FILE* stream = ::fdopen(copy, "rb");
  if (!stream) {
    ::close(copy);
    return std::nullopt;
  }
  const File f(stream, &std::fclose);
  return file_io_platform::read_whole(f.get(), static_cast<size_t>(st.st_size), 0);
}

}  // namespace

std::optional<LockedFile> LockedFile::acquire(const std::string& path, bool read) {
  for (int attempt = 0; attempt < file_io_platform::kMaxAttempts; ++attempt) {
    std::string resolved = link_target(path);
    // Not blocking: a FIFO at the path must not hang the open; only regular files are taken.
    int fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    LockedFile locked(resolved, fd);
    struct stat kind;
    if (::fstat(fd, &kind) != 0 || !S_ISREG(kind.st_mode)) return std::nullopt;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // The holder before us replaced the file by a rename: the lock is on a file that the
    // path no longer names, so lock the new one.
    struct stat held, now;
    if (::fstat(fd, &held) != 0) return std::nullopt;
    if (::stat(resolved.c_str(), &now) != 0 || held.st_dev != now.st_dev || held.st_ino != now.st_ino) continue;
    if (!read) return locked;
    std::optional<Bytes> content = read_descriptor(fd);
    if (!content) return std::nullopt;
    locked.content_ = std::move(*content);
    return locked;
  }
  return std::nullopt;
}

LockedFile::~LockedFile() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

}  // namespace qbkit
