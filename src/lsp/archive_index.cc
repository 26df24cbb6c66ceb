#include "lsp/archive_index.h"

#include <algorithm>

#include "common/bytes.h"
#include "common/error.h"
#include "common/format.h"
#include "lsp/text_codec.h"
#include "lsp/uri.h"
#include "pre/archive.h"
#include "pre/member_names.h"
#include "qb/words.h"
#include "scripts/archive_scripts.h"
#include "scripts/script_text.h"

namespace qbkit::lsp {
namespace {

namespace fs = std::filesystem;

std::string utf8_of(const fs::path& path) {
  const std::u8string s = path.generic_u8string();
  return std::string(s.begin(), s.end());
}

// "ARCHIVE/MEMBER.qbs": the archive's file name, then the parts of the member's name with '/'
// between them and ".qbs" in place of its ".qb".
std::string member_path(std::string_view archive_name, std::string_view member_name) {
  std::string path(archive_name);
  for (const std::string& part : pre::name_parts(scripts::script_name(member_name))) path += "/" + part;
  return path;
}

// "ARCHIVE/FOLDER/MEMBER.qb_table.qbi": the table file beside the member's text, named as
// its %include line names it.
std::string table_path(std::string_view archive_name, std::string_view member_name) {
  std::string path(archive_name);
  const std::vector<std::string> parts = pre::name_parts(member_name);
  for (size_t k = 0; k + 1 < parts.size(); ++k) path += "/" + parts[k];
  return path + "/" + qb::table_file_path(scripts::member_file_name(member_name));
}

// The URI of a path within the archives (a member's text or its table file).
std::string uri_of_path(std::string_view path) { return std::string(kMemberScheme) + "/" + uri_escaped(path); }

// The path of a member URI, its escapes decoded; nullopt for a URI of another scheme.
std::optional<std::string> uri_member_path(std::string_view uri) {
  if (!uri.starts_with(kMemberScheme)) return std::nullopt;
  uri.remove_prefix(kMemberScheme.size());
  if (uri.starts_with("//")) uri.remove_prefix(2);  // an empty authority, as some clients write it
  while (uri.starts_with('/')) uri.remove_prefix(1);
  return uri_unescaped(uri);
}

// A path in a message to the user: one byte per character, as the engine's texts are.
std::string shown(const fs::path& archive) { return utf8_to_single_byte(utf8_of(archive)).bytes; }

// The message of an archive that cannot be read: the reason without its line end.
std::string unreadable(const fs::path& archive, std::string_view reason) {
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.remove_suffix(1);
  return format("qbkit.archives: '%s' cannot be read: %s", shown(archive).c_str(), std::string(reason).c_str());
}

}  // namespace

std::optional<std::string> shown_member_name(std::string_view uri) {
  std::optional<std::string> path = uri_member_path(uri);
  if (path) {
    if (const size_t slash = path->find('/'); slash != std::string::npos) (*path)[slash] = '!';
  }
  return path;
}

std::string member_uri(std::string_view archive_name, std::string_view member_name) {
  return uri_of_path(member_path(archive_name, member_name));
}

std::vector<std::string> ArchiveIndex::load(const std::vector<fs::path>& archives, WorkspaceFiles& files) {
  texts_.clear();
  by_path_.clear();
  tables_.clear();
  table_of_.clear();
  names_.clear();
  std::vector<std::string> messages;
  for (const fs::path& archive : archives) {
    for (std::string& m : load_one(archive, files)) messages.push_back(std::move(m));
  }
  return messages;
}

std::vector<std::string> ArchiveIndex::load_one(const fs::path& archive, WorkspaceFiles& files) {
  std::string failure;
  const std::optional<std::string> file = files.read(archive, &failure);
  if (!file) return {unreadable(archive, failure)};
  const std::string label = shown(archive);
  const ByteSpan bytes(reinterpret_cast<const uint8_t*>(file->data()), file->size());
  std::vector<pre::Member> members;
  std::vector<scripts::MemberContent> content;
  try {
    members = pre::archive_members(bytes, label);
    content = scripts::read_members(members, label, [](size_t, ByteSpan) { return true; });
  } catch (const Error& e) {
    return {unreadable(archive, e.message())};
  }
  // Two archives of one file name: the later one's members are told apart by its number.
  std::string name = utf8_of(archive.filename());
  if (std::find(names_.begin(), names_.end(), name) != names_.end()) name += format("~%d", static_cast<int>(names_.size() + 1));
  names_.push_back(name);
  size_t failed = 0;
  for (size_t k = 0; k < members.size(); ++k) {
    if (!content[k].script) continue;
    if (!content[k].script->failure.empty()) {
      ++failed;
      continue;
    }
    const std::string path = member_path(name, members[k].name);
    const std::string table = table_path(name, members[k].name);
    by_path_.emplace(path, texts_.size());
    texts_.push_back(std::make_shared<ScannedText>(member_uri(name, members[k].name), std::move(content[k].script->text)));
    SharedText table_text = std::make_shared<ScannedText>(uri_of_path(table), std::move(content[k].script->table));
    tables_.emplace(table, table_text);
    table_of_.emplace(path, std::move(table_text));
  }
  if (failed == 0) return {};
  return {format("qbkit.archives: '%s': %d of its scripts do not decompile and are not searched", shown(archive).c_str(),
                 static_cast<int>(failed))};
}

SharedText ArchiveIndex::find(std::string_view uri) const {
  const std::optional<std::string> path = uri_member_path(uri);
  if (!path) return nullptr;
  if (const auto it = by_path_.find(*path); it != by_path_.end()) return texts_[it->second];
  const auto table = tables_.find(*path);
  return table == tables_.end() ? nullptr : table->second;
}

SharedText ArchiveIndex::table_of(std::string_view uri) const {
  const std::optional<std::string> path = uri_member_path(uri);
  if (!path) return nullptr;
  const auto it = table_of_.find(*path);
  return it == table_of_.end() ? nullptr : it->second;
}

}  // namespace qbkit::lsp
