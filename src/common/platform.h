// The few calls that differ between platforms.
#pragma once

namespace qbkit {

// Whether qbkit is built for Windows, where a command for the user's shell is quoted its way.
#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// Puts standard output in binary mode, so that text has "\n" line ends on every platform.
void set_stdout_binary();

// Fills the slots of standard input, output and error that the process was started without
// (as by `>&-`) with a descriptor that refuses writes. A file opened later then cannot take
// such a slot and receive what was meant for standard output, and a write to a closed
// standard output fails where it is made.
void hold_standard_descriptors();

// Whether standard output is a terminal (a console window on Windows), not a file, a pipe
// or the null device.
bool stdout_is_terminal();

}  // namespace qbkit
