// "pack": a new archive in the game's layout from a member list.
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "commands/member_buffers.h"
#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "pre/archive_edit.h"
#include "pre/member_list.h"
#include "pre/member_names.h"

namespace qbkit::commands {

ExitStatus cmd_pack(const Invocation& call) {
  const std::string& archive_path = call.args[0];
  const std::string& list_path = call.args[1];
  const Bytes list = read_input(list_path);
  const std::vector<std::string> names =
      pre::parse_member_list(as_text(list));
  // An empty archive in place of the old one is never what a list was written for.
  if (names.empty())
    throw Error(kExitFailure,
                format("Member list '%s' names no member; nothing was changed (new makes an empty archive)\n",
                       list_path.c_str()),
                Echo::kWhenRedirected);
  pre::check_storable(names);
  check_output(call.files, archive_path);
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(pre::member_output_path(name));
  const MemberFiles files(paths, archive_path);
  const GameStreams streams(files.all());
  pre::ArchiveEdit edit = pre::pack_members(names, streams.members());
  call.console.out << edit.out;
  call.progress << edit.progress;
  if (edit.too_large) throw_too_large(archive_path, *edit.too_large);
  // An archive that is there already is locked while it is replaced, so that an append
  // running meanwhile lands before (and is replaced) or after (and is kept).
  const std::optional<LockedFile> lock = LockedFile::lock(archive_path);
  write_output(call.files, archive_path, edit.writer.pieces());
  call.console.out << "Done...\n";
  return kExitOk;
}

}  // namespace qbkit::commands
