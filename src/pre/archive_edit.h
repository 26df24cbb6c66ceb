// Archive editing in memory: add, update and pack as functions from the archive's bytes and
// the members' data to the pieces of the new archive and the lines that the command prints.
// Nothing here touches a file or prints; the commands read, lock, call these, write and print.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/bytes.h"
#include "pre/archive.h"

namespace qbkit::pre {

// What a new entry holds for one member.
struct MemberData {
  uint32_t uncompressed_size = 0;
  uint32_t compressed_size = 0;  // 0: stored
  ByteSpan data;                 // the compressed stream, or the member's bytes when stored
};

// An archive file that may be appended to, with its header and its entries (views into
// `file`, which must outlive it).
struct AppendableArchive {
  ByteSpan file;
  ArchiveHeader header;
  MemberWalk entries;

  // The header's total size is not the file's: the edit says so in its progress lines, and
  // the archive written gets the right size.
  bool size_mistake() const { return header.total_size != file.size(); }
};

// Refuses what appendable_entries refuses (status 1, `path` names the archive).
AppendableArchive appendable_archive(ByteSpan file, const std::string& path);

// A new archive as pieces (views into the old archive, the member data and the writer) and
// what the command prints before it writes them.
struct ArchiveEdit {
  explicit ArchiveEdit(uint32_t format_tag) : writer(format_tag) {}

  ArchiveWriter writer;
  std::string out;       // lines for standard output that always show (the size mistake), in order
  std::string progress;  // a progress line for each member, shown after `out` unless silenced
  std::string err;       // warnings for standard error
  // The member, as the command was given it, that took the archive past its 32-bit sizes:
  // the edit stops there, and the command refuses it after printing `out` and `err`.
  std::optional<std::string> too_large;
};

// "add" and "addx": `member` appended under the name `name`. A name that is not its own
// tidy_member_name is warned of as one the game never finds; otherwise a name that the archive
// holds already (as member_key sees names) is warned of, naming `archive_path`.
ArchiveEdit add_member(const AppendableArchive& archive, const std::string& archive_path, const std::string& name,
                       const MemberData& member);

// "update": the entries that `files` name get the data of the last file that names them and
// keep their name fields; files that name no entry are appended under their tidy names
// (match_update). Every other entry is kept byte for byte. A progress line for each file says
// whether it updates or adds a member. `data[k]` belongs to files[k].
ArchiveEdit update_members(const AppendableArchive& archive, std::span<const std::string> files,
                           std::span<const MemberData> data);

// "build": the entries numbered `entries` (from 0, in archive order) get `data[i]` and keep
// their name fields, as update gives them; every other entry is kept byte for byte. An
// "Updating" progress line names each.
ArchiveEdit replace_members(const AppendableArchive& archive, std::span<const size_t> entries,
                            std::span<const MemberData> data);

// "pack": a new archive in the game's layout holding `names` in order, `data[k]` under
// names[k], with a progress line for each.
ArchiveEdit pack_members(std::span<const std::string> names, std::span<const MemberData> data);

}  // namespace qbkit::pre
