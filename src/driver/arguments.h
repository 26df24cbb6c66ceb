// The arguments of modes c, d and t after the mode: a warning for each that the mode ignores,
// and, after a failure, the command put right when an option stands in the file name's place.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

#include "common/console.h"

namespace qbkit {

// The mode letter of a command line: the second character of slot 1 after a dash; 0 if none.
char mode_letter(std::span<const std::string> args);

// "-o OUT" of modes c and d: right after the file name (slot 3), or after the switch (slot 4).
// The switch is read from the slot after the file name, or after OUT when -o comes first.
struct OutputOption {
  size_t at = 0;     // the slot of -o; 0 when the command line has none
  std::string path;  // OUT
  size_t switch_slot() const { return at == 3 ? 5 : 3; }
};
// Refuses (status 1) an -o without OUT after it.
OutputOption output_option(std::span<const std::string> args);

// Only the switch slot is read, and only as a switch the mode knows, besides -o OUT: every
// other argument is named in a warning, with the switch that was meant when it is near one
// (the same but for case, or within two edits).
void warn_ignored_arguments(std::span<const std::string> args, std::ostream& err);

// "qbkit -d -thug1 file.qb" tries to open a file named -thug1. When that file could not be
// opened and another argument can be the file name, a note gives the command put right.
void hint_misplaced_option(std::span<const std::string> args, const Console& console);

}  // namespace qbkit
