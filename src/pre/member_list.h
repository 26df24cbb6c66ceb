// The member list that `pack` reads: the text that `list` prints, or one written by hand.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qbkit::pre {

// The member names, one a line, in order. A byte-order mark at the start is skipped, blank
// lines are skipped and a line may end in "\r\n"; a final shown checksum ("0x" and 8 hex
// digits after a blank or a tab) is taken off with the blanks and tabs around it, as are
// blanks and tabs at the end of a line. A name may hold blanks of its own.
std::vector<std::string> parse_member_list(std::string_view text);

}  // namespace qbkit::pre
