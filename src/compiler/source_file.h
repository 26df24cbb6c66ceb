// Reading script texts from disk for the compiler.
#pragma once

#include <optional>
#include <string>

#include "common/bytes.h"

namespace qbkit::compiler {

// The whole file in binary mode, in a buffer with room for one more byte, so that the lexer
// appends its terminating zero byte without copying the text; nullopt when the file cannot be
// opened or read.
std::optional<Bytes> read_source_file(const std::string& path);

// Whether `path` names a regular file (links followed). An included file is checked before
// it is opened: opening a FIFO would wait for a writer forever, and a device such as
// /dev/zero would be read until memory runs out.
bool is_regular_file(const std::string& path);

}  // namespace qbkit::compiler
