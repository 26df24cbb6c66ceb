#include <optional>

#include "common/file_io.h"
#include "common/platform.h"
#include "common/read_failure.h"
#include "compiler/compiler.h"

namespace qbkit {
namespace {

// Only regular files: read_file fails on anything else as on a missing file. The spare byte
// of capacity spares the compiler a copy when it appends its terminating zero.
LoadedSource load(const std::string& path) {
  std::optional<Bytes> data = read_file(path, 1);
  if (!data) return {{}, {}, std::string(read_failure_reason(path))};
  return {std::move(*data), canonical_path(path), {}};
}

bool is_separator(char c) { return c != ':' && kDirectorySeparators.find(c) != std::string_view::npos; }

// A name that starts at a root ("/a", and on Windows "\a", "C:\a" or "C:a"): no folder comes
// before it.
bool is_rooted(const std::string& name) {
  if (name.empty()) return false;
  return is_separator(name[0]) || (name.size() > 1 && name[1] == ':' && kDirectorySeparators.find(':') != std::string_view::npos);
}

// `name` in `folder`: the name itself when either is rooted or the folder is the working one.
std::string in_folder(const std::string& folder, const std::string& name) {
  if (folder.empty() || is_rooted(name)) return name;
  return is_separator(folder.back()) ? folder + name : folder + "/" + name;
}

}  // namespace

LoadedSource load_from_folder(const std::string& folder, const std::string& name, const std::string& including) {
  LoadedSource here = load(in_folder(folder, name));
  if (here.failure != kNoSuchFile || is_rooted(name)) return here;
  const size_t cut = including.find_last_of(kDirectorySeparators);
  if (cut == std::string::npos) return here;
  const std::string beside = including.substr(0, cut + 1) + name;
  LoadedSource there = load(beside);
  if (!there.failure.empty()) return here;
  there.path = beside;
  return there;
}

LoadedSource load_from_disk(const std::string& name, const std::string& including) {
  return load_from_folder({}, name, including);
}

}  // namespace qbkit
