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
#include "pre/member_names.h"
#include "pre/update_match.h"
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

[[noreturn]] void throw_cannot_open_archive(const std::string& path) {
  throw Error(kExitNoAccess, format("Couldn't open file '%s' for reading!\n", path.c_str()));
}

// An archive to append to: locked until the object goes away, read whole, and checked.
struct AppendTarget {
  LockedFile file;
  ArchiveHeader header;
  pre::MemberWalk entries;

  ByteSpan content() const { return file.content(); }
  // "Oh, a filesize mistake...\n" when the header's total size is not the file's; the
  // archive written gets the right one.
  void note_size_mistake(std::ostream& out) const {
    if (header.total_size != content().size()) out << "Oh, a filesize mistake...\n";
  }
};

// Locks and reads the archive at `path` and refuses, before any other work, a file that
// cannot be appended to. nullopt when it cannot be opened: each command reports that in its
// turn.
std::optional<AppendTarget> open_for_append(const std::string& path) {
  std::optional<LockedFile> locked = LockedFile::open(path);
  if (!locked) return std::nullopt;
  pre::MemberWalk entries = pre::appendable_entries(locked->content(), path);
  const ArchiveHeader header = pre::read_archive_header(locked->content());
  return AppendTarget{std::move(*locked), header, std::move(entries)};
}

// A name that extraction, or the game on Windows, would refuse makes the whole archive
// unusable: refused before anything is read.
void check_storable(const std::string& name) {
  if (!pre::is_storable_member_name(name)) pre::throw_unsafe_name(name);
}

// Appending a name the archive holds already gives it two entries of one name: said on
// standard error, since the game may read either.
void warn_if_held(const AppendTarget& archive, const std::string& archive_path, const std::string& name,
                  std::ostream& err) {
  const std::string key = pre::member_key(name);
  for (const pre::Member& m : archive.entries.members) {
    if (pre::member_key(m.name) != key) continue;
    err << format("Warning: '%s' already holds a member '%s' of this name; the game may read either entry. "
                  "To replace a member, use update.\n",
                  archive_path.c_str(), m.name.c_str());
    return;
  }
}

// "add" (compressed) and "addx" (stored). The magic argument is not used: the entry's
// checksum is always computed from the name.
int cmd_add(const std::string& archive_path, const std::string& qb_path, bool compress, const Console& console) {
  std::ostream& out = console.out;
  check_storable(qb_path);
  const std::optional<AppendTarget> archive = open_for_append(archive_path);
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
  if (!archive) throw_cannot_open_archive(archive_path);
  archive->note_size_mistake(out);
  warn_if_held(*archive, archive_path, qb_path, console.err);

  // Header, the old entries straight from the read buffer, the new entry: one write.
  const ByteSpan file = archive->content();
  pre::ArchiveWriter writer(archive->header.format_tag);
  const size_t end = archive->entries.end;
  const size_t kept = std::min(end, file.size());
  writer.copy_entries(file.subspan(pre::kHeaderSize, kept - pre::kHeaderSize), archive->header.member_count);
  writer.zeros(end - kept);
  const Bytes name = pre::name_field(qb_path, false);
  writer.entry(uncompressed_size, compressed_size, name_checksum(qb_path), name, data);
  if (!pre::sizes_fit(writer.size(), uncompressed_size)) throw_too_large(archive_path, qb_path);
  pre::write_archive(archive_path, writer.pieces());
  out << "Done...\n";
  return kExitOk;
}

int cmd_extract(const std::string& path, const Console& console) {
  std::ostream& out = console.out;
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
    if (plan.earlier[k] != pre::ExtractionPlan::kNone)
      console.err << format("Warning: members '%s' and '%s' are both extracted to '%s'; the later one is kept\n",
                            plan.members[plan.earlier[k]].name.c_str(), plan.members[k].name.c_str(),
                            plan.targets[k].c_str());
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
  // An empty archive in place of the old one is never what a list was written for.
  if (names.empty())
    throw Error(kExitFailure, format("Member list '%s' names no member; nothing was changed (new makes an empty "
                                     "archive)\n",
                                     list_path.c_str()));
  for (const std::string& name : names) check_storable(name);
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
  const std::optional<LockedFile> lock = LockedFile::lock(archive_path);
  pre::write_archive(archive_path, writer.pieces());
  out << "Done...\n";
  return kExitOk;
}

