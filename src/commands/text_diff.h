// Two texts compared line by line (Myers' algorithm in linear space), and their differences
// as a unified diff.
#pragma once

#include <string>
#include <string_view>

namespace qbkit::commands {

// Lines compare equal when their keys are: the line itself, or a form that leaves out what
// does not count as a change.
using LineKey = std::string_view (*)(std::string_view line);

// The hunks of a unified diff from `old_text` to `new_text` ("@@ -1,4 +1,5 @@" and the lines
// marked ' ', '-' and '+'), with `context` unchanged lines around each change; empty when every
// line compares equal. A line ends at each line feed; the line feed after the last line is
// taken as there.
std::string unified_diff(std::string_view old_text, std::string_view new_text, int context, LineKey key);

}  // namespace qbkit::commands
