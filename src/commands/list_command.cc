// "list": the members of an archive and their name checksums.
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "common/format.h"
#include "pre/archive.h"

namespace qbkit::commands {

// The lines of the entries that lie inside the file come before a damaged one is reported.
ExitStatus cmd_list(const Invocation& call) {
  const std::string& path = call.args[0];
  const Bytes file = read_input(path);
  const pre::ArchiveHeader header = pre::read_archive_header(file);
  const pre::MemberWalk walk = pre::walk_members(file, pre::kHeaderSize, header.member_count);
  for (const pre::Member& m : walk.members)
    call.console.out << format("%s 0x%08x\n", m.name.c_str(), pre::shown_checksum(m.checksum));
  if (walk.damaged) pre::throw_member_past_end(path, walk.members.size() + 1);
  return kExitOk;
}

}  // namespace qbkit::commands
