#include "compiler/source_file.h"

#include "compiler/huge_pages.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qbkit::compiler {

std::optional<Bytes> read_source_file(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  std::error_code ec;
  const uintmax_t expected = std::filesystem::file_size(path, ec);
  Bytes data;
  // A file whose size is unknown (a pipe) is read in pieces; one of known size in one go.
  const size_t first = ec ? 0 : static_cast<size_t>(expected);
  data.reserve(first + 1);
  prefer_huge_pages(data);
  data.resize(first);
  size_t used = 0;
  for (;;) {
    if (used == data.size()) {
      // Full: grow only if the file really has more (it may also have grown since).
      const int c = std::fgetc(f);
      if (c == EOF) break;
      data.push_back(static_cast<uint8_t>(c));
      data.resize(std::max(data.size() * 2, size_t{1} << 14));
      ++used;
      continue;
    }
    const size_t n = std::fread(data.data() + used, 1, data.size() - used, f);
    if (n == 0) break;
    used += n;
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  data.resize(used);
  if (data.capacity() == data.size()) data.reserve(data.size() + 1);
  return data;
}

bool is_regular_file(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace qbkit::compiler
