// file_io on Windows: HANDLEs, WriteFile, MoveFileEx, and a lock file beside the archive.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

#include "common/file_io.h"
#include "common/file_io_platform.h"

namespace qbkit {
namespace file_io_platform {
namespace {

HANDLE as_handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

intptr_t create_exclusive(const std::string& path, bool& name_taken) {
  const HANDLE h =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) return reinterpret_cast<intptr_t>(h);
  const DWORD e = GetLastError();
  name_taken = e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS;
  return kNoHandle;
}

bool write_pieces(intptr_t handle, std::span<const ByteSpan> pieces) {
  for (ByteSpan piece : pieces) {
    size_t done = 0;
    while (done < piece.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(piece.size() - done, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(as_handle(handle), piece.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
  }
  return true;
}

bool close_handle(intptr_t handle) { return CloseHandle(as_handle(handle)) != 0; }

void keep_mode_of(intptr_t, const std::string&) {}

bool replace_file(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void remove_file(const std::string& path) { DeleteFileA(path.c_str()); }

std::optional<OpenFile> open_for_reading(const std::string& path) {
  OpenFile f{File(std::fopen(path.c_str(), "rb"), &std::fclose)};
  if (!f.file) return std::nullopt;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f.file.get())));
  LARGE_INTEGER size;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) return std::nullopt;
  f.size = static_cast<size_t>(size.QuadPart);
  return f;
}

}  // namespace file_io_platform

namespace {

using file_io_platform::File;

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
  return file_io_platform::read_whole(f.get(), static_cast<size_t>(size.QuadPart), 0);
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

}  // namespace qbkit
