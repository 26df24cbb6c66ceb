// Mode p: new, add, addx, x, jdc and list. Each reads its inputs whole, works in memory and
// writes whole files atomically; progress and errors are lines on the output stream.
#include "pre/pre_commands.h"

#include <algorithm>
#include <ostream>

#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "pre/archive.h"
#include "pre/extract.h"
#include "pre/lzss.h"
#include "pre/name_checksum.h"

namespace qbkit {
namespace {

using pre::ArchiveHeader;


int print_usage(std::ostream& out) {
  out << "Usage:\n"
      << "\tnew filename.prd\n"
      << "\tadd filename.prd filename.qb magic\n\n"
      << "magic = magic value of the QB, use HEX numbers!\n"
      << "Example:\n\t"
      << "-p add qb_scripts.prd scripts\\game\\menu\\gamemenu_pause.qb .\\gamemenu_pause.qb "
         "0x3f142ab9\n";
  return 1;
}

[[noreturn]] void throw_too_large(const std::string& archive_path, const std::string& qb_path) {
  throw Error(1, format("Archive '%s' cannot hold '%s': an archive holds at most 4 GiB\n",
                        archive_path.c_str(), qb_path.c_str()));
}

Bytes read_input(const std::string& path) {
  std::optional<Bytes> data = read_file(path);
  if (!data) throw Error(2, format("Couldn't open file '%s' for reading!\n", path.c_str()));
  return std::move(*data);
}

int cmd_new(const std::string& archive_path) {
  if (!write_file_atomic(archive_path, pre::empty_archive()))
    throw Error(2, format("Couldn't open file '%s'!\n", archive_path.c_str()));
  return 0;
}

// The archive to append to, locked until the returned object goes away.
LockedFile lock_archive(const std::string& path) {
  std::optional<LockedFile> locked = LockedFile::open(path);
  if (!locked) throw Error(2, format("Couldn't open file '%s' for reading!\n", path.c_str()));
  return std::move(*locked);
}

// "add" (compressed) and "addx" (stored). The magic argument is not used: the entry's
// checksum is always computed from the name.
int cmd_add(const std::string& archive_path, const std::string& qb_path, bool compress,
            std::ostream& out) {
  // A name that extraction would refuse would make the whole archive unextractable.
  if (!pre::is_safe_member_name(qb_path)) pre::throw_unsafe_name(qb_path);
  std::optional<Bytes> qb = read_file(qb_path);
  if (!qb) throw Error(2, format("Couldn't open QB file '%s' for reading!\n", qb_path.c_str()));
  out << format("Adding '%s'\n", qb_path.c_str());
  // Sizes in an archive are 32-bit: a bigger member would be stored with a wrapped size.
  if (!pre::sizes_fit(0, qb->size())) throw_too_large(archive_path, qb_path);
  auto uncompressed_size = static_cast<uint32_t>(qb->size());
  uint32_t compressed_size = 0;
  Bytes stream;
  if (compress) {
    stream = pre::compress_fast(*qb);
    out << pre::statistics_line(qb->size(), stream.size());
    compressed_size = static_cast<uint32_t>(stream.size());
  }
  ByteSpan data = compress ? ByteSpan(stream) : ByteSpan(*qb);

  LockedFile archive = lock_archive(archive_path);
  ByteSpan file = archive.content();
  const size_t end = pre::appendable_end(file, archive_path);
  ArchiveHeader header = pre::read_archive_header(file);
  if (header.total_size != file.size()) out << "Oh, a filesize mistake...\n";

  // Header, the old entries straight from the read buffer, the new entry: one write.
  pre::ArchiveWriter writer(header.format_tag);
  const size_t kept = std::min(end, file.size());
  writer.copy_entries(file.subspan(pre::kHeaderSize, kept - pre::kHeaderSize), header.member_count);
  writer.zeros(end - kept);
  const Bytes name = pre::name_field(qb_path, false);
  writer.entry(uncompressed_size, compressed_size, pre::name_checksum(qb_path), name, data);
  if (!pre::sizes_fit(writer.size(), uncompressed_size)) throw_too_large(archive_path, qb_path);
  pre::write_archive(archive_path, writer.pieces());
  out << "Done...\n";
  return 0;
}

int cmd_extract(const std::string& path, std::ostream& out) {
  out << format("Loading '%s'... ", path.c_str());
  Bytes file = read_input(path);
  ArchiveHeader header = pre::read_archive_header(file);
  out << format("%llu bytes read - ", static_cast<unsigned long long>(file.size()));
  out << format("%u bytes wanted\n", static_cast<unsigned>(header.total_size));
  if (header.total_size != file.size())
    throw Error(1, "Filesizes don't match, this isn't an originally-Olvex-compressed PRE file!\n");
  if (header.format_tag != pre::kFormatTag)
    throw Error(1,
                "This is THUG PRE File - Olvex can only decompress Olvex-Compressed THUG PREs "
                "atm!\n");

  const pre::ExtractionPlan plan = pre::plan_extraction(file, header, path);
  pre::Extraction extraction(plan);
  for (size_t k = 0; k < plan.members.size(); ++k) {
    out << format("Extracting '%s'...\n", plan.members[k].name.c_str());
    extraction.write(k, pre::decode_member(plan.members[k], k + 1, path));
  }
  extraction.commit();
  return 0;
}

int cmd_jdc(const std::string& path, std::ostream& out) {
  out << format("Unpacking '%s'...\n", path.c_str());
  Bytes file = read_input(path);
  out << format("Allocating %llu bytes...\n", static_cast<unsigned long long>(file.size()));
  out << "Reading...\n";
  out << "Allocating...\n";
  out << "Decompressing...\n";
  Bytes decoded = pre::decompress_raw(file);
  if (!write_file_atomic("uncomp.bin", decoded)) throw Error(2, "Couldn't open file 'uncomp.bin'!\n");
  return 0;
}

int cmd_list(const std::string& path, std::ostream& out) {
  Bytes file = read_input(path);
  ArchiveHeader header = pre::read_archive_header(file);
  pre::MemberWalk walk = pre::walk_members(file, pre::kHeaderSize, header.member_count);
  for (const pre::Member& m : walk.members)
    out << format("%s 0x%08x\n", m.name.c_str(), pre::shown_checksum(m.checksum));
  if (walk.damaged) pre::throw_member_past_end(path, walk.members.size() + 1);
  return 0;
}

}  // namespace

int pre_command(std::span<const std::string> args, std::ostream& out) {
  if (args.empty()) return print_usage(out);
  const std::string& word = args[0];
  const size_t count = args.size() - 1;
  if (word == "new" && count == 1) return cmd_new(args[1]);
  if (word == "add" && count == 3) return cmd_add(args[1], args[2], true, out);
  if (word == "addx" && count == 3) return cmd_add(args[1], args[2], false, out);
  if (word == "x" && count == 1) return cmd_extract(args[1], out);
  if (word == "jdc" && count == 1) return cmd_jdc(args[1], out);
  if (word == "list" && count == 1) return cmd_list(args[1], out);
  return print_usage(out);
}

}  // namespace qbkit
