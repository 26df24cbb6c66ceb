#include "pre/extract.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "pre/lzss.h"

namespace qbkit::pre {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool has_drive_prefix(std::string_view name) {
  return name.size() >= 2 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
         name[1] == ':';
}

}  // namespace

std::vector<std::string> name_parts(std::string_view name) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < name.size()) {
    while (i < name.size() && is_separator(name[i])) ++i;
    size_t start = i;
    while (i < name.size() && !is_separator(name[i])) ++i;
    if (i > start) parts.emplace_back(name.substr(start, i - start));
  }
  return parts;
}

bool is_safe_member_name(std::string_view name) {
  if (name.empty() || is_separator(name.front()) || is_separator(name.back())) return false;
  std::vector<std::string> parts = name_parts(name);
  // A drive letter and colon anywhere, not only in front: on Windows a path part like "C:"
  // restarts the path on that drive, so "a\C:\x.qb" would make directories outside.
  for (const std::string& part : parts)
    if (part == ".." || has_drive_prefix(part)) return false;
  // The last part becomes a file: "." names a directory and cannot be one.
  return !parts.empty() && parts.back() != ".";
}

std::string member_output_path(std::string_view name) {
  std::string path;
  for (const std::string& part : name_parts(name)) {
    if (!path.empty()) path += '/';
    path += part;
  }
  return path;
}

void check_member_names(const Archive& archive) {
  for (const Member& m : archive.members)
    if (!is_safe_member_name(m.name))
      throw Error(1, format("Refusing unsafe member name '%s'\n", m.name.c_str()));
}

std::vector<ExtractedMember> decode_members(const Archive& archive, const std::string& path,
                                            std::ostream& out) {
  std::vector<ExtractedMember> result;
  result.reserve(archive.members.size());
  for (size_t k = 0; k < archive.members.size(); ++k) {
    const Member& m = archive.members[k];
    out << format("Extracting '%s'...\n", m.name.c_str());
    ExtractedMember extracted{m.name, {}};
    if (m.stored()) {
      extracted.data.assign(m.data.begin(), m.data.end());
    } else {
      std::optional<Bytes> data = decompress_member(m.data, m.uncompressed_size);
      if (!data)
        throw Error(1, format("Archive '%s' is damaged: member %i does not decode to its size\n",
                              path.c_str(), static_cast<int>(k + 1)));
      extracted.data = std::move(*data);
    }
    result.push_back(std::move(extracted));
  }
  return result;
}

void write_members(const std::vector<ExtractedMember>& members) {
  namespace fs = std::filesystem;
  for (const ExtractedMember& m : members) {
    const std::string target = member_output_path(m.name);
    std::error_code ec;
    // Existing directories are fine; any other failure shows when the file is written.
    fs::create_directories(fs::path(target).parent_path(), ec);
    // No empty directory may stand where the file goes (removing a non-empty one fails).
    if (fs::is_directory(target, ec)) fs::remove(target, ec);
    if (!write_file_atomic(target, m.data))
      throw Error(2, format("Couldn't open file '%s'!\n", target.c_str()));
  }
}

}  // namespace qbkit::pre
