// "new": an empty archive.
#include "commands/command_files.h"
#include "commands/commands.h"
#include "common/file_io.h"
#include "pre/archive.h"

namespace qbkit::commands {

ExitStatus cmd_new(const Invocation& call) {
  const std::string& archive_path = call.args[0];
  if (!write_file_atomic(archive_path, pre::empty_archive())) throw_cannot_write(archive_path);
  return kExitOk;
}

}  // namespace qbkit::commands
