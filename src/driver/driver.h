// The command-line driver: reads the mode letter and the switches and runs one mode.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace qbkit {

// Runs one command. `args` is the whole command line, program name first. Everything the
// mode prints, and the message of an error it raises, goes to `out`. Returns the exit status.
int run_driver(std::span<const std::string> args, std::ostream& out);

}  // namespace qbkit
