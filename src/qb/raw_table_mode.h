// Mode t (deprecated): copies the name-record area of a QB file, as raw bytes, into a file
// beside it.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "common/bytes.h"
#include "common/error.h"

namespace qbkit::qb {

// Where the copy starts within `scanned` (the input bytes from offset 3 on): between the
// line breaks of a line break, a token that is no name, a line break and a name record;
// failing that, at the first name record after a line break (`warned` is set); failing
// that, at 2.
size_t raw_table_start(ByteSpan scanned, bool& warned);

// Mode t on the QB file at `path`: prints the deprecation line and the mode's messages to
// `out`, writes path + ".tab", and returns the exit status (kExitOk or kExitFailure).
ExitStatus raw_table_mode(const std::string& path, std::ostream& out);

}  // namespace qbkit::qb
