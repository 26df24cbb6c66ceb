// Extraction of archive members, all or nothing.
//
// First what the archive alone tells (plan_extraction: bounds, names, members in each
// other's way), then what the disk tells (Extraction::prepare: links and files on the way),
// then each member is decoded in memory and written to a temporary beside its target; only
// when every member is written are the temporaries renamed into place. A failure at any
// step removes the temporaries and the directories this run made: no existing file changes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "common/file_io.h"
#include "pre/archive.h"
#include "pre/member_names.h"

namespace qbkit::pre {

// The members of an archive file whose header passed the size and tag checks, each with its
// output path. Refuses, in this order: the first unsafe name (of the entries that lie inside
// the file), an entry that runs past the end ("Archive '%s' is damaged: member %i runs past
// the end of the file\n"), and the first member whose path runs through another member's
// file (as an unsafe name). All status 1.
// `earlier[k]` is the member before k that is written to the same file (a second entry of one
// name, or names that the file system takes as one), or kNone: extraction writes the members
// in order, so member k replaces it.
struct ExtractionPlan {
  static constexpr size_t kNone = SIZE_MAX;
  std::vector<Member> members;
  std::vector<std::string> targets;
  std::vector<size_t> earlier;
};
ExtractionPlan plan_extraction(ByteSpan file, const ArchiveHeader& header, const std::string& path);

// Member number `number` (from 1) decoded into `buffer`, which serves one member after another
// (see decompress_member_into); a stored member is returned as it stands in the archive. The
// view holds the member's bytes until the buffer is used again. A stream that ends early:
// "Archive '%s' is damaged: member %i does not decode to its size\n", status 1.
ByteSpan decode_member(const Member& member, size_t number, const std::string& path, Bytes& buffer);

// The writing of a planned extraction. Uncommitted, it undoes itself when it goes away.
class Extraction {
 public:
  // Looks at every directory on the members' paths that exists, without following it: a link
  // refuses the archive ("Refusing to extract '%s' through the link '%s'\n", status 1), a
  // file refuses the member as an unsafe name; a non-empty directory where a member's file
  // goes: "Couldn't open file '%s'!\n", status 2.
  explicit Extraction(const ExtractionPlan& plan);
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;
  ~Extraction();

  // Makes the missing directories on member k's path (each once) and writes `data` to a
  // temporary beside its target. Failure: "Couldn't open file '%s'!\n", status 2.
  void write(size_t k, ByteSpan data);
  // Renames every temporary into place, in archive order, so a later member of the same
  // name wins. Failure: "Couldn't open file '%s'!\n", status 2.
  void commit();

 private:
  const ExtractionPlan& plan_;
  std::map<std::string, PathKind> seen_;  // directories on the paths, looked at once (by
                                          // their name as the file system compares it)
  std::vector<std::string> created_;      // in the order made
  std::vector<std::string> empty_dirs_;   // empty directories where member files go
  std::vector<PendingFile> pending_;
  bool committed_ = false;
};

}  // namespace qbkit::pre
