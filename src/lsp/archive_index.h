// The scripts of the archives that the qbkit.archives setting names: each QB member
// decompiled in memory as unpack writes its text, served under a URI of its own,
// "qbkit-member:/ARCHIVE/MEMBER.qbs", where ARCHIVE is the archive's file name (with "~N"
// after it for the Nth archive of the setting when an earlier one has that name).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/scanned_text.h"
#include "lsp/workspace_files.h"

namespace qbkit::lsp {

inline constexpr std::string_view kMemberScheme = "qbkit-member:";

class ArchiveIndex {
 public:
  // Reads and decompiles every archive of `archives` in place of what the index held. Returns
  // one message for each archive that cannot be read, and for each that holds QB members that
  // do not decompile.
  std::vector<std::string> load(const std::vector<std::filesystem::path>& archives, WorkspaceFiles& files);

  // The script texts of the members, archive by archive in the order of the setting, each in
  // member order.
  const std::vector<SharedText>& texts() const { return texts_; }
  // The text of the member with that URI, or of the table file beside it (escapes count as
  // the bytes they stand for), or nullptr.
  SharedText find(std::string_view uri) const;
  // The table file that the text of the member with that URI includes, or nullptr.
  SharedText table_of(std::string_view uri) const;

 private:
  std::vector<std::string> load_one(const std::filesystem::path& archive, WorkspaceFiles& files);

  std::vector<SharedText> texts_;
  std::map<std::string, size_t> by_path_;  // "ARCHIVE/MEMBER.qbs", unescaped: index in texts_
  // The table files, which references do not search: by the path of their own URI, and by
  // the path of the member text that includes them.
  std::map<std::string, SharedText> tables_;
  std::map<std::string, SharedText> table_of_;
  std::vector<std::string> names_;         // the ARCHIVE of each archive read
};

// A member URI as --refs names the member: "ARCHIVE!MEMBER.qbs"; nullopt for another URI.
std::optional<std::string> shown_member_name(std::string_view uri);

// The URI of the member `member_name` of the archive that URIs name `archive_name`.
std::string member_uri(std::string_view archive_name, std::string_view member_name);

}  // namespace qbkit::lsp
