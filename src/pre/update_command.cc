// "update": members of an existing archive replaced, and new ones appended.
#include <optional>
#include <ostream>

#include "common/error.h"
#include "pre/archive_edit.h"
#include "pre/command_inputs.h"
#include "pre/commands.h"
#include "pre/member_buffers.h"
#include "pre/member_names.h"

namespace qbkit::pre {

// The member files are read before an archive that cannot be opened is reported, and
// compressed only once it is open.
ExitStatus cmd_update(const std::string& archive_path, std::span<const std::string> paths, std::ostream& out) {
  check_storable(paths);
  const std::optional<AppendTarget> target = open_for_append(archive_path);
  const MemberFiles files(paths, archive_path);
  if (!target) throw_cannot_open_archive(archive_path);
  const GameStreams streams(files);
  ArchiveEdit edit = update_members(target->archive, paths, streams.members());
  out << edit.out;
  if (edit.too_large) throw_too_large(archive_path, *edit.too_large);
  write_archive(archive_path, edit.writer.pieces());
  out << "Done...\n";
  return kExitOk;
}

}  // namespace qbkit::pre
