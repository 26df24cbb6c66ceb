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

// The bytes of the regular file at `path`, or nullopt with the reason in `failure` (in
// read_failure_reason's words).
std::optional<std::string> read_script_file(const std::filesystem::path& path, std::string* failure = nullptr);

// Whether the file is script text or a table file: ".qbs" or ".qbi", in any case.
bool is_script_file(const std::filesystem::path& path);

// Every script file below `folder`, in every subfolder but hidden ones (".git"), in the order
// of their paths. Links to folders are not followed; folders that cannot be read are passed
// over.
std::vector<std::filesystem::path> script_files_under(const std::filesystem::path& folder);

}  // namespace qbkit::lsp