// The updated archive: the entries that `match` keeps, as runs of bytes straight from the
// archive, the others with their new data, then the appended entries.
void write_updated(const AppendTarget& archive, const pre::UpdateMatch& match, std::span<const std::string> paths,
                   const MemberFiles& files, const GameStreams& data, const std::string& archive_path) {
  const ByteSpan file = archive.content();
  const std::vector<pre::Member>& members = archive.entries.members;
  pre::ArchiveWriter writer(archive.header.format_tag);
  auto new_entry = [&](size_t k, uint32_t checksum, ByteSpan name_field) {
    writer.entry(static_cast<uint32_t>(files[k].size()), data[k].compressed_size, checksum, name_field,
                 stored_or_stream(data[k], files[k]));
    if (!pre::sizes_fit(writer.size(), 0)) throw_too_large(archive_path, paths[k]);
  };
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
    if (match.source[e] == pre::UpdateMatch::kKept) {
      if (run_count == 0) run_start = m.offset;
      ++run_count;
      continue;
    }
    if (run_count > 0) flush_run(m.offset);
    // The entry keeps its name field, and so its checksum.
    new_entry(match.source[e], m.checksum, file.subspan(m.offset + pre::kEntryFieldsSize, m.name_length));
  }
  if (run_count > 0) flush_run(pre::next_entry(members.back()));
  // A new entry is named as typed less its "." parts and repeated separators: the name the
  // game looks up.
  std::vector<Bytes> name_fields;
  name_fields.reserve(match.appended.size());
  for (const pre::UpdateMatch::NewEntry& a : match.appended) {
    const std::string name = pre::tidy_member_name(paths[a.name]);
    new_entry(a.data, name_checksum(name), name_fields.emplace_back(pre::name_field(name, true)));
  }
  pre::write_archive(archive_path, writer.pieces());
}

// "update": every entry that a FILE names (as extraction and the game read names: case,
// separators and "." parts aside) gets that file's data in the game's layout; a FILE that
// names none is appended. Every other entry is kept byte for byte.
int cmd_update(const std::string& archive_path, std::span<const std::string> paths, std::ostream& out) {
  for (const std::string& path : paths) check_storable(path);
  const std::optional<AppendTarget> archive = open_for_append(archive_path);
  const MemberFiles files(paths, archive_path);
  if (!archive) throw_cannot_open_archive(archive_path);
  const GameStreams data(files);
  archive->note_size_mistake(out);

  std::vector<std::string_view> names;
  names.reserve(archive->entries.members.size());
  for (const pre::Member& m : archive->entries.members) names.push_back(m.name);
  const pre::UpdateMatch match = pre::match_update(names, paths);
  for (size_t k = 0; k < paths.size(); ++k)
    out << format(match.updates[k] ? "Updating '%s'\n" : "Adding '%s'\n", paths[k].c_str());
  write_updated(*archive, match, paths, files, data, archive_path);
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
  if (word == "add" && count == 3) return cmd_add(args[1], args[2], true, console);
  if (word == "addx" && count == 3) return cmd_add(args[1], args[2], false, console);
  if (word == "x" && count == 1) return cmd_extract(args[1], console);
  if (word == "jdc" && count == 1) return cmd_jdc(args[1], out);
  if (word == "list" && count == 1) return cmd_list(args[1], out);
  if (word == "pack" && count == 2) return cmd_pack(args[1], args[2], out);
  if (word == "update" && count >= 2) return cmd_update(args[1], args.subspan(2), out);
  return print_usage(out);
}

}  // namespace qbkit
