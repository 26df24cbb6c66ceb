// What the archive alone tells about an extraction: which members go where, whether their
// names are safe, whether they lie inside the file and stay out of each other's way, and
// each member's bytes decoded in memory. What the disk tells, and the writing, belong to the
// command (commands/extraction.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "pre/archive.h"

namespace qbkit::pre {

// The members of an archive file whose header passed the size and tag checks, each with its
// output path. Refuses, in this order: the first unsafe name (of the entries that lie inside
// the file), an entry that runs past the end (the damaged-archive message), and the first
// member whose path runs through another member's file (as an unsafe name). All status 1.
// `earlier[k]` is the member before k that is written to the same file (a second entry of one
// name, or names that the file system takes as one), or kNone: extraction writes the members
// in order, so member k replaces it.
struct ExtractionPlan {
  static constexpr size_t kNone = SIZE_MAX;
  std::vector<Member> members;
  std::vector<std::string> targets;
  std::vector<size_t> earlier;
  std::vector<size_t> numbers;  // each member's number in the archive, from 1
};
ExtractionPlan plan_extraction(ByteSpan file, const ArchiveHeader& header, const std::string& path);

// The part of `plan` that extracts only the members that `names` name, as update matches
// names (member_key): every entry of such a name, in archive order. A name that matches no
// member is refused (status 1), naming `path`, the archive.
ExtractionPlan select_members(ExtractionPlan plan, std::span<const std::string> names, const std::string& path);

// Member number `number` (from 1) decoded into `buffer`, which serves one member after another
// (see lzss::decompress_member_into); a stored member is returned as it stands in the archive.
// The view holds the member's bytes until the buffer is used again. A stream that ends early
// is refused as damaged (status 1).
ByteSpan decode_member(const Member& member, size_t number, const std::string& path, Bytes& buffer);

// The form of a path under which the file system compares names: two paths with one key name
// one file.
std::string path_key(const std::string& path);

}  // namespace qbkit::pre
