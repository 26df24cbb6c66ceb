// The PRE archive layout: a 12-byte header (total size, format tag, member count) and the
// member entries packed one after another, each 16 bytes of fields, the name field and the
// data padded to a multiple of four. All integers are 32-bit little-endian.
//
// Readers here take the whole file as a byte buffer and never read outside it: an entry
// that runs past the end is reported, not followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace qbkit::pre {

inline constexpr uint32_t kFormatTag = 0xABCD0003;  // archives this tool makes
inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kEntryFieldsSize = 16;

struct ArchiveHeader {
  uint32_t total_size = 0;
  uint32_t format_tag = 0;
  uint32_t member_count = 0;
};

// The header from the first 12 bytes of `file`; bytes a shorter file lacks count as zero.
ArchiveHeader read_archive_header(ByteSpan file);
// The bytes of a new, empty archive.
Bytes empty_archive();

struct Member {
  size_t offset = 0;  // start of the entry in the buffer it was read from
  uint32_t uncompressed_size = 0;
  uint32_t compressed_size = 0;  // 0: stored
  uint32_t name_length = 0;      // size of the name field
  uint32_t checksum = 0;
  std::string name;  // the name field up to its first zero byte
  ByteSpan data;     // the compressed stream or the stored bytes, inside the parsed buffer

  bool stored() const { return compressed_size == 0; }
};

// Bytes of data an entry holds: the compressed size, or the uncompressed size if stored.
inline uint32_t data_size(uint32_t uncompressed_size, uint32_t compressed_size) {
  return compressed_size != 0 ? compressed_size : uncompressed_size;
}
// 16 + name length + data size rounded up to a multiple of four.
size_t entry_length(uint32_t uncompressed_size, uint32_t compressed_size, uint32_t name_length);
// The start of the entry after `member`.
inline size_t next_entry(const Member& m) {
  return m.offset + entry_length(m.uncompressed_size, m.compressed_size, m.name_length);
}

// The entries of `count` members starting at `first` in `buffer`, as far as they lie inside
// it. `damaged` is set when entry number members.size() + 1 runs past the end (its fields,
// name or data); `end` is where a further entry would start when none is damaged.
struct MemberWalk {
  std::vector<Member> members;
  bool damaged = false;
  size_t end = 0;
};
MemberWalk walk_members(ByteSpan buffer, size_t first, uint32_t count);

// The message of an archive whose member number `member_number` (from 1) runs past the end
// of the file, status 1.
[[noreturn]] void throw_member_past_end(const std::string& path, size_t member_number);

// Every member of the archive file `file` (read from `path`), in order; refuses it as damaged
// when an entry runs past its end.
std::vector<Member> archive_members(ByteSpan file, const std::string& path);

// Whether an archive of `archive_size` bytes holding a member of `member_size` bytes still
// fits the format's 32-bit size fields.
bool sizes_fit(uint64_t archive_size, uint64_t member_size);

// The entries of an archive file that is to be appended to: a member count of them from
// offset 12; `end` is where they end (the last one's padding may lie past the end of the
// file). Refuses as no archive (status 1) a file shorter than a header, one whose entries run
// past its end (a QB file given as the archive, or an archive cut short), and one with a
// non-zero byte after its last entry (zero bytes there are dropped).
MemberWalk appendable_entries(ByteSpan file, const std::string& path);

// A new archive file as pieces for one gathered write: spans of buffers that outlive the
// writer (old entries, member data) and the few bytes made here (header, entry fields, new
// name fields, padding). No member data is copied. A writer may be moved before pieces() is
// called: what it made stays where it is.
class ArchiveWriter {
 public:
  explicit ArchiveWriter(uint32_t format_tag) : format_tag_(format_tag) { pieces_.emplace_back(); }

  // Entries copied as they stand.
  void copy_entries(ByteSpan entries, uint32_t count);
  // Zero bytes (a last entry's padding that the file lacks).
  void zeros(size_t count);
  // One entry from its fields, its name field and its data; zero padding is added.
  void entry(uint32_t uncompressed_size, uint32_t compressed_size, uint32_t checksum,
             ByteSpan name_field, ByteSpan data);
  // One new entry named `name`: its name field (the name and its zero byte; in the game's
  // layout, zero bytes up to a multiple of four follow) is made and kept here, and its
  // checksum is computed from the name.
  void named_entry(std::string_view name, bool game_layout, uint32_t uncompressed_size, uint32_t compressed_size,
                   ByteSpan data);

  // Bytes of the file so far, header included.
  uint64_t size() const { return size_; }

  // Every piece, header first (filled in from the entries given).
  std::span<const ByteSpan> pieces();

 private:
  uint32_t format_tag_;
  uint32_t count_ = 0;
  uint64_t size_ = kHeaderSize;
  uint8_t header_[kHeaderSize] = {};
  std::deque<std::array<uint8_t, kEntryFieldsSize>> fields_;  // stable addresses
  std::deque<Bytes> names_;                                    // the name fields of named_entry
  std::vector<ByteSpan> pieces_;
};

// The form in which `list` shows a checksum: the four stored bytes read big-endian.
inline uint32_t shown_checksum(uint32_t checksum) {
  return (checksum >> 24) | ((checksum >> 8) & 0xFF00) | ((checksum << 8) & 0xFF0000) | (checksum << 24);
}

}  // namespace qbkit::pre
