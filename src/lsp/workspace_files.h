// The script files of the workspace on disk: how the engine names them (a key that is the
// same for every spelling of one path), reads them, and finds them under a folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qbkit::lsp {

// The key of a file in the engine's maps: its absolute path, made lexically normal, with '/'
// between its parts and, where the file system ignores case, in lower case. Two URIs or paths
// that name one file in different spellings ("C%3A" and "c:") get one key.
std::string file_key(const std::filesystem::path& path);
// The key of a "file:" URI, or the URI itself for any other scheme ("untitled:").
std::string file_key_of_uri(std::string_view uri);

// Whether the file is script text or a table file: ".qbs" or ".qbi", in any case.
bool is_script_file(const std::filesystem::path& path);

// What the engine reads of the disk: the workspace's files, the files that documents include
// and the archives. The server reads the disk; a test or a fuzz target may hand it another.
class WorkspaceFiles {
 public:
  virtual ~WorkspaceFiles() = default;
  // The bytes of the regular file at `path`, or nullopt with the reason in `failure` (in
  // read_failure_reason's words).
  virtual std::optional<std::string> read(const std::filesystem::path& path, std::string* failure = nullptr) = 0;
  // Every script file below `folder`, in the order of their paths.
  virtual std::vector<std::filesystem::path> script_files_under(const std::filesystem::path& folder) = 0;
};

class DiskFiles final : public WorkspaceFiles {
 public:
  std::optional<std::string> read(const std::filesystem::path& path, std::string* failure = nullptr) override;
  // In every subfolder but hidden ones (".git"); links to folders are not followed, and
  // folders that cannot be read are passed over. A folder that holds more than
  // kMostEntries files and folders in all (a drive's root) is searched that far.
  std::vector<std::filesystem::path> script_files_under(const std::filesystem::path& folder) override;
  static constexpr size_t kMostEntries = 200'000;
};

}  // namespace qbkit::lsp
