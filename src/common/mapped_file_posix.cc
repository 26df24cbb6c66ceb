// Mapped inputs on POSIX systems: mmap, and a SIGBUS handler for files cut short meanwhile.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "common/mapped_file.h"

namespace qbkit {
namespace {

// Below this a read costs about as little.
constexpr size_t kMapAtLeast = size_t{1} << 20;

size_t page_size() {
  static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

int64_t modified_ns(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + static_cast<int64_t>(st.st_mtim.tv_nsec);
}

// A SIGBUS for an address without bytes behind it can only come from a mapped file that was
// cut short (the process maps no other files; its own program cannot be cut short while it
// runs): a zeroed page takes the place of the missing one, and the read goes on. Any other
// SIGBUS ends the process as it would have.
void on_bus_error(int signal, siginfo_t* info, void*) {
  if (info->si_code == BUS_ADRERR) {
    const uintptr_t page = reinterpret_cast<uintptr_t>(info->si_addr) & ~(page_size() - 1);
    void* zeros = ::mmap(reinterpret_cast<void*>(page), page_size(), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                         -1, 0);
    if (zeros != MAP_FAILED) return;
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

// Sets the handler, once; false when it cannot be set (the file is then read instead).
bool handle_bus_errors() {
  static const bool handled = [] {
    page_size();  // known before the handler can ask
    struct sigaction action = {};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, nullptr) == 0;
  }();
  return handled;
}

// The last part of a page, which a mapping would end with whatever the file holds after it:
// read into the zeroed page that follows the mapped ones. False when it cannot be read whole.
bool read_tail(int fd, uint8_t* to, size_t size, off_t from) {
  while (size > 0) {
    const ssize_t n = ::pread(fd, to, size, from);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    to += n;
    size -= static_cast<size_t>(n);
    from += n;
  }
  return true;
}

}  // namespace

std::optional<MappedFile> MappedFile::map(const std::string& path, size_t padding) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  MappedFile file;
  file.handle_ = fd;  // closed by the destructor from here on
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) < kMapAtLeast ||
      static_cast<uint64_t>(st.st_size) > SIZE_MAX / 2 || !handle_bus_errors()) {
    return std::nullopt;
  }
  file.size_ = static_cast<size_t>(st.st_size);
  file.modified_ = modified_ns(st);
  // Zeroed pages for the whole, then the file's whole pages over them; the rest of the file
  // goes into the first zeroed page after those, which keeps its zeros after it.
  const size_t page = page_size();
  file.length_ = (file.size_ + padding + page - 1) / page * page;
  void* base = ::mmap(nullptr, file.length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return std::nullopt;
  file.base_ = static_cast<uint8_t*>(base);
  const size_t whole = file.size_ / page * page;
  int flags = MAP_PRIVATE | MAP_FIXED;
#if defined(MAP_POPULATE)
  flags |= MAP_POPULATE;
#endif
  if (::mmap(base, whole, PROT_READ, flags, fd, 0) == MAP_FAILED) return std::nullopt;
  if (!read_tail(fd, file.base_ + whole, file.size_ - whole, static_cast<off_t>(whole))) return std::nullopt;
  return file;
}

MappedFile::~MappedFile() {
  if (base_ != nullptr) ::munmap(base_, length_);
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

bool MappedFile::changed() const {
  struct stat st;
  return ::fstat(static_cast<int>(handle_), &st) != 0 || static_cast<uint64_t>(st.st_size) != size_ ||
         modified_ns(st) != modified_;
}

}  // namespace qbkit
