// Extraction of archive members: names checked, members decoded in memory, then written.
//
// Extraction is all or nothing up to the writing of files: a damaged archive or an unsafe
// name is found before any member is decoded, and a member that does not decode is found
// before any directory or file is made.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "pre/archive.h"

namespace qbkit::pre {

// The parts of a member name split at every '\' and '/'; runs of separators count as one.
std::vector<std::string> name_parts(std::string_view name);

// A name that may be written below the current directory: not absolute (no leading
// separator), no part that starts with a drive letter and colon, no ".." part, and a file
// name at its end.
bool is_safe_member_name(std::string_view name);

// The path a member is written to: its parts joined with '/'.
std::string member_output_path(std::string_view name);

// Checks every member name ("Refusing unsafe member name '%s'\n", status 1).
void check_member_names(const Archive& archive);

struct ExtractedMember {
  std::string name;
  Bytes data;
};

// Prints "Extracting '%s'...\n" for each member in archive order and decodes it; a stored
// member is copied as it stands. A member whose stream ends early raises
// "Archive '%s' is damaged: member %i does not decode to its size\n", status 1.
std::vector<ExtractedMember> decode_members(const Archive& archive, const std::string& path,
                                            std::ostream& out);

// Creates the directories on each member's path and writes the member there, in order, so a
// later member of the same name wins. A file that cannot be written:
// "Couldn't open file '%s'!\n" with its output path, status 2.
void write_members(const std::vector<ExtractedMember>& members);

}  // namespace qbkit::pre
