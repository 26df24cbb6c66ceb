// The platform calls on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "common/platform.h"

namespace qbkit {

void set_stdout_binary() { _setmode(_fileno(stdout), _O_BINARY); }
void set_stdin_binary() { _setmode(_fileno(stdin), _O_BINARY); }

size_t read_standard_input(char* buffer, size_t size) {
  const int n = _read(_fileno(stdin), buffer, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
  return n > 0 ? static_cast<size_t>(n) : 0;
}

// Nothing is filled in on Windows.
void hold_standard_descriptors() {}

bool stdout_is_terminal() {
  // Only a console has a console mode. _isatty would also take the NUL device for one, so
  // that a batch file's "> NUL" would hide the messages meant for the user.
  DWORD mode;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))), &mode) != 0;
}

}  // namespace qbkit
