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

#include "common/file_io_platform.h"
#include "common/huge_pages.h"
#include "common/interruption.h"
#include "common/platform.h"

namespace qbkit {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinkHops = 40;  // a longer chain is a loop

// The directory part of `path` with its separator ("" for a bare name).
std::string directory_of(const std::string& path) {
  const size_t cut = path.find_last_of(kDirectorySeparators);
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

}  // namespace

std::optional<Bytes> file_io_platform::read_whole(std::FILE* f, size_t expected, size_t spare) {
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

namespace {

using file_io_platform::kMaxAttempts;
using file_io_platform::kNoHandle;
using file_io_platform::native_path;
using file_io_platform::open_for_reading;
using file_io_platform::OpenFile;
using file_io_platform::path_text;
using file_io_platform::remove_file;

}  // namespace

std::optional<Bytes> read_file(const std::string& path, size_t spare) {
  const std::optional<OpenFile> file = open_for_reading(path);
  if (!file) return std::nullopt;
  return file_io_platform::read_whole(file->file.get(), file->size, spare);
}

size_t file_size_now(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(native_path(path), ec);
  return ec || size >= SIZE_MAX ? 0 : static_cast<size_t>(size);
}

std::optional<size_t> read_file_into(const std::string& path, std::span<uint8_t> buffer) {
  const std::optional<OpenFile> file = open_for_reading(path);
  if (!file) return std::nullopt;
  return read_to_end(file->file.get(), buffer, [](std::span<uint8_t>&, size_t) { return false; });
}

std::optional<PageBuffer> read_file_paged(const std::string& path, size_t padding) {
  const std::optional<OpenFile> file = open_for_reading(path);
  if (!file) return std::nullopt;
  // The reads fill the view; the padding after it stays as the pages came, zero.
  auto room = [padding](size_t bytes) {
    PageBuffer buffer(bytes + padding);
    buffer.truncate(bytes);
    return buffer;
  };
  PageBuffer data = room(first_capacity(file->size));
  const std::optional<size_t> used = read_to_end(file->file.get(), data, [&room](PageBuffer& d, size_t used) {
    PageBuffer bigger = room(d.size() * 2);
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
  return fs::is_regular_file(native_path(path), ec);
}

std::string link_target(const std::string& path) {
  fs::path p = native_path(path);
  int hop = 0;
  for (; hop < kMaxLinkHops; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    fs::path next = fs::read_symlink(p, ec);
    if (ec) break;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return hop == 0 ? path : path_text(p);
}

std::optional<PendingFile> PendingFile::create(const std::string& target) {
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    std::string temporary = temporary_name(target);
    bool name_taken = false;
    // Made and registered in one hold: an interruption finds it registered, or not made.
    const InterruptionsHeld hold;
    const intptr_t handle = file_io_platform::create_exclusive(temporary, name_taken);
    if (handle == kNoHandle) {
      if (name_taken) continue;
      return std::nullopt;
    }
    const size_t registration = register_temporary_file(temporary, handle);
    PendingFile pending(target, std::move(temporary), handle, registration);  // given up unless committed
    file_io_platform::keep_mode_of(handle, target);
    return pending;
  }
  return std::nullopt;
}

std::optional<PendingFile> PendingFile::write(const std::string& target, std::span<const ByteSpan> pieces) {
  std::optional<PendingFile> pending = create(target);
  if (!pending || !pending->append(pieces)) return std::nullopt;
  if (!file_io_platform::kTemporariesStayOpen && !pending->close()) return std::nullopt;
  return pending;
}

bool PendingFile::append(std::span<const ByteSpan> pieces) {
  if (handle_ == kNoHandle) return false;
  if (file_io_platform::write_pieces(handle_, pieces)) return true;
  give_up();
  return false;
}

bool PendingFile::close() {
  if (handle_ == kNoHandle) return true;
  const InterruptionsHeld hold;
  const bool ok = file_io_platform::close_kept(std::exchange(handle_, kNoHandle));
  temporary_file_closed(registration_);
  if (!ok) give_up();
  return ok;
}

void PendingFile::give_up() {
  if (temporary_.empty()) return;
  const InterruptionsHeld hold;
  if (handle_ != kNoHandle) file_io_platform::close_given_up(std::exchange(handle_, kNoHandle));
  remove_file(temporary_);
  forget_temporary(registration_);
  temporary_.clear();
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, std::string())),
      handle_(std::exchange(other.handle_, kNoHandle)),
      registration_(other.registration_) {}

PendingFile::~PendingFile() { give_up(); }

bool PendingFile::commit() {
  // The rename is not interrupted: it happens whole, or not at all.
  const InterruptionsHeld hold;
  if (temporary_.empty()) return false;
  const bool ok = file_io_platform::put_in_place(std::exchange(handle_, kNoHandle), temporary_, target_);
  temporary_file_closed(registration_);
  if (!ok) {
    give_up();
    return false;
  }
  forget_temporary(registration_);
  temporary_.clear();
  return true;
}

bool write_file_atomic(const std::string& path, std::span<const ByteSpan> pieces) {
  const std::string target = link_target(path);
  if (!may_replace(target)) return false;
  std::optional<PendingFile> pending = PendingFile::write(target, pieces);
  return pending && pending->commit();
}

bool write_file_atomic(const std::string& path, ByteSpan data) {
  return write_file_atomic(path, std::span<const ByteSpan>(&data, 1));
}

PathKind path_kind(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(native_path(path), ec);
  if (ec || !fs::exists(st)) return PathKind::missing;
  if (fs::is_symlink(st)) return PathKind::link;
  if (fs::is_directory(st)) return PathKind::directory;
  return PathKind::other;
}

bool is_empty_directory(const std::string& path) {
  std::error_code ec;
  return fs::is_empty(native_path(path), ec) && !ec;
}

bool is_directory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(native_path(path), ec) && !ec;
}

// The names come back as qbkit holds names (UTF-8), with '/' between their parts, also on
// Windows, where the folder's own name is given to the system as typed.
std::optional<std::vector<std::string>> files_below(const std::string& dir) {
  std::error_code ec;
  std::vector<std::string> files;
  const fs::path root = native_path(dir);
  fs::recursive_directory_iterator it(root, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code kind;  // an entry that cannot be looked at is listed: it is no folder to enter
    if (it->is_directory(kind) && !it->is_symlink(kind)) continue;
    files.push_back(path_text(it->path().lexically_relative(root).generic_string<fs::path::value_type>()));
  }
  if (ec) return std::nullopt;
  std::sort(files.begin(), files.end());
  return files;
}

bool make_directory(const std::string& path) {
  std::error_code ec;
  return fs::create_directory(native_path(path), ec) && !ec;
}

bool remove_path(const std::string& path) {
  std::error_code ec;
  return fs::remove(native_path(path), ec) && !ec;
}

std::optional<LockedFile> LockedFile::open(const std::string& path) { return acquire(path, true); }
std::optional<LockedFile> LockedFile::lock(const std::string& path) { return acquire(path, false); }

LockedFile::LockedFile(LockedFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)),
      content_(std::move(other.content_)) {}

std::string canonical_path(const std::string& path) {
  std::error_code ec;
  fs::path resolved = fs::canonical(native_path(path), ec);
  if (ec) return path;
  return path_text(resolved);
}

}  // namespace qbkit
