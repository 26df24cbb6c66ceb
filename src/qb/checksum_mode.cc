#include "qb/checksum_mode.h"

#include <ostream>

#include "common/error.h"
#include "common/format.h"
#include "common/name_checksum.h"
#include "common/text_encoding.h"
#include "qb/table_file.h"

namespace qbkit::qb {
namespace {

// A table line ends its name at the first double quote, and a control character (a line
// end, say) would break the line.
bool fits_table_line(const std::string& name) {
  for (const char c : name) {
    const auto b = static_cast<uint8_t>(c);
    if (b == '"' || b < 0x20 || b == 0x7F) return false;
  }
  return true;
}

}  // namespace

ExitStatus checksum_mode(const std::string& program, std::span<const std::string> names, const Console& console) {
  if (names.empty()) {
    console.out << format("Usage: %s -k NAME... (prints a table line with the game's checksum of each name)\n",
                          program.c_str());
    return kExitFailure;
  }
  for (const std::string& name : names) {
    if (!fits_table_line(name)) {
      throw Error(kExitFailure, format("Name '%s' cannot stand in a table line: it holds a double quote or a "
                                       "control character; nothing was printed\n",
                                       show_control_bytes(name).c_str()));
    }
  }
  std::string lines;
  for (const std::string& name : names) {
    if (classify_text(name) != TextEncoding::kSingleByte) {
      console.err << format("Warning: the name '%s' is written in UTF-8, but the game reads one byte per character; "
                            "its checksum is that of these UTF-8 bytes\n",
                            name.c_str());
    }
    put_table_line(name_checksum(name), name, [&lines](std::string_view s) { lines += s; });
  }
  console.out << lines;
  return kExitOk;
}

}  // namespace qbkit::qb
