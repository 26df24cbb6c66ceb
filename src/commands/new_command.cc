// "new": an empty archive.
#include "commands/command_files.h"
#include "commands/commands.h"
#include "pre/archive.h"

namespace qbkit::commands {

ExitStatus cmd_new(const Invocation& call) {
  const std::string& archive_path = call.args[0];
  check_output(call.files, archive_path);
  const Bytes archive = pre::empty_archive();
  const ByteSpan piece = archive;
  write_output(call.files, archive_path, std::span<const ByteSpan>(&piece, 1));
  return kExitOk;
}

}  // namespace qbkit::commands
