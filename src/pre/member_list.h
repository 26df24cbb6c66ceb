// The member list that `pack` reads: the text that `list` prints, or one written by hand.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qbkit::pre {

// The member names, one a line, in order. Blank lines are skipped and a line may end in
// "\r\n"; a final blank and shown checksum (" 0x" and 8 hex digits) are taken off, so a name
// may hold blanks of its own.
std::vector<std::string> parse_member_list(std::string_view text);

}  // namespace qbkit::pre
