// The archive commands of mode p, one row each: the word that names the command, how many
// arguments it takes, its lines of the help and the function that runs it. The dispatch of
// -p and the archive part of --help both read the table, so that a new command is one row
// and one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "common/console.h"
#include "common/error.h"
#include "common/file_system.h"

namespace qbkit::commands {

// What a command is given: its arguments (those after its word), where it prints and where it
// writes files. Progress lines ("Adding", "Extracting", ...) go to `progress`: the console's
// standard output, or nowhere when the command line ends in -q.
struct Invocation {
  std::span<const std::string> args;
  const Console& console;
  FileSystem& files;
  std::ostream& progress;
};

// Runs a command; returns the exit status, and raises qbkit::Error for a failure.
using CommandFunction = ExitStatus (*)(const Invocation& call);

inline constexpr size_t kNoLimit = SIZE_MAX;

struct Command {
  std::string_view word;
  size_t least;            // arguments after the word
  size_t most;             // kNoLimit: any number from `least` on
  std::string_view usage;  // the arguments as the help names them, "ARCHIVE FILE MAGIC"
  std::string_view help;   // what the help says of it; each line end starts a line of its own
  CommandFunction run;
};

// Mode p: runs the command that args[0] names with the arguments after it, when it takes that
// many; otherwise prints the archive commands' usage text (status 1). A last argument -q is
// taken off first: it silences the command's progress lines.
ExitStatus run_archive_command(std::span<const std::string> args, const Console& console, FileSystem& files);

// The archive commands' lines of --help: each command's word and arguments, then what it
// does, in columns.
std::string archive_commands_help();

}  // namespace qbkit::commands
