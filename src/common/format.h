// printf-style formatting into a std::string, for the messages and texts whose exact
// form is given as a printf format.
#pragma once

#include <string>
#include <string_view>

#include "common/portability.h"

namespace qbkit {

QBKIT_PRINTF_FORMAT(1, 2) std::string format(const char* fmt, ...);

// Appends the formatted text to `out`.
QBKIT_PRINTF_FORMAT(2, 3) void append_format(std::string& out, const char* fmt, ...);

// `text` for a message: each control byte (below 0x20, and 0x7F) shown as \xNN, so that a
// name with a line end or a tab in it stays one readable line.
std::string show_control_bytes(std::string_view text);

}  // namespace qbkit
