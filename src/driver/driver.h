// The command-line driver: reads the mode letter and the switches and runs one mode.
#pragma once

#include <span>
#include <string>

#include "common/console.h"
#include "common/error.h"

namespace qbkit {

// Runs one command. `args` is the whole command line, program name first. What the mode
// prints, and the message of an error it raises, goes to `console.out`; warnings and hints go
// to `console.err`. Returns the exit status.
ExitStatus run_driver(std::span<const std::string> args, const Console& console);

}  // namespace qbkit
