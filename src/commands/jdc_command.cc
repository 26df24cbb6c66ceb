// "jdc": one raw compressed stream decoded into uncomp.bin.
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "common/file_io.h"
#include "common/format.h"
#include "lzss/decoder.h"

namespace qbkit::commands {

ExitStatus cmd_jdc(const Invocation& call) {
  const std::string& path = call.args[0];
  std::ostream& out = call.console.out;
  out << format("Unpacking '%s'...\n", path.c_str());
  const Bytes file = read_input(path);
  out << format("Allocating %llu bytes...\n", static_cast<unsigned long long>(file.size()));
  out << "Reading...\n";
  out << "Allocating...\n";
  out << "Decompressing...\n";
  const Bytes decoded = lzss::decompress_raw(file);
  const std::string output = "uncomp.bin";
  if (!write_file_atomic(output, decoded)) throw_cannot_write(output);
  return kExitOk;
}

}  // namespace qbkit::commands
