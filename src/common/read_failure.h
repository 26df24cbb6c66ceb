// Why a file cannot be read, in the same words on every platform, for messages that name it.
#pragma once

#include <string>
#include <string_view>

namespace qbkit {

// One of "no such file", "permission denied", "is a folder", "not a regular file" or
// "cannot be read", for a path that read_file could not read. Asks the system again, so
// it describes the path as it is now.
std::string_view read_failure_reason(const std::string& path);

// The reason for a path at which nothing exists.
inline constexpr std::string_view kNoSuchFile = "no such file";

}  // namespace qbkit
