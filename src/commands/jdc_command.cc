// "jdc": one raw compressed stream decoded into uncomp.bin.
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "common/format.h"
#include "lzss/decoder.h"

namespace qbkit::commands {

ExitStatus cmd_jdc(const Invocation& call) {
  const std::string& path = call.args[0];
  std::ostream& out = call.progress;
  out << format("Unpacking '%s'...\n", path.c_str());
  const Bytes file = read_input(path);
  check_output(call.files, "uncomp.bin");
  out << format("Allocating %llu bytes...\n", static_cast<unsigned long long>(file.size()));
  out << "Reading...\n";
  out << "Allocating...\n";
  out << "Decompressing...\n";
  const Bytes decoded = lzss::decompress_raw(file);
  const ByteSpan piece = decoded;
  write_output(call.files, "uncomp.bin", std::span<const ByteSpan>(&piece, 1));
  return kExitOk;
}

}  // namespace qbkit::commands
