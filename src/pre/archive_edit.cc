#include "pre/archive_edit.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "common/format.h"
#include "pre/member_names.h"
#include "pre/update_match.h"

namespace qbkit::pre {
namespace {

void note_size_mistake(const AppendableArchive& archive, ArchiveEdit& edit) {
  if (archive.size_mistake()) edit.out += "Oh, a filesize mistake...\n";
}

// The entries from `start` to `end` of `file` as they stand, `count` of them. The last
// entry's padding may lie past the end of the file: zero bytes stand in for it.
void copy_run(ArchiveWriter& writer, ByteSpan file, size_t start, size_t end, uint32_t count) {
  const size_t kept = std::min(end, file.size());
  writer.copy_entries(file.subspan(start, kept - start), count);
  writer.zeros(end - kept);
}

// After an entry for `name` was written: whether the archive still fits its 32-bit sizes. If
// not, the edit stops at that member.
bool still_fits(ArchiveEdit& edit, const std::string& name, uint32_t member_size) {
  if (sizes_fit(edit.writer.size(), member_size)) return true;
  edit.too_large = name;
  return false;
}

// A name stored with "." parts or doubled separators has the checksum of those, while the
// game looks its members up by their tidied names: it never finds such a member, which is
// warned of. Appending a name the archive holds already gives it two entries of one name:
// warned of, since the game may read either.
void warn_of_name(const AppendableArchive& archive, const std::string& archive_path, const std::string& name,
                  ArchiveEdit& edit) {
  const std::string tidy = tidy_member_name(name);
  if (tidy != name) {
    edit.err += format("Warning: the game looks members up by their tidied name '%s' and will never find '%s'\n",
                       tidy.c_str(), name.c_str());
    return;
  }
  const std::string key = member_key(name);
  for (const Member& m : archive.entries.members) {
    if (member_key(m.name) != key) continue;
    edit.err += format("Warning: '%s' already holds a member '%s' of this name; the game may read either entry. "
                       "To replace a member, use update.\n",
                       archive_path.c_str(), m.name.c_str());
    return;
  }
}

// The old entries of an update: runs of kept entries straight from the archive, the others
// with new data from the file that `source` names. An entry that gets new data keeps its name
// field, and so its checksum. False when the edit stopped at a member too large.
bool write_old_entries(const AppendableArchive& archive, const std::vector<size_t>& source,
                       std::span<const std::string> files, std::span<const MemberData> data, ArchiveEdit& edit) {
  const std::vector<Member>& members = archive.entries.members;
  size_t run_start = kHeaderSize;
  uint32_t run_count = 0;
  for (size_t e = 0; e < members.size(); ++e) {
    const Member& m = members[e];
    if (source[e] == UpdateMatch::kKept) {
      if (run_count == 0) run_start = m.offset;
      ++run_count;
      continue;
    }
    if (run_count > 0) copy_run(edit.writer, archive.file, run_start, m.offset, std::exchange(run_count, 0));
    const MemberData& d = data[source[e]];
    edit.writer.entry(d.uncompressed_size, d.compressed_size, m.checksum,
                      archive.file.subspan(m.offset + kEntryFieldsSize, m.name_length), d.data);
    if (!still_fits(edit, files[source[e]], 0)) return false;
  }
  if (run_count > 0) copy_run(edit.writer, archive.file, run_start, next_entry(members.back()), run_count);
  return true;
}

}  // namespace

AppendableArchive appendable_archive(ByteSpan file, const std::string& path) {
  MemberWalk entries = appendable_entries(file, path);
  return {file, read_archive_header(file), std::move(entries)};
}

ArchiveEdit add_member(const AppendableArchive& archive, const std::string& archive_path, const std::string& name,
                       const MemberData& member) {
  ArchiveEdit edit(archive.header.format_tag);
  note_size_mistake(archive, edit);
  warn_of_name(archive, archive_path, name, edit);
  copy_run(edit.writer, archive.file, kHeaderSize, archive.entries.end, archive.header.member_count);
  edit.writer.named_entry(name, false, member.uncompressed_size, member.compressed_size, member.data);
  still_fits(edit, name, member.uncompressed_size);
  return edit;
}

ArchiveEdit update_members(const AppendableArchive& archive, std::span<const std::string> files,
                           std::span<const MemberData> data) {
  ArchiveEdit edit(archive.header.format_tag);
  note_size_mistake(archive, edit);
  std::vector<std::string_view> names;
  names.reserve(archive.entries.members.size());
  for (const Member& m : archive.entries.members) names.push_back(m.name);
  const UpdateMatch match = match_update(names, files);
  for (size_t k = 0; k < files.size(); ++k)
    edit.progress += format(match.updates[k] ? "Updating '%s'\n" : "Adding '%s'\n", files[k].c_str());
  if (!write_old_entries(archive, match.source, files, data, edit)) return edit;
  // A new entry is named as typed less its "." parts and repeated separators: the name the
  // game looks up.
  for (const UpdateMatch::NewEntry& a : match.appended) {
    const MemberData& d = data[a.data];
    edit.writer.named_entry(tidy_member_name(files[a.name]), true, d.uncompressed_size, d.compressed_size, d.data);
    if (!still_fits(edit, files[a.data], 0)) break;
  }
  return edit;
}

ArchiveEdit replace_members(const AppendableArchive& archive, std::span<const size_t> entries,
                            std::span<const MemberData> data) {
  ArchiveEdit edit(archive.header.format_tag);
  note_size_mistake(archive, edit);
  const std::vector<Member>& members = archive.entries.members;
  std::vector<size_t> source(members.size(), UpdateMatch::kKept);
  std::vector<std::string> names;
  for (size_t i = 0; i < entries.size(); ++i) {
    source[entries[i]] = i;
    names.push_back(members[entries[i]].name);
    edit.progress += format("Updating '%s'\n", names.back().c_str());
  }
  write_old_entries(archive, source, names, data, edit);
  return edit;
}

ArchiveEdit pack_members(std::span<const std::string> names, std::span<const MemberData> data) {
  ArchiveEdit edit(kFormatTag);
  for (size_t k = 0; k < names.size(); ++k) {
    edit.progress += format("Packing '%s'\n", names[k].c_str());
    edit.writer.named_entry(names[k], true, data[k].uncompressed_size, data[k].compressed_size, data[k].data);
    if (!still_fits(edit, names[k], 0)) break;
  }
  return edit;
}

}  // namespace qbkit::pre
