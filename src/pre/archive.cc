#include "pre/archive.h"

#include <algorithm>

#include "common/error.h"
#include "common/format.h"
#include "common/name_checksum.h"

namespace qbkit::pre {

ArchiveHeader read_archive_header(ByteSpan file) {
  uint8_t raw[kHeaderSize] = {};
  std::copy_n(file.begin(), std::min(file.size(), kHeaderSize), raw);
  return {load_u32le(raw), load_u32le(raw + 4), load_u32le(raw + 8)};
}

Bytes empty_archive() {
  Bytes out(kHeaderSize);
  store_u32le(out.data(), static_cast<uint32_t>(kHeaderSize));
  store_u32le(out.data() + 4, kFormatTag);
  store_u32le(out.data() + 8, 0);
  return out;
}

size_t entry_length(uint32_t uncompressed_size, uint32_t compressed_size, uint32_t name_length) {
  size_t data = data_size(uncompressed_size, compressed_size);
  return kEntryFieldsSize + name_length + ((data + 3) & ~size_t{3});
}

MemberWalk walk_members(ByteSpan buffer, size_t first, uint32_t count) {
  MemberWalk walk;
  size_t pos = first;
  for (uint32_t k = 0; k < count; ++k) {
    // Every read is checked against the buffer before it is made; sizes are 32-bit, so
    // the sums below cannot overflow a 64-bit size_t.
    if (pos > buffer.size() || buffer.size() - pos < kEntryFieldsSize) {
      walk.damaged = true;
      return walk;
    }
    Member m;
    m.offset = pos;
    const uint8_t* p = buffer.data() + pos;
    m.uncompressed_size = load_u32le(p);
    m.compressed_size = load_u32le(p + 4);
    m.name_length = load_u32le(p + 8);
    m.checksum = load_u32le(p + 12);
    // The data starts right after the name field; the game pads that field to a multiple
    // of four, sometimes with non-zero bytes after the name's zero byte.
    size_t name_start = pos + kEntryFieldsSize;
    size_t data_start = name_start + m.name_length;
    size_t size = data_size(m.uncompressed_size, m.compressed_size);
    if (data_start > buffer.size() || buffer.size() - data_start < size) {
      walk.damaged = true;
      return walk;
    }
    const uint8_t* name = buffer.data() + name_start;
    const uint8_t* name_end = std::find(name, name + m.name_length, uint8_t{0});
    m.name.assign(name, name_end);
    m.data = buffer.subspan(data_start, size);
    pos = next_entry(m);
    walk.members.push_back(std::move(m));
  }
  walk.end = pos;
  return walk;
}

void throw_member_past_end(const std::string& path, size_t member_number) {
  throw Error(kExitFailure,
              format("Archive '%s' is damaged: member %i runs past the end of the file\n", path.c_str(),
                     static_cast<int>(member_number)),
              Echo::kWhenRedirected);
}

std::vector<Member> archive_members(ByteSpan file, const std::string& path) {
  MemberWalk walk = walk_members(file, kHeaderSize, read_archive_header(file).member_count);
  if (walk.damaged) throw_member_past_end(path, walk.members.size() + 1);
  return std::move(walk.members);
}

bool sizes_fit(uint64_t archive_size, uint64_t member_size) {
  return archive_size <= 0xFFFFFFFFu && member_size <= 0xFFFFFFFFu;
}

MemberWalk appendable_entries(ByteSpan file, const std::string& path) {
  auto refuse = [&] {
    throw Error(kExitFailure,
                format("'%s' is not an archive, or holds data after its last member; nothing was changed\n",
                       path.c_str()),
                Echo::kWhenRedirected);
  };
  if (file.size() < kHeaderSize) refuse();
  MemberWalk walk = walk_members(file, kHeaderSize, read_archive_header(file).member_count);
  if (walk.damaged) refuse();
  // Appending drops what follows the last entry: only zero bytes (padding) may go.
  if (walk.end < file.size() &&
      std::any_of(file.begin() + static_cast<std::ptrdiff_t>(walk.end), file.end(), [](uint8_t b) { return b != 0; }))
    refuse();
  return walk;
}

namespace {

constexpr uint8_t kZeros[4] = {};

// The name field of a new entry: the name and its zero byte; in the game's layout, zero bytes
// up to a multiple of four follow.
Bytes name_field(std::string_view name, bool game_layout) {
  Bytes field(name.begin(), name.end());
  field.push_back(0);
  if (game_layout) field.resize((field.size() + 3) & ~size_t{3}, 0);
  return field;
}

}  // namespace

void ArchiveWriter::copy_entries(ByteSpan entries, uint32_t count) {
  if (!entries.empty()) pieces_.push_back(entries);
  size_ += entries.size();
  count_ += count;
}

void ArchiveWriter::zeros(size_t count) {
  size_ += count;
  for (; count > 0; count -= std::min<size_t>(count, 4)) pieces_.emplace_back(kZeros, std::min<size_t>(count, 4));
}

void ArchiveWriter::entry(uint32_t uncompressed_size, uint32_t compressed_size, uint32_t checksum,
                          ByteSpan name_field, ByteSpan data) {
  std::array<uint8_t, kEntryFieldsSize>& f = fields_.emplace_back();
  store_u32le(f.data(), uncompressed_size);
  store_u32le(f.data() + 4, compressed_size);
  store_u32le(f.data() + 8, static_cast<uint32_t>(name_field.size()));
  store_u32le(f.data() + 12, checksum);
  pieces_.emplace_back(f.data(), f.size());
  if (!name_field.empty()) pieces_.push_back(name_field);
  if (!data.empty()) pieces_.push_back(data);
  size_ += kEntryFieldsSize + name_field.size() + data.size();
  count_ += 1;
  zeros((4 - data.size() % 4) % 4);
}

void ArchiveWriter::named_entry(std::string_view name, bool game_layout, uint32_t uncompressed_size,
                                uint32_t compressed_size, ByteSpan data) {
  const Bytes& field = names_.emplace_back(name_field(name, game_layout));
  entry(uncompressed_size, compressed_size, name_checksum(name), field, data);
}

std::span<const ByteSpan> ArchiveWriter::pieces() {
  store_u32le(header_, static_cast<uint32_t>(size_));
  store_u32le(header_ + 4, format_tag_);
  store_u32le(header_ + 8, count_);
  pieces_[0] = ByteSpan(header_, kHeaderSize);
  return pieces_;
}

}  // namespace qbkit::pre
