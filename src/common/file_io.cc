#include "common/file_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>
#include <utility>

#include "common/huge_pages.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#endif

namespace qbkit {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinkHops = 40;  // a longer chain is a loop
constexpr int kMaxAttempts = 64;  // temporary names tried, lock rounds waited

// The directory part of `path` with its separator ("" for a bare name).
std::string directory_of(const std::string& path) {
#if defined(_WIN32)
  size_t cut = path.find_last_of("/\\:");
#else
  size_t cut = path.rfind('/');
#endif

  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// A name nobody else picks: 64 random bits. Short, so that it fits beside a target whose
// own name is already as long as a name may be.
std::string temporary_name(const std::string& target) {
  std::random_device random;
  uint64_t bits = (static_cast<uint64_t>(random()) << 32) ^ random();
  char name[40];
  std::snprintf(name, sizeof name, ".qbkit-%016llx.tmp", static_cast<unsigned long long>(bits));
  return directory_of(target) + name;
}

#if defined(_WIN32)

using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

Handle create_exclusive(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool write_pieces(Handle h, std::span<const ByteSpan> pieces) {
  for (ByteSpan piece : pieces) {
    size_t done = 0;
    while (done < piece.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(piece.size() - done, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(h, piece.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
  }
  return true;
}

bool close_handle(Handle h) { return CloseHandle(h) != 0; }
intptr_t handle_slot(Handle h) { return reinterpret_cast<intptr_t>(h); }
Handle slot_handle(intptr_t slot) { return reinterpret_cast<Handle>(slot); }
void keep_mode_of(Handle, const std::string&) {}
bool replace_file(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
void remove_file(const std::string& path) { DeleteFileA(path.c_str()); }
bool already_exists() {
  DWORD e = GetLastError();
  return e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS;
}

#else

using Handle = int;
const Handle kNoHandle = -1;

Handle create_exclusive(const std::string& path) {
  // O_EXCL: the name must be new, and a link there is not followed.
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

bool write_pieces(Handle fd, std::span<const ByteSpan> pieces) {
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

bool close_handle(Handle fd) { return ::close(fd) == 0; }
intptr_t handle_slot(Handle fd) { return fd; }
Handle slot_handle(intptr_t slot) { return static_cast<Handle>(slot); }

// The temporary takes the permission bits of the regular file it replaces.
void keep_mode_of(Handle fd, const std::string& target) {
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
}

bool replace_file(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }
void remove_file(const std::string& path) { ::unlink(path.c_str()); }
bool already_exists() { return errno == EEXIST; }

#endif

}  // namespace

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A file open for reading and the size the system gives for it at the open.
struct OpenFile {
  File file;
  size_t size = 0;
};

// Opens `path` for reading only when it is a regular file (links followed). Anything else
// fails as a missing file does: a FIFO would wait for a writer forever and a device such as
// /dev/zero never ends, so reading one whole would hang or fill the memory.
#if defined(_WIN32)
std::optional<OpenFile> open_for_reading(const std::string& path) {
  OpenFile f{File(std::fopen(path.c_str(), "rb"), &std::fclose)};
  if (!f.file) return std::nullopt;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f.file.get())));
  LARGE_INTEGER size;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) return std::nullopt;
  f.size = static_cast<size_t>(size.QuadPart);
  return f;
}
#else
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
#endif

// The capacity a read starts with: the size the file had when it was opened and one byte
// more, so that reading that byte tells, without a second call, that the file grew meanwhile.
// No size (a file of the kernel's, say) gives a small start.
size_t first_capacity(size_t expected) { return expected == 0 ? size_t{1} << 14 : expected + 1; }

// Reads `f` into `buffer` from its start, to its end or until the buffer is full and
// `grow(buffer, used)` returns false; while it returns true, it has made the buffer larger.
// The bytes read, or nullopt on a read error. Every read of a whole file goes through it.
template <typename Buffer, typename Grow>
std::optional<size_t> read_to_end(std::FILE* f, Buffer& buffer, Grow grow) {
  size_t used = 0;
  for (;;) {
    if (used == buffer.size() && !grow(buffer, used)) break;
    const size_t n = std::fread(buffer.data() + used, 1, buffer.size() - used, f);
    if (n == 0) break;
    used += n;
  }
  if (std::ferror(f) != 0) return std::nullopt;
  return used;
}

// The whole content of `f`, which the system said held `expected` bytes when it was opened,
// with a capacity of `spare` bytes more.
std::optional<Bytes> read_whole(std::FILE* f, size_t expected, size_t spare) {
  const size_t capacity = first_capacity(expected);
  Bytes data;
  data.reserve(capacity + spare);
  prefer_huge_pages(data);
  data.resize(capacity);
  const std::optional<size_t> used = read_to_end(f, data, [](Bytes& d, size_t) {
    d.resize(d.size() * 2);
    return true;
  });
  if (!used) return std::nullopt;
  data.resize(*used);
  if (data.capacity() < data.size() + spare) data.reserve(data.size() + spare);
  return data;
}

}  // namespace

std::optional<Bytes> read_file(const std::string& path, size_t spare) {
  const std::optional<OpenFile> file = open_for_reading(path);
  if (!file) return std::nullopt;
  return read_whole(file->file.get(), file->size, spare);
}

size_t file_size_now(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  return ec || size >= SIZE_MAX ? 0 : static_cast<size_t>(size);
}

std::optional<size_t> read_file_into(const std::string& path, std::span<uint8_t> buffer) {
  const std::optional<OpenFile> file = open_for_reading(path);
  if (!file) return std::nullopt;
  return read_to_end(file->file.get(), buffer, [](std::span<uint8_t>&, size_t) { return false; });
}

std::optional<PageBuffer> read_file_paged(const std::string& path) {
  const std::optional<OpenFile> file = open_for_reading(path);
  if (!file) return std::nullopt;
  PageBuffer data(first_capacity(file->size));
  const std::optional<size_t> used = read_to_end(file->file.get(), data, [](PageBuffer& d, size_t used) {
    PageBuffer bigger(d.size() * 2);
    std::memcpy(bigger.data(), d.data(), used);
    d = std::move(bigger);
    return true;
  });
  if (!used) return std::nullopt;
  data.truncate(*used);
  return data;
}

bool is_regular_file(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::string link_target(const std::string& path) {
  fs::path p = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    fs::path next = fs::read_symlink(p, ec);
    if (ec) break;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p.string();
}

std::optional<PendingFile> PendingFile::create(const std::string& target) {
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    std::string temporary = temporary_name(target);
    Handle h = create_exclusive(temporary);
    if (h == kNoHandle) {
      if (already_exists()) continue;
      return std::nullopt;
    }
    PendingFile pending(target, temporary);  // removes the temporary unless committed
    pending.handle_ = handle_slot(h);
    keep_mode_of(h, target);
    return pending;
  }
  return std::nullopt;
}

std::optional<PendingFile> PendingFile::write(const std::string& target, std::span<const ByteSpan> pieces) {
  std::optional<PendingFile> pending = create(target);
  if (!pending || !pending->append(pieces) || !pending->close()) return std::nullopt;
  return pending;
}

bool PendingFile::append(std::span<const ByteSpan> pieces) {
  if (handle_ == -1) return false;
  if (write_pieces(slot_handle(handle_), pieces)) return true;
  close();
  remove_file(temporary_);
  temporary_.clear();
  return false;
}

bool PendingFile::close() {
  if (handle_ == -1) return true;
  const bool ok = close_handle(slot_handle(std::exchange(handle_, -1)));
  if (!ok && !temporary_.empty()) {
    remove_file(temporary_);
    temporary_.clear();
  }
  return ok;
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, std::string())),
      handle_(std::exchange(other.handle_, -1)) {}

PendingFile::~PendingFile() {
  close();
  if (!temporary_.empty()) remove_file(temporary_);
}

bool PendingFile::commit() {
  if (!close() || temporary_.empty()) return false;
  bool ok = replace_file(temporary_, target_);
  if (!ok) remove_file(temporary_);
  temporary_.clear();
  return ok;
}

bool write_file_atomic(const std::string& path, std::span<const ByteSpan> pieces) {
  std::optional<PendingFile> pending = PendingFile::write(link_target(path), pieces);
  return pending && pending->commit();
}

bool write_file_atomic(const std::string& path, ByteSpan data) {
  return write_file_atomic(path, std::span<const ByteSpan>(&data, 1));
}

bool write_file_atomic(const std::string& path, const std::string& text) {
  return write_file_atomic(path, ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

PathKind path_kind(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(path, ec);
  if (ec || !fs::exists(st)) return PathKind::missing;
  if (fs::is_symlink(st)) return PathKind::link;
  if (fs::is_directory(st)) return PathKind::directory;
  return PathKind::other;
}

bool is_empty_directory(const std::string& path) {
  std::error_code ec;
  return fs::is_empty(path, ec) && !ec;
}

bool make_directory(const std::string& path) {
  std::error_code ec;
  return fs::create_directory(path, ec) && !ec;
}

bool remove_path(const std::string& path) {
  std::error_code ec;
  return fs::remove(path, ec) && !ec;
}

#if defined(_WIN32)

namespace {

// The whole file open at `h`, read through the same loop as every other read; `h` is closed.
std::optional<Bytes> read_and_close(HANDLE h) {
  LARGE_INTEGER size;
  const bool sized = GetFileSizeEx(h, &size) != 0;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd == -1) {
    CloseHandle(h);
    return std::nullopt;
  }
  std::FILE* stream = _fdopen(fd, "rb");
  if (!stream) {
    _close(fd);
    return std::nullopt;
  }
  const File f(stream, &std::fclose);
  if (!sized) return std::nullopt;
  return read_whole(f.get(), static_cast<size_t>(size.QuadPart), 0);
}

// Windows cannot rename a file over one that a process holds open, so the lock is held on a
// file beside the archive, "<archive>.qbkit-lock", that goes away when its last holder closes
// it. While it is on its way out nobody can open it, so a newcomer waits until every process
// that holds or waits for the lock is done, and then makes a new one.
HANDLE open_lock_file(const std::string& archive) {
  const std::string lock = archive + ".qbkit-lock";
  for (int wait = 0; wait < 2000; ++wait) {
    HANDLE h = CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) return h;
    if (GetLastError() != ERROR_ACCESS_DENIED) break;
    Sleep(5);
  }
  return INVALID_HANDLE_VALUE;  // a folder that takes no new file: the archive cannot be replaced either
}

}  // namespace

std::optional<LockedFile> LockedFile::acquire(const std::string& path, bool read) {
  std::string resolved = link_target(path);
  HANDLE lock = open_lock_file(resolved);
  LockedFile locked(resolved, reinterpret_cast<intptr_t>(lock));
  if (lock != INVALID_HANDLE_VALUE) {
    OVERLAPPED whole = {};
    LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
  }
  HANDLE h = CreateFileA(resolved.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  // The file is closed before the archive is replaced.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return std::nullopt;
  }
  if (!read) {
    CloseHandle(h);
    return locked;
  }
  std::optional<Bytes> content = read_and_close(h);
  if (!content) return std::nullopt;
  locked.content_ = std::move(*content);
  return locked;
}

LockedFile::~LockedFile() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

#else

namespace {

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
  return read_whole(f.get(), static_cast<size_t>(st.st_size), 0);
}

}  // namespace

std::optional<LockedFile> LockedFile::acquire(const std::string& path, bool read) {
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
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

#endif

std::optional<LockedFile> LockedFile::open(const std::string& path) { return acquire(path, true); }
std::optional<LockedFile> LockedFile::lock(const std::string& path) { return acquire(path, false); }

LockedFile::LockedFile(LockedFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)),
      content_(std::move(other.content_)) {}

std::string canonical_path(const std::string& path) {
  std::error_code ec;
  fs::path resolved = fs::canonical(path, ec);
  if (ec) return path;
  return resolved.string();
}

}  // namespace qbkit
