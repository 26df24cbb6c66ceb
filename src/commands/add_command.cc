// "add" and "addx": one file appended to an existing archive, compressed or stored.
#include <limits>
#include <optional>
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "lzss/plain_encoder.h"
#include "pre/archive_edit.h"
#include "pre/member_names.h"

namespace qbkit::commands {
namespace {

// The archive is checked first, then the file is read and compressed; an archive that cannot
// be opened is reported only after that, as the progress lines come first.
ExitStatus add(const Invocation& call, bool compress) {
  const std::string& archive_path = call.args[0];
  const std::string& qb_path = call.args[1];
  std::ostream& out = call.console.out;
  pre::check_storable(std::span<const std::string>(&qb_path, 1));
  const std::optional<AppendTarget> target = open_for_append(archive_path);
  if (target) check_output(call.files, archive_path);
  std::optional<Bytes> qb = read_file(qb_path);
  if (!qb) throw_cannot_read_member(qb_path);
  call.progress << format("Adding '%s'\n", qb_path.c_str());
  check_member_size(qb->size(), qb_path, archive_path);
  pre::MemberData member{static_cast<uint32_t>(qb->size()), 0, *qb};
  Bytes stream;
  if (compress) {
    stream = lzss::compress_plain(*qb);
    out << statistics_line(qb->size(), stream.size());
    member.compressed_size = static_cast<uint32_t>(stream.size());
    member.data = stream;
  }
  if (!target) throw_cannot_open_archive(archive_path);
  pre::ArchiveEdit edit = pre::add_member(target->archive, archive_path, qb_path, member);
  out << edit.out;
  call.console.err << edit.err;
  if (edit.too_large) throw_too_large(archive_path, *edit.too_large);
  write_output(call.files, archive_path, edit.writer.pieces());
  out << "Done...\n";
  return kExitOk;
}

}  // namespace

std::string statistics_line(size_t input_size, size_t compressed_size) {
  // The rate is rounded to a 32-bit float twice: after 1 - compressed/size, and after the
  // product with 100. An empty input gives minus infinity.
  float ratio;
  if (input_size == 0) {
    ratio = -std::numeric_limits<float>::infinity();
  } else {
    double c = static_cast<uint32_t>(compressed_size);
    double s = static_cast<uint32_t>(input_size);
    ratio = static_cast<float>(1.0 - c / s);
  }
  float rate = static_cast<float>(static_cast<double>(ratio) * 100.0);
  return format("Size: %i - Compressed: %i - Rate: %f%%\n", static_cast<int>(input_size),
                static_cast<int>(compressed_size), static_cast<double>(rate));
}

ExitStatus cmd_add(const Invocation& call) { return add(call, true); }

ExitStatus cmd_addx(const Invocation& call) { return add(call, false); }

}  // namespace qbkit::commands
