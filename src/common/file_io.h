// The one module that touches files. Everything else works on byte buffers in memory.
#pragma once

#include <optional>
#include <string>

#include "common/bytes.h"

namespace qbkit {

// Reads the whole file in binary mode; nullopt when it cannot be opened or read.
std::optional<Bytes> read_file(const std::string& path);

// Writes `data` as the whole content of `path`, atomically: the bytes go to a temporary
// file beside the target, which is then renamed over it. On failure the temporary file is
// removed, an existing file at `path` is left as it was, and false is returned.
bool write_file_atomic(const std::string& path, ByteSpan data);
bool write_file_atomic(const std::string& path, const std::string& text);

// The canonical form of an existing file's path (absolute, links resolved), which tells
// whether two names reach the same file; the path as given when it cannot be resolved.
std::string canonical_path(const std::string& path);

}  // namespace qbkit
