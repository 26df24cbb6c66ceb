// What differs between the platforms: the few calls of platform_posix.cc and
// platform_win32.cc (the build compiles the one of its platform), and the constants that
// shared code asks instead of testing the platform itself.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qbkit {

#if defined(_WIN32)
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

// The file system takes names that differ only in the case of A-Z for one name.
inline constexpr bool kFileNamesIgnoreCase = kOnWindows;

// The system cannot create a path part that ends in a dot or a blank, holds one of <>:"|?*,
// or is a device name: extraction refuses such member names here.
inline constexpr bool kWindowsFileNames = kOnWindows;

// The characters after which a path's last part starts: on Windows also '\' and a drive's ':'.
inline constexpr std::string_view kDirectorySeparators = kOnWindows ? "/\\:" : "/";

// The command line's arguments, the program name first, as qbkit holds them: UTF-8. On
// Windows they come from the wide command line, as typed, whatever the code page.
std::vector<std::string> command_line_arguments(int argc, char** argv);

// Standard output and error as qbkit writes them, for the life of the object (main makes one):
// the bytes as they are, the same on every platform (no line end turned into "\r\n" on
// Windows). On Windows, a console shows the UTF-8 in them as the characters typed (and other
// bytes as Windows-1252), and a write to a closed pipe ends the run as SIGPIPE ends it
// elsewhere (common/interruption.h).
class StandardStreams {
 public:
  StandardStreams();
  ~StandardStreams();  // flushes, and puts std::cout and std::cerr back as they were
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;

 private:
  struct Replaced;  // what the platform put in place of the streams' buffers
  std::unique_ptr<Replaced> replaced_;
};

// Puts standard input in binary mode: no line-end translation, and no end of input at a
// Ctrl-Z byte on Windows.
void set_stdin_binary();

// Reads into `buffer` what standard input holds, at most `size` bytes, waiting until there is
// one byte at least: the count read, or 0 at the end of input or on an error.
size_t read_standard_input(char* buffer, size_t size);

// Fills the slots of standard input, output and error that the process was started without
// (as by `>&-`) with a descriptor that refuses writes. A file opened later then cannot take
// such a slot and receive what was meant for standard output, and a write to a closed
// standard output fails where it is made.
void hold_standard_descriptors();

// Whether standard output is a terminal (a console window on Windows), not a file, a pipe
// or the null device.
bool stdout_is_terminal();

}  // namespace qbkit
