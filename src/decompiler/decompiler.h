// The decompiler: QB file to script text on standard output, plus its table file.
#pragma once

#include <iosfwd>
#include <string>

#include "common/bytes.h"
#include "common/settings.h"
#include "qb/name_table.h"

namespace qbkit {

// A decompiled stream: the whole script text and the names its name records carried.
struct Decompiled {
  std::string text;
  qb::NameTable names;
};

// Decompiles a QB stream held in memory; `path` is the name the include line gives the table
// file ("<path>_table.qbi"). Throws qbkit::Error (status 1) for an endcase token in the
// THUG1 layout, before any text exists.
Decompiled decompile(ByteSpan data, const std::string& path, const Settings& settings);

// Mode d. Returns the exit status; errors are raised as qbkit::Error.
int decompile_file(const std::string& path, const Settings& settings, std::ostream& out);

}  // namespace qbkit
