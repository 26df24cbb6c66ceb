// What `qbkit --help` and `qbkit --version` print.
#pragma once

#include <string>
#include <string_view>

namespace qbkit {

// The full help: every mode with its arguments, the switches, every archive command with an
// example, and the exit statuses. The end-to-end tests run its archive examples.
std::string help_text();

// The version line: the name and the version the build was configured with.
std::string_view version_line();

}  // namespace qbkit
