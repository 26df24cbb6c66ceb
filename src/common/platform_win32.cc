// The platform calls on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "common/platform.h"

namespace qbkit {

void set_stdout_binary() { _setmode(_fileno(stdout), _O_BINARY); }

// Nothing is filled in on Windows.
void hold_standard_descriptors() {}

bool stdout_is_terminal() {
  // Only a console has a console mode. _isatty would also take the NUL device for one, so
  // that a batch file's "> NUL" would hide the messages meant for the user.
  DWORD mode;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))), &mode) != 0;
}

}  // namespace qbkit
