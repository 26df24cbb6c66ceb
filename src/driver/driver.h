// The command-line driver: reads the mode letter and the switches and runs one mode.
#pragma once

#include <span>
#include <string>

#include "common/console.h"
#include "common/error.h"
#include "common/file_system.h"

namespace qbkit {

// Runs one command. `args` is the whole command line, program name first. What the mode
// prints, and the message of an error it raises, goes to `console.out`; warnings and hints go
// to `console.err`. Returns the exit status. The archive commands write through `files`; the
// first form gives them the disk.
ExitStatus run_driver(std::span<const std::string> args, const Console& console);
ExitStatus run_driver(std::span<const std::string> args, const Console& console, FileSystem& files);

}  // namespace qbkit
