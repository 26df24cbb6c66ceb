// Mode p: the PRE archive commands.
#pragma once

#include <span>
#include <string>

#include "common/console.h"
#include "common/error.h"

namespace qbkit {

// `args` starts with the sub-command; the arguments after it follow (their count is
// args.size() - 1). Returns the exit status; errors are raised as qbkit::Error.
ExitStatus pre_command(std::span<const std::string> args, const Console& console);

}  // namespace qbkit
