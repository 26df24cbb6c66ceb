// The PRE archive layout: a 12-byte header (total size, format tag, member count) and the
// member entries packed one after another, each 16 bytes of fields, the name field and the
// data padded to a multiple of four. All integers are 32-bit little-endian.
//
// Readers here take the whole file as a byte buffer and never read outside it: an entry
// that runs past the end is reported, not followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
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
// The 12 header bytes.
Bytes header_bytes(const ArchiveHeader& header);
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

// "Archive '%s' is damaged: member %i runs past the end of the file\n", status 1.
[[noreturn]] void throw_member_past_end(const std::string& path, size_t member_number);

// A whole archive file: its header and every member entry. A damaged archive raises
// qbkit::Error with the message above (`path` names the archive in it).
struct Archive {
  ArchiveHeader header;
  std::vector<Member> members;
};
Archive parse_archive(ByteSpan file, const std::string& path);

// Where a new entry goes in `body` (the bytes after the header) holding `count` entries.
// Raises the damaged message when they run past its end.
size_t end_of_entries(ByteSpan body, uint32_t count, const std::string& path);

// Appends an entry after the first header.member_count entries of `body` (bytes beyond them
// are dropped), counts it in the header and sets the total size. `data` is the compressed
// stream when compressed_size is not 0, else the member's bytes.
void append_entry(Bytes& body, ArchiveHeader& header, uint32_t uncompressed_size,
                  uint32_t compressed_size, std::string_view name, ByteSpan data,
                  const std::string& path);

// Writes header and body as the whole archive file at `path`, atomically, then prints
// "Done...\n". A file that cannot be written: "Couldn't open file '%s'!\n", status 2.
void write_archive(const std::string& path, const ArchiveHeader& header, ByteSpan body,
                   std::ostream& out);

}  // namespace qbkit::pre
