// Mode p: new, add, addx, x, jdc, list, pack and update. Each reads its inputs whole, works
// in memory and writes whole files atomically; progress and errors are lines on the output
// stream.
#include "pre/pre_commands.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <ostream>
#include <vector>

#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "common/page_buffer.h"
#include "common/parallel.h"
#include "pre/archive.h"
#include "pre/extract.h"
#include "pre/lzss.h"
#include "pre/lzss_game.h"
#include "pre/member_list.h"
#include "common/name_checksum.h"

namespace qbkit {

std::string pre::statistics_line(size_t input_size, size_t compressed_size) {
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
  return kExitFailure;
}

[[noreturn]] void throw_too_large(const std::string& archive_path, const std::string& qb_path) {
  throw Error(kExitFailure, format("Archive '%s' cannot hold '%s': an archive holds at most 4 GiB\n",
                        archive_path.c_str(), qb_path.c_str()));
}

Bytes read_input(const std::string& path) {
  std::optional<Bytes> data = read_file(path);
  if (!data) throw Error(kExitNoAccess, format("Couldn't open file '%s' for reading!\n", path.c_str()));
  return std::move(*data);
}

int cmd_new(const std::string& archive_path) {
  if (!write_file_atomic(archive_path, pre::empty_archive()))
    throw Error(kExitNoAccess, format("Couldn't open file '%s'!\n", archive_path.c_str()));
  return kExitOk;
}

// The archive to append to, locked until the returned object goes away.
LockedFile lock_archive(const std::string& path) {
  std::optional<LockedFile> locked = LockedFile::open(path);
  if (!locked) throw Error(kExitNoAccess, format("Couldn't open file '%s' for reading!\n", path.c_str()));
  return std::move(*locked);
}

// "add" (compressed) and "addx" (stored). The magic argument is not used: the entry's
// checksum is always computed from the name.
int cmd_add(const std::string& archive_path, const std::string& qb_path, bool compress,
            std::ostream& out) {
  // A name that extraction would refuse would make the whole archive unextractable.
  if (!pre::is_safe_member_name(qb_path)) pre::throw_unsafe_name(qb_path);
  std::optional<Bytes> qb = read_file(qb_path);
  if (!qb) throw Error(kExitNoAccess, format("Couldn't open QB file '%s' for reading!\n", qb_path.c_str()));
  out << format("Adding '%s'\n", qb_path.c_str());
  // Sizes in an archive are 32-bit: a bigger member would be stored with a wrapped size.
  if (!pre::sizes_fit(0, qb->size())) throw_too_large(archive_path, qb_path);
  auto uncompressed_size = static_cast<uint32_t>(qb->size());
  uint32_t compressed_size = 0;
  Bytes stream;
  if (compress) {
    stream = pre::compress_plain(*qb);
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
  writer.entry(uncompressed_size, compressed_size, name_checksum(qb_path), name, data);
  if (!pre::sizes_fit(writer.size(), uncompressed_size)) throw_too_large(archive_path, qb_path);
  pre::write_archive(archive_path, writer.pieces());
  out << "Done...\n";
  return kExitOk;
}

int cmd_extract(const std::string& path, std::ostream& out) {
  out << format("Loading '%s'... ", path.c_str());
  Bytes file = read_input(path);
  ArchiveHeader header = pre::read_archive_header(file);
  out << format("%llu bytes read - ", static_cast<unsigned long long>(file.size()));
  out << format("%u bytes wanted\n", static_cast<unsigned>(header.total_size));
  if (header.total_size != file.size())
    throw Error(kExitFailure, "Filesizes don't match, this isn't an originally-Olvex-compressed PRE file!\n");
  if (header.format_tag != pre::kFormatTag)
    throw Error(kExitFailure,
                "This is THUG PRE File - Olvex can only decompress Olvex-Compressed THUG PREs "
                "atm!\n");

  const pre::ExtractionPlan plan = pre::plan_extraction(file, header, path);
  pre::Extraction extraction(plan);
  Bytes buffer;  // every member is decoded into it in turn
  for (size_t k = 0; k < plan.members.size(); ++k) {
    out << format("Extracting '%s'...\n", plan.members[k].name.c_str());
    extraction.write(k, pre::decode_member(plan.members[k], k + 1, path, buffer));
  }
  extraction.commit();
  return kExitOk;
}

[[noreturn]] void throw_cannot_read_member(const std::string& path) {
  throw Error(kExitNoAccess, format("Couldn't open QB file '%s' for reading!\n", path.c_str()));
}

Bytes read_member_file(const std::string& path, const std::string& archive_path) {
  std::optional<Bytes> data = read_file(path);
  if (!data) throw_cannot_read_member(path);
  if (!pre::sizes_fit(0, data->size())) throw_too_large(archive_path, path);
  return std::move(*data);
}

// Where each of `count` pieces starts in one buffer that holds them one after another, piece
// k taking room_of(k) bytes; one more entry gives the total.
template <typename RoomOf>
std::vector<size_t> piece_starts(size_t count, RoomOf room_of) {
  std::vector<size_t> start(count + 1, 0);
  for (size_t k = 0; k < count; ++k) start[k + 1] = start[k] + room_of(k);
  return start;
}

// The member files of pack and update, read side by side into one buffer whose pages are made
// present in one request: on a virtual machine a page fault costs more than reading the page.
// Each file gets the room of its size and one byte more; a file that fills it grew meanwhile
// (or is too large for an archive) and is read again on its own. A failure is that of the
// first file in order that fails, as when they are read one by one.
class MemberFiles {
 public:
  MemberFiles(std::span<const std::string> paths, const std::string& archive_path)
      : grown_(paths.size()), data_(paths.size()) {
    const std::vector<size_t> start = piece_starts(paths.size(), [&](size_t k) {
      const size_t listed = file_size_now(paths[k]);
      return pre::sizes_fit(0, listed) ? listed + 1 : 0;
    });
    arena_ = PageBuffer(start.back());
    run_in_parallel(paths.size(), [&](size_t k) {
      const std::span<uint8_t> room(arena_.data() + start[k], start[k + 1] - start[k]);
      std::optional<size_t> used;
      if (!room.empty() && !(used = read_file_into(paths[k], room))) throw_cannot_read_member(paths[k]);
      if (used && *used < room.size()) {
        data_[k] = room.first(*used);
      } else {
        grown_[k] = read_member_file(paths[k], archive_path);
        data_[k] = grown_[k];
      }
    });
  }

  size_t size() const { return data_.size(); }
  ByteSpan operator[](size_t k) const { return data_[k]; }

 private:
  PageBuffer arena_;
  std::vector<Bytes> grown_;
  std::vector<ByteSpan> data_;
};

// A member's data as the game stores it: compressed with the game's matcher, or stored
// (compressed size 0) when it is empty or compression would not save 15%.
struct GameData {
  ByteSpan stream;  // empty when stored
  uint32_t compressed_size = 0;
};

// The game data of every member file, compressed side by side on the machine's processors:
// each on its own, so the archive is the same on any machine. The largest go first, so that
// no processor is left with a large one at the end. The streams are written into one buffer
// whose pages are present at once, each into room for its largest size.
class GameStreams {
 public:
  explicit GameStreams(const MemberFiles& files) : data_(files.size()) {
    const std::vector<size_t> start =
        piece_starts(files.size(), [&](size_t k) { return pre::game_stream_bound(files[k].size()); });
    arena_ = PageBuffer(start.back());
    std::vector<size_t> order(files.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return files[a].size() > files[b].size(); });
    run_in_parallel(files.size(), [&](size_t i) {
      const size_t k = order[i];
      const ByteSpan input = files[k];
      if (input.empty()) return;
      const size_t size = pre::compress_game_into(input, arena_.data() + start[k]);
      if (100 * uint64_t{size} > 85 * uint64_t{input.size()}) return;
      data_[k] = {ByteSpan(arena_.data() + start[k], size), static_cast<uint32_t>(size)};
    });
  }

  const GameData& operator[](size_t k) const { return data_[k]; }

 private:
  PageBuffer arena_;
  std::vector<GameData> data_;
};

ByteSpan stored_or_stream(const GameData& d, ByteSpan input) { return d.compressed_size ? d.stream : input; }

// "pack": a new archive in the game's layout from the member list, each member read from
// where "x" writes it.
int cmd_pack(const std::string& archive_path, const std::string& list_path, std::ostream& out) {
  const Bytes list = read_input(list_path);
  const std::vector<std::string> names =
      pre::parse_member_list(std::string_view(reinterpret_cast<const char*>(list.data()), list.size()));
  for (const std::string& name : names)
    if (!pre::is_safe_member_name(name)) pre::throw_unsafe_name(name);
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(pre::member_output_path(name));
  const MemberFiles files(paths, archive_path);
  const GameStreams data(files);
  std::vector<Bytes> name_fields(names.size());
  pre::ArchiveWriter writer(pre::kFormatTag);
  for (size_t k = 0; k < names.size(); ++k) {
    out << format("Packing '%s'\n", names[k].c_str());
    name_fields[k] = pre::name_field(names[k], true);
    writer.entry(static_cast<uint32_t>(files[k].size()), data[k].compressed_size, name_checksum(names[k]),
                 name_fields[k], stored_or_stream(data[k], files[k]));
    if (!pre::sizes_fit(writer.size(), 0)) throw_too_large(archive_path, names[k]);
  }
  // An archive that is there already is locked while it is replaced, so that an append
  // running meanwhile lands before (and is replaced) or after (and is kept).
  std::optional<LockedFile> lock = LockedFile::open(archive_path);
  pre::write_archive(archive_path, writer.pieces());
  out << "Done...\n";
  return kExitOk;
}

// "update": every entry whose name checksum is a FILE's gets that file's data in the game's
// layout; a FILE that matches none is appended. Every other entry is kept byte for byte.
int cmd_update(const std::string& archive_path, std::span<const std::string> paths, std::ostream& out) {
  for (const std::string& path : paths)
    if (!pre::is_safe_member_name(path)) pre::throw_unsafe_name(path);
  const MemberFiles files(paths, archive_path);
  const GameStreams data(files);

  LockedFile archive = lock_archive(archive_path);
  ByteSpan file = archive.content();
  pre::appendable_end(file, archive_path);
  const ArchiveHeader header = pre::read_archive_header(file);
  if (header.total_size != file.size()) out << "Oh, a filesize mistake...\n";
  const std::vector<pre::Member> members = pre::walk_members(file, pre::kHeaderSize, header.member_count).members;

  // Which FILE each entry takes its data from (the last that matches it): the old entries,
  // then the appended ones, which keep the name of the FILE that added them.
  constexpr size_t kKept = SIZE_MAX;
  std::vector<size_t> source(members.size(), kKept);
  std::vector<uint32_t> checksums;
  for (const pre::Member& m : members) checksums.push_back(m.checksum);
  struct Appended {
    size_t name;  // FILE numbers
    size_t data;
  };
  std::vector<Appended> appended;
  for (size_t k = 0; k < paths.size(); ++k) {
    const uint32_t checksum = name_checksum(paths[k]);
    bool found = false;
    for (size_t e = 0; e < checksums.size(); ++e) {
      if (checksums[e] != checksum) continue;
      found = true;
      if (e < members.size())
        source[e] = k;
      else
        appended[e - members.size()].data = k;
    }
    out << format(found ? "Updating '%s'\n" : "Adding '%s'\n", paths[k].c_str());
    if (!found) {
      checksums.push_back(checksum);
      appended.push_back({k, k});
    }
  }

  pre::ArchiveWriter writer(header.format_tag);
  auto new_entry = [&](size_t k, uint32_t checksum, ByteSpan name_field) {
    writer.entry(static_cast<uint32_t>(files[k].size()), data[k].compressed_size, checksum, name_field,
                 stored_or_stream(data[k], files[k]));
    if (!pre::sizes_fit(writer.size(), 0)) throw_too_large(archive_path, paths[k]);
  };
  // Runs of kept entries go as one piece each, straight from the mapped archive.
  size_t run_start = pre::kHeaderSize;
  uint32_t run_count = 0;
  auto flush_run = [&](size_t end) {
    const size_t kept = std::min(end, file.size());
    writer.copy_entries(file.subspan(run_start, kept - run_start), run_count);
    writer.zeros(end - kept);  // the last entry's padding that the file lacks
    run_count = 0;
  };
  for (size_t e = 0; e < members.size(); ++e) {
    const pre::Member& m = members[e];
    if (source[e] == kKept) {
      if (run_count == 0) run_start = m.offset;
      ++run_count;
      continue;
    }
    if (run_count > 0) flush_run(m.offset);
    new_entry(source[e], m.checksum, file.subspan(m.offset + pre::kEntryFieldsSize, m.name_length));
  }
  if (run_count > 0) flush_run(pre::next_entry(members.back()));
  std::vector<Bytes> name_fields;
  name_fields.reserve(appended.size());
  for (const Appended& a : appended)
    new_entry(a.data, name_checksum(paths[a.name]), name_fields.emplace_back(pre::name_field(paths[a.name], true)));
  pre::write_archive(archive_path, writer.pieces());
  out << "Done...\n";
  return kExitOk;
}

int cmd_jdc(const std::string& path, std::ostream& out) {
  out << format("Unpacking '%s'...\n", path.c_str());
  Bytes file = read_input(path);
  out << format("Allocating %llu bytes...\n", static_cast<unsigned long long>(file.size()));
  out << "Reading...\n";
  out << "Allocating...\n";
  out << "Decompressing...\n";
  Bytes decoded = pre::decompress_raw(file);
  if (!write_file_atomic("uncomp.bin", decoded)) throw Error(kExitNoAccess, "Couldn't open file 'uncomp.bin'!\n");
  return kExitOk;
}

int cmd_list(const std::string& path, std::ostream& out) {
  Bytes file = read_input(path);
  ArchiveHeader header = pre::read_archive_header(file);
  pre::MemberWalk walk = pre::walk_members(file, pre::kHeaderSize, header.member_count);
  for (const pre::Member& m : walk.members)
    out << format("%s 0x%08x\n", m.name.c_str(), pre::shown_checksum(m.checksum));
  if (walk.damaged) pre::throw_member_past_end(path, walk.members.size() + 1);
  return kExitOk;
}

}  // namespace

int pre_command(std::span<const std::string> args, const Console& console) {
  std::ostream& out = console.out;
  if (args.empty()) return print_usage(out);
  const std::string& word = args[0];
  const size_t count = args.size() - 1;
  if (word == "new" && count == 1) return cmd_new(args[1]);
  if (word == "add" && count == 3) return cmd_add(args[1], args[2], true, out);
  if (word == "addx" && count == 3) return cmd_add(args[1], args[2], false, out);
  if (word == "x" && count == 1) return cmd_extract(args[1], out);
  if (word == "jdc" && count == 1) return cmd_jdc(args[1], out);
  if (word == "list" && count == 1) return cmd_list(args[1], out);
  if (word == "pack" && count == 2) return cmd_pack(args[1], args[2], out);
  if (word == "update" && count >= 2) return cmd_update(args[1], args.subspan(2), out);
  return print_usage(out);
}

}  // namespace qbkit
