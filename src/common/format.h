// printf-style formatting into a std::string, for the messages and texts whose exact
// form is given as a printf format.
#pragma once

#include <string>

#include "common/portability.h"

namespace qbkit {

QBKIT_PRINTF_FORMAT(1, 2) std::string format(const char* fmt, ...);

// Appends the formatted text to `out`.
QBKIT_PRINTF_FORMAT(2, 3) void append_format(std::string& out, const char* fmt, ...);

}  // namespace qbkit
