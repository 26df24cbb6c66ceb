// Mode k: the table lines that declare new names with the game's own checksums.
#pragma once

#include <span>
#include <string>

#include "common/console.h"
#include "common/error.h"

namespace qbkit::qb {

// Prints the table line of each name (put_table_line) to `console.out`, ready to be appended
// to a table file, and returns kExitOk. Without names it prints a one-line usage naming `program`
// and returns kExitFailure. A name that no table line can hold (a double quote or a control
// character in it) is refused with qbkit::Error (status 1) before anything is printed.
ExitStatus checksum_mode(const std::string& program, std::span<const std::string> names, const Console& console);

}  // namespace qbkit::qb
