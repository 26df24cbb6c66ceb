// The decompiler: QB file to script text on standard output, plus its table file.
#pragma once

#include <iosfwd>
#include <string>

#include "common/bytes.h"
#include "common/settings.h"
#include "qb/name_table.h"

namespace qbkit {

// Writes the script text of a QB stream held in memory to `out`, in pieces of a fixed size
// as it is produced, and returns the names that the stream's name records carry. `path` is
// the name the include line gives the table file ("<path>_table.qbi"). Throws qbkit::Error
// (status 1) for an endcase token in the THUG1 layout, before any text is written.
qb::NameTable decompile_to(ByteSpan data, const std::string& path, const Settings& settings,
                           std::ostream& out);

// A decompiled stream held whole: the script text and the names.
struct Decompiled {
  std::string text;
  qb::NameTable names;
};

// decompile_to into a string.
Decompiled decompile(ByteSpan data, const std::string& path, const Settings& settings);

// Mode d. Returns the exit status; errors are raised as qbkit::Error.
int decompile_file(const std::string& path, const Settings& settings, std::ostream& out);

}  // namespace qbkit
