#include "common/read_failure.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qbkit {

std::string_view read_failure_reason(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec == std::errc::permission_denied) return "permission denied";
  if (status.type() == fs::file_type::not_found || ec == std::errc::no_such_file_or_directory ||
      ec == std::errc::not_a_directory) {
    return kNoSuchFile;
  }
  if (ec) return "cannot be read";
  if (status.type() == fs::file_type::directory) return "is a folder";
  if (status.type() != fs::file_type::regular) return "not a regular file";
  // A regular file: the open tells whether it may be read.
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return errno == EACCES ? "permission denied" : "cannot be read";
  std::fclose(f);
  return "cannot be read";
}

}  // namespace qbkit
