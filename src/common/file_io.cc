#include "common/file_io.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qbkit {

std::optional<Bytes> read_file(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  // Read straight into a buffer of the file's size; keep reading in case the file grew, and
  // trim if it shrank.
  std::error_code ec;
  const uintmax_t expected = std::filesystem::file_size(path, ec);
  Bytes data(ec ? 0 : static_cast<size_t>(expected));
  size_t used = 0;
  for (;;) {
    if (used < data.size()) {
      const size_t n = std::fread(data.data() + used, 1, data.size() - used, f);
      if (n == 0) break;
      used += n;
      continue;
    }
    // The buffer is full: grow it only if the file really has more.
    uint8_t chunk[1 << 14];
    const size_t n = std::fread(chunk, 1, sizeof chunk, f);
    if (n == 0) break;
    data.insert(data.end(), chunk, chunk + n);
    used += n;
  }
  data.resize(used);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return data;
}

bool write_file_atomic(const std::string& path, ByteSpan data) {
  namespace fs = std::filesystem;
  std::string tmp = path + ".qbkit-tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
  std::error_code ec;
  if (ok) {
    fs::rename(tmp, path, ec);
    ok = !ec;
  }
  if (!ok) fs::remove(tmp, ec);
  return ok;
}

bool write_file_atomic(const std::string& path, const std::string& text) {
  return write_file_atomic(path, ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string canonical_path(const std::string& path) {
  std::error_code ec;
  std::filesystem::path resolved = std::filesystem::canonical(path, ec);
  if (ec) return path;
  return resolved.string();
}

}  // namespace qbkit
