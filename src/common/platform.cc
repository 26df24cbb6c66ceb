#include "common/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qbkit {

void set_stdout_binary() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

void set_stdin_binary() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
#endif
}

size_t read_standard_input(char* buffer, size_t size) {
#if defined(_WIN32)
  const int n = _read(_fileno(stdin), buffer, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
  return n > 0 ? static_cast<size_t>(n) : 0;
#else
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) return 0;
  }
#endif
}

void hold_standard_descriptors() {
#if !defined(_WIN32)
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    // Opened for reading only, /dev/null takes the lowest free slot, which is `fd`.
    const int held = ::open("/dev/null", O_RDONLY);
    if (held != -1 && held != fd) ::close(held);
  }
#endif
}

bool stdout_is_terminal() {
#if defined(_WIN32)
  // Only a console has a console mode. _isatty would also take the NUL device for one, so
  // that a batch file's "> NUL" would hide the messages meant for the user.
  DWORD mode;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))), &mode) != 0;
#else
  return ::isatty(STDOUT_FILENO) == 1;
#endif
}

}  // namespace qbkit
