// "update": members of an existing archive replaced, and new ones appended.
#include <optional>
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "commands/member_buffers.h"
#include "common/error.h"
#include "pre/archive_edit.h"
#include "pre/member_names.h"

namespace qbkit::commands {

// The member files are read before an archive that cannot be opened is reported, and
// compressed only once it is open.
ExitStatus cmd_update(const Invocation& call) {
  const std::string& archive_path = call.args[0];
  const std::span<const std::string> paths = call.args.subspan(1);
  pre::check_storable(paths);
  pre::check_one_file_per_member(paths);
  const std::optional<AppendTarget> target = open_for_append(archive_path);
  if (target) check_output(call.files, archive_path);
  const MemberFiles files(paths, archive_path);
  if (!target) throw_cannot_open_archive(archive_path);
  const GameStreams streams(files.all());
  pre::ArchiveEdit edit = pre::update_members(target->archive, paths, streams.members());
  call.console.out << edit.out;
  call.progress << edit.progress;
  if (edit.too_large) throw_too_large(archive_path, *edit.too_large);
  write_output(call.files, archive_path, edit.writer.pieces());
  call.console.out << "Done...\n";
  return kExitOk;
}

}  // namespace qbkit::commands
