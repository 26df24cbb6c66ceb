#include "lsp/workspace_files.h"

#include <algorithm>
#include <system_error>

#include "common/file_io.h"
#include "common/platform.h"
#include "common/read_failure.h"
#include "lsp/uri.h"

namespace qbkit::lsp {
namespace {

namespace fs = std::filesystem;

std::string lowered(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return s;
}

// The path as the file functions take it, in UTF-8; nullopt for a name this system cannot spell.
std::optional<std::string> native_string(const fs::path& path) {
  try {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::string file_key(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) absolute = path;
  const std::u8string generic = absolute.lexically_normal().generic_u8string();
  std::string key(generic.begin(), generic.end());
  return kFileNamesIgnoreCase ? lowered(std::move(key)) : key;
}

std::string file_key_of_uri(std::string_view uri) {
  const std::optional<fs::path> path = path_from_uri(uri);
  return path ? file_key(*path) : std::string(uri);
}

std::optional<std::string> DiskFiles::read(const fs::path& path, std::string* failure) {
  const std::optional<std::string> name = native_string(path);
  std::optional<Bytes> bytes = name ? read_file(*name) : std::nullopt;
  if (!bytes) {
    if (failure) *failure = name ? std::string(read_failure_reason(*name)) : "no such file";
    return std::nullopt;
  }
  return std::string(bytes->begin(), bytes->end());
}

bool is_script_file(const fs::path& path) {
  const std::u8string extension = path.extension().u8string();
  const std::string ext = lowered(std::string(extension.begin(), extension.end()));
  return ext == ".qbs" || ext == ".qbi";
}

std::vector<fs::path> DiskFiles::script_files_under(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  size_t entries = 0;
  for (const fs::recursive_directory_iterator end; !ec && it != end && ++entries <= kMostEntries; it.increment(ec)) {
    std::error_code kind_error;
    if (it->is_directory(kind_error)) {
      // Hidden folders (".git", ".vscode") hold no scripts of the mod.
      if (it->path().filename().u8string().starts_with(u8".")) it.disable_recursion_pending();
    } else if (it->is_regular_file(kind_error) && is_script_file(it->path())) {
      files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace qbkit::lsp
