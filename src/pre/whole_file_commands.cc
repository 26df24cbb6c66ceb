// "new", "jdc" and "list": commands that write or read one file whole.
#include <ostream>

#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "pre/archive.h"
#include "pre/command_inputs.h"
#include "pre/commands.h"
#include "lzss/decoder.h"

namespace qbkit::pre {

ExitStatus cmd_new(const std::string& archive_path) {
  if (!write_file_atomic(archive_path, empty_archive()))
    throw Error(kExitNoAccess, format("Couldn't open file '%s'!\n", archive_path.c_str()));
  return kExitOk;
}

ExitStatus cmd_jdc(const std::string& path, std::ostream& out) {
  out << format("Unpacking '%s'...\n", path.c_str());
  const Bytes file = read_input(path);
  out << format("Allocating %llu bytes...\n", static_cast<unsigned long long>(file.size()));
  out << "Reading...\n";
  out << "Allocating...\n";
  out << "Decompressing...\n";
  const Bytes decoded = lzss::decompress_raw(file);
  if (!write_file_atomic("uncomp.bin", decoded)) throw Error(kExitNoAccess, "Couldn't open file 'uncomp.bin'!\n");
  return kExitOk;
}

// The lines of the entries that lie inside the file come before a damaged one is reported.
ExitStatus cmd_list(const std::string& path, std::ostream& out) {
  const Bytes file = read_input(path);
  const ArchiveHeader header = read_archive_header(file);
  const MemberWalk walk = walk_members(file, kHeaderSize, header.member_count);
  for (const Member& m : walk.members) out << format("%s 0x%08x\n", m.name.c_str(), shown_checksum(m.checksum));
  if (walk.damaged) throw_member_past_end(path, walk.members.size() + 1);
  return kExitOk;
}

}  // namespace qbkit::pre
