// The compiler: script text to a QB file, in one pass.
#pragma once

#include <iosfwd>
#include <string>

#include "common/settings.h"

namespace qbkit {

// Mode c. Returns the exit status; errors are raised as qbkit::Error.
int compile_file(const std::string& path, const Settings& settings, std::ostream& out);

}  // namespace qbkit
