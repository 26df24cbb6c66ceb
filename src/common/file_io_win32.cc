// file_io on Windows: HANDLEs, WriteFile, MoveFileEx, and a lock file beside the archive.
// Paths, which qbkit holds as UTF-8, reach the system as UTF-16 (windows_text.h).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/file_io.h"
#include "common/file_io_platform.h"
#include "common/windows_text.h"

namespace qbkit {
namespace file_io_platform {
namespace {

HANDLE as_handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

// The temporary is open for deleting too, and marked to go when its handle closes: however
// the process ends, even by TerminateProcess, the system removes it. put_in_place takes the
// mark back just before it renames the file into place.
intptr_t create_exclusive(const std::string& path, bool& name_taken) {
  const HANDLE h = CreateFileW(wide_path(path).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    name_taken = e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS;
    return kNoHandle;
  }
  FILE_DISPOSITION_INFO removed = {TRUE};
  SetFileInformationByHandle(h, FileDispositionInfo, &removed, sizeof removed);
  return reinterpret_cast<intptr_t>(h);
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

bool close_kept(intptr_t handle) {
  FILE_DISPOSITION_INFO kept = {FALSE};
  const bool ok = SetFileInformationByHandle(as_handle(handle), FileDispositionInfo, &kept, sizeof kept) != 0;
  return CloseHandle(as_handle(handle)) != 0 && ok;
}

void close_given_up(intptr_t handle) { CloseHandle(as_handle(handle)); }

void keep_mode_of(intptr_t, const std::string&) {}

namespace {

// The system's own form of a path, which renaming by handle takes: "\??\" and the full path
// ("\??\UNC\" for a share).
std::wstring nt_path(const std::string& path) {
  const std::wstring wide = wide_path(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.starts_with(L"\\\\?\\")) return L"\\??\\" + full.substr(4);
  if (full.starts_with(L"\\\\")) return L"\\??\\UNC\\" + full.substr(2);
  return L"\\??\\" + full;
}

// Renames the open file to `name`, a path of the system's own form.
bool rename_open_file(HANDLE h, const std::wstring& name) {
  std::vector<uint8_t> info(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(info.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, name.data(), rename->FileNameLength);
  return SetFileInformationByHandle(h, FileRenameInfo, rename, static_cast<DWORD>(info.size())) != 0;
}

}  // namespace

// The mark that removes the temporary on closing is taken back, and the open file is renamed
// by its handle: only an end forced between these two calls can leave it behind. Where the
// handle cannot rename it, it is closed and moved by name.
bool put_in_place(intptr_t handle, const std::string& temporary, const std::string& target) {
  if (handle != kNoHandle) {
    const HANDLE h = as_handle(handle);
    FILE_DISPOSITION_INFO kept = {FALSE};
    if (!SetFileInformationByHandle(h, FileDispositionInfo, &kept, sizeof kept)) {
      CloseHandle(h);
      return false;
    }
    const bool renamed = rename_open_file(h, nt_path(target));
    if (!CloseHandle(h)) return false;
    if (renamed) return true;
  }
  return MoveFileExW(wide_path(temporary).c_str(), wide_path(target).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void remove_file(const std::string& path) { DeleteFileW(wide_path(path).c_str()); }

std::filesystem::path native_path(const std::string& path) { return std::filesystem::path(wide_path(path)); }

std::string path_text(const std::filesystem::path& path) { return utf8_from_wide(path.native()); }

std::optional<OpenFile> open_for_reading(const std::string& path) {
  OpenFile f{File(_wfopen(wide_path(path).c_str(), L"rb"), &std::fclose)};
  if (!f.file) return std::nullopt;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f.file.get())));
  LARGE_INTEGER size;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) return std::nullopt;
  f.size = static_cast<size_t>(size.QuadPart);
  return f;
}

}  // namespace file_io_platform

bool may_replace(const std::string& path) {
  const std::wstring wide = wide_path(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
  // Opening for writing asks the system; a device (NUL, CON, a port) opens as no disk file.
  const HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool disk = GetFileType(h) == FILE_TYPE_DISK;
  CloseHandle(h);
  return disk;
}

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
    HANDLE h = CreateFileW(wide_path(lock).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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
  HANDLE h = CreateFileW(wide_path(resolved).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
