// The platform calls on POSIX systems.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/platform.h"

namespace qbkit {

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

// The streams write bytes as they are, and a closed pipe is a signal: nothing is replaced.
struct StandardStreams::Replaced {};
StandardStreams::StandardStreams() = default;
StandardStreams::~StandardStreams() = default;

void set_stdin_binary() {}

size_t read_standard_input(char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) return 0;
  }
}

void hold_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    // Opened for reading only, /dev/null takes the lowest free slot, which is `fd`.
    const int held = ::open("/dev/null", O_RDONLY);
    if (held != -1 && held != fd) ::close(held);
  }
}

bool stdout_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace qbkit
