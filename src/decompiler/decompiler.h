// The decompiler: QB file to script text on standard output, plus its table file.
#pragma once

#include <iosfwd>
#include <string>

#include "common/settings.h"

namespace qbkit {

// Mode d. Returns the exit status; errors are raised as qbkit::Error.
int decompile_file(const std::string& path, const Settings& settings, std::ostream& out);

}  // namespace qbkit
